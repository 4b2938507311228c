#pragma once

// An OpenSSH server in a network namespace of the test network, with a throw-away host key
// and a throw-away user that exists only inside that namespace: `ip netns exec` lays the
// files of /etc/netns/<namespace>/ over /etc, so the host's user list is never touched.
// The user's PATH starts with <home>/bin, where a test may put the device's commands.
// Everything (processes, /etc/netns/<namespace>, /run/sshd if made here) goes with the object.

#include <QDir>
#include <QFile>
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
        : ns(ns), address(address), etc(QStringLiteral("/etc/netns/") + ns)
    {
        madeRunDir = !QDir(QStringLiteral("/run/sshd")).exists() && QDir().mkpath(QStringLiteral("/run/sshd"));
        ownEtc = !QDir(etc).exists() && QDir().mkpath(etc);
        const QString home = dir.path();
        QDir(home).mkpath(QStringLiteral("bin"));
        QDir(home).mkpath(QStringLiteral(".ssh"));
        const QByteArray hash = crypt(password.constData(), "$6$vxatestsalt$");
        ok = ownEtc && dir.isValid()
             && copyWith(QStringLiteral("passwd"), QStringLiteral("%1:x:4242:4242::%2:/bin/sh").arg(kUser, home))
             && copyWith(QStringLiteral("shadow"), QStringLiteral("%1:%2:19000:0:99999:7:::").arg(kUser, QString::fromLatin1(hash)))
             && copyWith(QStringLiteral("group"), QStringLiteral("%1:x:4242:").arg(kUser))
             && write(home + QStringLiteral("/.ssh/environment"), QStringLiteral("PATH=%1/bin:/usr/bin:/bin\n").arg(home))
             && write(dir.filePath(QStringLiteral("sshd_config")),
                      QStringLiteral("ListenAddress %1\nPidFile none\nUsePAM no\nPasswordAuthentication yes\n"
                                     "KbdInteractiveAuthentication no\nPubkeyAuthentication no\nStrictModes no\n"
                                     "PermitUserEnvironment yes\nAllowUsers %2\nLogLevel QUIET\n")
                          .arg(address, kUser));
        QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther | QFile::ReadOther);
        ok = ok && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("4242:4242"), home}) == 0 && start();
    }
    ~SshServer()
    {
        stop();
        if (ownEtc) {
            QDir(etc).removeRecursively();
            QDir().rmdir(QStringLiteral("/etc/netns")); // only when no one else has files there
        }
        if (madeRunDir)
            QDir().rmdir(QStringLiteral("/run/sshd"));
    }
    bool isValid() const { return ok; }
    QString home() const { return dir.path(); }

    // A new host key (the device was "replaced"), then the server again.
    bool restartWithNewKey()
    {
        stop();
        QFile::remove(keyFile());
        QFile::remove(keyFile() + QStringLiteral(".pub"));
        return start();
    }
    // The processes serving logged-in sessions: everything below the listener.
    QList<qint64> sessionPids() const
    {
        QList<qint64> out;
        QList<QByteArray> parents{QByteArray::number(proc.processId())};
        for (int round = 0; round < 4; ++round) {
            for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
                QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
                if (!stat.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray s = stat.readAll();
                if (parents.contains(s.mid(s.lastIndexOf(')') + 2).split(' ').value(1)) && !out.contains(pid.toLongLong())) {
                    out << pid.toLongLong();
                    parents << pid.toLatin1();
                }
            }
        }
        return out;
    }
    // Ends the sessions on the server side, as a device that reboots would.
    void killSessions()
    {
        for (qint64 pid : sessionPids())
            ::kill(pid_t(pid), SIGKILL);
    }

private:
    QString keyFile() const { return dir.filePath(QStringLiteral("hostkey")); }
    static bool write(const QString& path, const QString& text)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
    }
    bool copyWith(const QString& name, const QString& line)
    {
        QFile in(QStringLiteral("/etc/") + name);
        return in.open(QIODevice::ReadOnly) && write(etc + QLatin1Char('/') + name, QString::fromUtf8(in.readAll()) + line + QLatin1Char('\n'))
               && QFile::setPermissions(etc + QLatin1Char('/') + name, name == QLatin1String("shadow") ? QFile::ReadOwner | QFile::WriteOwner
                                                                                                   : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    }
    bool start()
    {
        if (!QFile::exists(keyFile())
            && QProcess::execute(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", keyFile()}) != 0)
            return false;
        proc.setProcessChannelMode(QProcess::ForwardedChannels);
        proc.start(QStringLiteral("ip"), {"netns", "exec", ns, "/usr/sbin/sshd", "-D", "-e", "-f", dir.filePath("sshd_config"), "-h", keyFile()});
        if (!proc.waitForStarted(5000))
            return false;
        for (int i = 0; i < 200 && proc.state() == QProcess::Running; ++i) { // polled until it listens
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
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(3000)) {
                proc.kill();
                proc.waitForFinished(3000);
            }
        }
    }

    QString ns, address, etc;
    QTemporaryDir dir;
    QProcess proc;
    bool ok = false, ownEtc = false, madeRunDir = false;
};
