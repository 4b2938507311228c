// Starts the built program from a temporary application directory, offscreen, and
// ends it with SIGTERM or SIGINT as a logout or Ctrl+C would.

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class tst_Smoke : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startsAndStops_data();
    void startsAndStops();
};

void tst_Smoke::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(VXA_BIN_DIR "/vxa")).isExecutable(), "build/bin/vxa not built");
}

void tst_Smoke::startsAndStops_data()
{
    QTest::addColumn<int>("sig");
    QTest::addColumn<QString>("language");
    QTest::newRow("SIGTERM, English") << int(SIGTERM) << QString();
    QTest::newRow("SIGINT, English") << int(SIGINT) << QString();
    QTest::newRow("SIGTERM, zh_CN") << int(SIGTERM) << QStringLiteral("zh_CN");
}

void tst_Smoke::startsAndStops()
{
    QFETCH(int, sig);
    QFETCH(QString, language);

    QTemporaryDir appDir;
    QVERIFY(appDir.isValid());
    const QString exe = appDir.filePath(QStringLiteral("vxa"));
    QVERIFY(QFile::copy(QStringLiteral(VXA_BIN_DIR "/vxa"), exe));
    QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QDir(appDir.path()).mkpath(QStringLiteral("config")));
    QVERIFY(QFile::copy(QStringLiteral(VXA_BIN_DIR "/config/version.ini"),
                        appDir.filePath(QStringLiteral("config/version.ini"))));
    const QString ini = appDir.filePath(QStringLiteral("config/system.ini"));
    if (!language.isEmpty()) {
        const QDir from(QStringLiteral(VXA_BIN_DIR "/languages/") + language);
        QVERIFY(from.exists());
        QVERIFY(QDir(appDir.path()).mkpath(QStringLiteral("languages/") + language));
        const auto files = from.entryList(QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString& f : files)
            QVERIFY(QFile::copy(from.filePath(f), appDir.filePath(QStringLiteral("languages/%1/%2").arg(language, f))));
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("system/language"), language);
    }

    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    proc.setProcessEnvironment(env);
    proc.setWorkingDirectory(appDir.path());
    proc.setProcessChannelMode(QProcess::ForwardedChannels);
    proc.start(exe, {});
    QVERIFY2(proc.waitForStarted(5000), qPrintable(proc.errorString()));

    // Still running after a while: it built its window and sits in its event loop.
    // The wait is the point here; a start-up failure ends the process well within it.
    QVERIFY2(!proc.waitForFinished(1500), "the program ended on its own");

    QCOMPARE(::kill(pid_t(proc.processId()), sig), 0);
    const bool ended = proc.waitForFinished(5000);
    if (!ended) {
        proc.kill();
        proc.waitForFinished(3000);
    }
    QVERIFY2(ended, "the program did not end within 5 s of the signal");
    // A normal exit with 0 means the event loop returned and main() ran to its end.
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 0);

    if (!language.isEmpty()) {
        const QSettings s(ini, QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("system/language")).toString(), language);
    }
}

QTEST_GUILESS_MAIN(tst_Smoke)
#include "tst_smoke.moc"
