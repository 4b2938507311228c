#pragma once

// OpenSSH's server in a namespace of the test network, with a throw-away host key and a
// throw-away user that exists only in that namespace (`ip netns exec` lays the files of
// /etc/netns/<namespace>/ over /etc). The user's PATH starts with home()/bin. Processes,
// /etc/netns/<namespace> and a /run/sshd made here all go with the object.

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <crypt.h>
#include <csignal>

class SshServer
{
public:
    static constexpr const char* kUser = "vxaconsole";

    SshServer(const QString& ns, const QString& address, const QByteArray& password)
        : ns(ns), address(address), etc("/etc/netns/" + ns)
    {
        madeRunDir = !QDir("/run/sshd").exists() && QDir().mkpath("/run/sshd");
        ownEtc = !QDir(etc).exists() && QDir().mkpath(etc);
        const QString home = dir.path(), hash = QString::fromLatin1(crypt(password.constData(), "$6$vxatestsalt$"));
        ok = ownEtc && QDir(home).mkpath("bin") && QDir(home).mkpath(".ssh")
             && addTo("passwd", QStringLiteral("%1:x:4242:4242::%2:/bin/sh").arg(kUser, home))
             && addTo("shadow", QStringLiteral("%1:%2:19000:0:99999:7:::").arg(kUser, hash)) && addTo("group", QStringLiteral("%1:x:4242:").arg(kUser))
             && write(home + "/.ssh/environment", QStringLiteral("PATH=%1/bin:/usr/bin:/bin\n").arg(home))
             && write(dir.filePath("sshd_config"), QStringLiteral("ListenAddress %1\nPidFile none\nUsePAM no\nPubkeyAuthentication no\n"
                                                                  "StrictModes no\nPermitUserEnvironment yes\nAllowUsers %2\nLogLevel QUIET\n")
                                                       .arg(address, kUser))
             && QProcess::execute("chown", {"-R", "4242:4242", home}) == 0 && start();
    }
    ~SshServer()
    {
        stop();
        if (ownEtc && QDir(etc).removeRecursively())
            QDir().rmdir("/etc/netns"); // only when no one else has files there
        if (madeRunDir)
            QDir().rmdir("/run/sshd");
    }
    bool isValid() const { return ok; }
    QString home() const { return dir.path(); }

    // A new host key (the device was "replaced"), then the server again.
    bool restartWithNewKey()
    {
        stop();
        return QFile::remove(key()) && QFile::remove(key() + ".pub") && start();
    }
    // The processes serving logged-in sessions: everything below the listener.
    QList<qint64> sessionPids() const
    {
        QList<qint64> out;
        QList<QByteArray> parents{QByteArray::number(proc.processId())};
        for (int round = 0; round < 4; ++round) {
            for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
                QFile stat("/proc/" + pid + "/stat");
                const QByteArray s = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
                if (!s.isEmpty() && parents.contains(s.mid(s.lastIndexOf(')') + 2).split(' ').value(1)) && !out.contains(pid.toLongLong()))
                    out << pid.toLongLong(), parents << pid.toLatin1();
            }
        }
        return out;
    }
    // Ends the sessions on the server's side, as a device that reboots would.
    void killSessions()
    {
        for (qint64 pid : sessionPids())
            ::kill(pid_t(pid), SIGKILL);
    }

private:
    QString key() const { return dir.filePath("hostkey"); }
    static bool write(const QString& path, const QString& text)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
    }
    bool addTo(const QString& name, const QString& line)
    {
        QFile in("/etc/" + name);
        return in.open(QIODevice::ReadOnly) && write(etc + "/" + name, QString::fromUtf8(in.readAll()) + line + "\n")
               && QFile::setPermissions(etc + "/" + name, name == "shadow" ? QFile::ReadOwner : QFile::ReadOwner | QFile::ReadOther);
    }
    bool start()
    {
        if (!QFile::exists(key()) && QProcess::execute("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", key()}) != 0)
            return false;
        proc.setProcessChannelMode(QProcess::ForwardedChannels);
        proc.start("ip", {"netns", "exec", ns, "/usr/sbin/sshd", "-D", "-e", "-f", dir.filePath("sshd_config"), "-h", key()});
        for (int i = 0; i < 200 && proc.waitForStarted(5000) && proc.state() == QProcess::Running; ++i) { // until it listens
            QTcpSocket probe;
            probe.connectToHost(address, 22);
            if (probe.waitForConnected(100))
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    void stop()
    {
        killSessions();
        proc.terminate();
        if (!proc.waitForFinished(3000))
            proc.kill(), proc.waitForFinished(3000);
    }

    QString ns, address, etc;
    QTemporaryDir dir;
    QProcess proc;
    bool ok = false, ownEtc = false, madeRunDir = false;
};
