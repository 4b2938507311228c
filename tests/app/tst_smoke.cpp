// Starts the built program from a temporary application directory, offscreen, and
// ends it with SIGTERM or SIGINT as a logout or Ctrl+C would.

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
// True when the process has a handler for the signal (its SigCgt mask in /proc).
bool catchesSignal(qint64 pid, int sig)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (sig - 1)) & 1;
    }
    return false;
}
} // namespace

class tst_Smoke : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startsAndStops_data();
    void startsAndStops();
    void noDisplay_data();
    void noDisplay();
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

    // Signal only once the program catches it (a slow machine may take a while to get
    // there); a start-up failure that ends the process shows up here or in the exit code.
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(proc.processId(), sig) || proc.state() != QProcess::Running, 30000);
    QVERIFY2(proc.state() == QProcess::Running, "the program ended on its own");

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

    const QSettings s(ini, QSettings::IniFormat);
    if (!language.isEmpty())
        QCOMPARE(s.value(QStringLiteral("system/language")).toString(), language);
    // The window kept its layout on the way out, for the next start.
    QVERIFY(!s.value(QStringLiteral("window/geometry")).toByteArray().isEmpty());
    QVERIFY(!s.value(QStringLiteral("window/state")).toByteArray().isEmpty());
    QCOMPARE(s.value(QStringLiteral("window/tool")).toInt(), 0);
}

void tst_Smoke::noDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("DISPLAY unset") << QString();
    // Nothing listens for display 93 here: no socket file, nothing on port 6093.
    QTest::newRow("display unreachable") << QStringLiteral("127.0.0.1:93");
}

void tst_Smoke::noDisplay()
{
    QFETCH(QString, display);
    QTemporaryDir appDir;
    QVERIFY(appDir.isValid());
    const QString exe = appDir.filePath(QStringLiteral("vxa"));
    QVERIFY(QFile::copy(QStringLiteral(VXA_BIN_DIR "/vxa"), exe));
    QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (display.isEmpty())
        env.remove(QStringLiteral("DISPLAY"));
    else
        env.insert(QStringLiteral("DISPLAY"), display);
    proc.setProcessEnvironment(env);
    proc.start(exe, {});
    QVERIFY2(proc.waitForStarted(5000), qPrintable(proc.errorString()));
    const bool ended = proc.waitForFinished(10000);
    if (!ended) {
        proc.kill();
        proc.waitForFinished(3000);
    }
    QVERIFY(ended);
    // One line and status 1, not an abort.
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 1);
    const QStringList lines = QString::fromLocal8Bit(proc.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).startsWith(QLatin1String("vxa: cannot open a display")), qPrintable(lines.at(0)));
}

QTEST_GUILESS_MAIN(tst_Smoke)
#include "tst_smoke.moc"
