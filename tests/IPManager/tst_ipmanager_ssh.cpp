// The device console against a real OpenSSH server in the far namespace of the test
// network (started through netns.sh as root; skips otherwise).
#include "CIceDevConsolo.h"
#include "simulator.h"
#include "sshserver.h"
#include "testutil.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {
const QByteArray kPassword = "Pw-4-console";
const QString kDevice = QStringLiteral("198.18.0.1");
}

class tst_IPManagerSsh : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!Simulator::available())
            QSKIP("needs the test network: run through tests/IPManager/netns.sh as root (CTest does this)");
        if (!QFile::exists(QStringLiteral("/usr/sbin/sshd")))
            QSKIP("OpenSSH's server is not installed (package openssh-server)");
    }

    void init()
    {
        appDir.reset(new testutil::TempAppDir);
        server.reset(new SshServer(qEnvironmentVariable("VXA_NETNS_SIM"), kDevice, kPassword));
        QVERIFY(server->isValid());
        console.reset(new CIceDevConsolo);
        console->SetDeviceInfo(kDevice, QStringLiteral("sim"));
        question.clear();
    }

    void cleanup()
    {
        QProcess::execute("ip", link() << "up"); // after a pulled cable
        console.reset();
        server.reset();
        appDir.reset();
    }

    void login_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QString>("keyAnswer");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("keyRemembered");
        QTest::addColumn<QString>("said");
        QTest::newRow("key accepted") << kPassword << "&Yes" << true << true << "";
        QTest::newRow("key refused") << kPassword << "&No" << false << false << "was not accepted";
        QTest::newRow("wrong password") << QByteArray("wrong") << "&Yes" << false << true << "failed";
        // The key was accepted before; the device then shows another one: the warning's "&Yes".
        QTest::newRow("key changed") << kPassword << "" << false << true << "has changed";
    }

    void login()
    {
        QFETCH(QByteArray, password);
        QFETCH(QString, keyAnswer);
        QFETCH(bool, connected);
        QFETCH(bool, keyRemembered);
        QFETCH(QString, said);
        if (keyAnswer.isEmpty()) {
            QVERIFY(loginWith(password, QStringLiteral("&Yes")));
            w<QPushButton>("btnLogin")->click(); // Exit
            QVERIFY(server->restartWithNewKey());
            keyAnswer = QStringLiteral("&Yes");
        }
        QCOMPARE(loginWith(password, keyAnswer), connected);
        QVERIFY2(question.contains(QLatin1String("SHA256:")), qPrintable(question));
        QCOMPARE(QFile::exists(CIceDevConsolo::knownHostsFile()), keyRemembered);
        QVERIFY2(output().contains(said), qPrintable(output()));
        QCOMPARE(ledGreen(), connected);
        if (!connected)
            return;
        QTRY_VERIFY(!server->sessionPids().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(console->isMonitorRunning(), 5000);
        QElapsedTimer t;
        t.start();
        w<QPushButton>("btnLogin")->click(); // Exit
        QVERIFY2(t.elapsed() < 1000, "stopping the monitor must not hold up the window");
        QVERIFY(!ledGreen());
        QTRY_VERIFY_WITH_TIMEOUT(server->sessionPids().isEmpty(), 10000); // the server saw the session end
        // The accepted key is remembered: no question the second time.
        QSignalSpy asked(console.get(), &CIceDevConsolo::hostKeyUnknown);
        QVERIFY(loginWith(password));
        QCOMPARE(asked.count(), 0);
    }

    void streamedCommandAndDrop_data()
    {
        QTest::addColumn<bool>("cablePulled"); // else the device ends the session
        QTest::newRow("session ended") << false;
        QTest::newRow("cable pulled") << true;
    }

    void streamedCommandAndDrop()
    {
        QFETCH(bool, cablePulled);
        // The device's "ping": shows its arguments one per line, then answers once a second.
        QFile ping(server->home() + QStringLiteral("/bin/ping"));
        QVERIFY(ping.open(QIODevice::WriteOnly));
        ping.write("#!/bin/sh\nfor a in \"$@\"; do printf 'arg:%s\\n' \"$a\"; done\n"
                   "for i in 1 2 3; do echo \"reply $i\"; sleep 1; done\n");
        ping.close();
        ping.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        QVERIFY(loginWith(kPassword, QStringLiteral("&Yes")));
        const QString injected = QStringLiteral("/tmp/vxa-injected-%1").arg(QCoreApplication::applicationPid());
        w<QComboBox>("cmdList")->setCurrentText(QStringLiteral("ping"));
        w<QLineEdit>("editCmdParam")->setText(QStringLiteral("-c 3 \"two  words\" \";touch %1\" $HOME").arg(injected));
        w<QPushButton>("btnExecute")->click();
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QLatin1String("reply 1")), 10000);
        QVERIFY2(console->isBusy(), "the first reply must show while the command still runs");
        w<QPushButton>("btnExecute")->click(); // ignored while busy
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains(QLatin1String("[exit status 0]")), qPrintable(output()), 10000);
        QVERIFY2(output().contains(QStringLiteral("arg:-c\narg:3\narg:two  words\narg:;touch %1\narg:$HOME\nreply 1\nreply 2\nreply 3")
                                       .arg(injected)),
                 qPrintable(output()));
        QCOMPARE(output().count(QLatin1String("\n$ ")) + output().startsWith(QLatin1String("$ ")), 1);
        QVERIFY(!QFile::exists(injected));
        // The session drops: the monitor notices within seconds.
        QTRY_VERIFY_WITH_TIMEOUT(console->isMonitorRunning(), 5000);
        if (cablePulled)
            QProcess::execute("ip", link() << "down"); // nothing more arrives, not even a reset
        else
            server->killSessions();
        QTRY_VERIFY_WITH_TIMEOUT(!ledGreen(), 12000);
        QVERIFY2(output().contains(QLatin1String("was lost")), qPrintable(output()));
    }

private:
    template <class T>
    T* w(const char* name) { return console->findChild<T*>(QString::fromLatin1(name)); }
    QString output() { return w<QPlainTextEdit>("plainTextEdit")->toPlainText(); }
    bool ledGreen() { return w<QLabel>("led_run")->styleSheet() == m_green_sheetStyle; }
    // Clicks Login; `keyAnswer` answers the host key question (none expected when empty).
    bool loginWith(const QByteArray& password, const QString& keyAnswer = QString())
    {
        w<QLineEdit>("editUserName")->setText(QString::fromLatin1(SshServer::kUser));
        w<QLineEdit>("editPassword")->setText(QString::fromLatin1(password));
        QSignalSpy result(console.get(), &CIceDevConsolo::LoginResult);
        if (!keyAnswer.isEmpty())
            testutil::answerNextModal(keyAnswer, [this](QWidget* box) { question = testutil::modalText(box); }, 20000);
        w<QPushButton>("btnLogin")->click();
        return result.wait(20000) && result.first().first().toBool();
    }

    std::unique_ptr<testutil::TempAppDir> appDir;
    std::unique_ptr<SshServer> server;
    std::unique_ptr<CIceDevConsolo> console;
    QString question;
    static QStringList link() { return {"-n", qEnvironmentVariable("VXA_NETNS_SIM"), "link", "set", qEnvironmentVariable("VXA_SIM_IFACE")}; }
};

QTEST_MAIN(tst_IPManagerSsh)
#include "tst_ipmanager_ssh.moc"
