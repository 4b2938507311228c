// The program's console face: --help and --version without a display, a quiet normal
// start, debug lines on request, and the refusal to run set-user-ID.

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const QString builtExe = QStringLiteral(VXA_BIN_DIR "/vxa");

// A copy of the program in its own writable application directory, so that nothing it
// saves lands in the build tree.
struct AppCopy
{
    explicit AppCopy(const QString& parent = QString())
        : dir(parent.isEmpty() ? QDir::tempPath() + QStringLiteral("/vxa-XXXXXX") : parent + QStringLiteral("/vxa-XXXXXX"))
    {
        exe = dir.filePath(QStringLiteral("vxa"));
        ok = dir.isValid() && QFile::copy(builtExe, exe)
             && QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                               | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)
             && QDir(dir.path()).mkpath(QStringLiteral("config"))
             && QFile::copy(QStringLiteral(VXA_BIN_DIR "/config/version.ini"),
                            dir.filePath(QStringLiteral("config/version.ini")));
    }
    QTemporaryDir dir;
    QString exe;
    bool ok = false;
};

// An environment where any attempt to open a display fails at once.
QProcessEnvironment noDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

// Ends a process that is still running after a test failed.
struct Reaper
{
    QProcess& p;
    ~Reaper()
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
};

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void informational_data();
    void informational();
    void normalStartIsQuiet_data();
    void normalStartIsQuiet();
    void verboseShowsDebugLines_data();
    void verboseShowsDebugLines();
    void setIdStartIsRefused_data();
    void setIdStartIsRefused();
};

void tst_CommandLine::initTestCase()
{
    QVERIFY2(QFileInfo(builtExe).isExecutable(), "build/bin/vxa not built");
}

void tst_CommandLine::informational_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected"); // a line that must be on stdout
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << QStringLiteral("vxa " VXA_VERSION);
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << QStringLiteral("vxa " VXA_VERSION);
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << QStringLiteral("  --verbose");
    QTest::newRow("-h after a Qt option") << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-h")}
                                          << QStringLiteral("  -v, --version");
}

void tst_CommandLine::informational()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QProcess proc;
    Reaper reaper{proc};
    proc.setProcessEnvironment(noDisplay());
    proc.start(builtExe, args);
    QVERIFY2(proc.waitForFinished(30000), "no answer within 30 s");
    const QString out = QString::fromLocal8Bit(proc.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(proc.readAllStandardError());
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QVERIFY2(proc.exitCode() == 0, qPrintable(err));
    QVERIFY2(err.isEmpty(), qPrintable(err));
    bool found = false;
    for (const QString& line : out.split(QLatin1Char('\n')))
        found = found || line.startsWith(expected);
    QVERIFY2(found, qPrintable(out));
}

void tst_CommandLine::normalStartIsQuiet_data()
{
    QTest::addColumn<bool>("restarted");
    QTest::newRow("plain") << false;
    QTest::newRow("restarted as administrator: reports its window to the waiting one") << true;
}

void tst_CommandLine::normalStartIsQuiet()
{
    QFETCH(bool, restarted);
    QLocalServer waiting;
    QVERIFY(waiting.listen(QStringLiteral("vxa-test-%1").arg(QCoreApplication::applicationPid())));
    AppCopy app;
    QVERIFY(app.ok);
    QTemporaryDir runtime; // a desktop session has one; without it Qt itself complains
    QVERIFY(runtime.isValid());
    QProcess proc;
    Reaper reaper{proc};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    proc.setProcessEnvironment(env);
    proc.setWorkingDirectory(app.dir.path());
    proc.start(app.exe, restarted ? QStringList{QStringLiteral("--restart-notify"), waiting.fullServerName()}
                                  : QStringList());
    QVERIFY2(proc.waitForStarted(10000), qPrintable(proc.errorString()));
    // Watching a running program for 3 s is the point: anything it prints at start shows up here.
    QVERIFY2(!proc.waitForFinished(3000), "the program ended on its own");
    if (restarted) {
        QVERIFY(waiting.waitForNewConnection(10000));
        QLocalSocket* report = waiting.nextPendingConnection();
        QVERIFY(report->canReadLine() || report->waitForReadyRead(10000));
        QCOMPARE(report->readLine(), QByteArray("started\n"));
    }
    QCOMPARE(::kill(pid_t(proc.processId()), SIGTERM), 0);
    QVERIFY(proc.waitForFinished(10000));
    QCOMPARE(proc.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(proc.readAllStandardOutput()), QString());
    // The offscreen platform's own note, which a real display does not print, aside.
    QStringList err = QString::fromLocal8Bit(proc.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    err.removeAll(QStringLiteral("This plugin does not support propagateSizeHints()"));
    QCOMPARE(err, QStringList());
}

void tst_CommandLine::verboseShowsDebugLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("rules");
    QTest::newRow("--verbose") << QStringList{QStringLiteral("--verbose")} << QString();
    QTest::newRow("QT_LOGGING_RULES") << QStringList() << QStringLiteral("vxa.*.debug=true");
}

void tst_CommandLine::verboseShowsDebugLines()
{
    QFETCH(QStringList, args);
    QFETCH(QString, rules);
    AppCopy app;
    QVERIFY(app.ok);
    QProcess proc;
    Reaper reaper{proc};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{category}: %{message}"));
    if (rules.isEmpty())
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
    else
        env.insert(QStringLiteral("QT_LOGGING_RULES"), rules);
    proc.setProcessEnvironment(env);
    proc.setWorkingDirectory(app.dir.path());
    proc.start(app.exe, args);
    QVERIFY2(proc.waitForStarted(10000), qPrintable(proc.errorString()));
    // The IP Manager lists the capture devices at start (there is always "lo").
    QByteArray err;
    QElapsedTimer limit;
    limit.start();
    while (!err.contains("vxa.ipmanager: ") && proc.state() == QProcess::Running && limit.elapsed() < 30000) {
        proc.waitForReadyRead(500);
        err += proc.readAllStandardError();
    }
    QVERIFY2(err.contains("vxa.ipmanager: "), err.constData());
    QCOMPARE(::kill(pid_t(proc.processId()), SIGTERM), 0);
    QVERIFY(proc.waitForFinished(10000));
}

void tst_CommandLine::setIdStartIsRefused_data()
{
    QTest::addColumn<bool>("setGroup");
    QTest::newRow("set-user-ID") << false;
    QTest::newRow("set-group-ID") << true;
}

void tst_CommandLine::setIdStartIsRefused()
{
    QFETCH(bool, setGroup);
    if (::geteuid() != 0)
        QSKIP("needs root to give the copy another owner");
    // The build tree, not /tmp: /tmp is often mounted nosuid, which would hide the bit.
    AppCopy app(QStringLiteral(VXA_BUILD_DIR "/tests"));
    QVERIFY(app.ok);
    struct statvfs fs;
    QCOMPARE(::statvfs(QFile::encodeName(app.exe).constData(), &fs), 0);
    if (fs.f_flag & ST_NOSUID)
        QSKIP("the build tree is mounted nosuid");
    const passwd* nobody = ::getpwnam("nobody");
    QVERIFY(nobody);
    const QByteArray exe = QFile::encodeName(app.exe);
    QCOMPARE(::chown(exe.constData(), setGroup ? 0 : nobody->pw_uid, setGroup ? nobody->pw_gid : 0), 0);
    QCOMPARE(::chmod(exe.constData(), setGroup ? 02755 : 04755), 0);
    QVERIFY(QFile::setPermissions(app.dir.path(), QFile::Permissions(0x7755)));

    QProcess proc;
    Reaper reaper{proc};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    proc.setProcessEnvironment(env);
    proc.start(app.exe, {});
    QVERIFY2(proc.waitForFinished(30000), "a set-ID start was not refused within 30 s");
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 1);
    const QStringList lines =
        QString::fromLocal8Bit(proc.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).startsWith(QLatin1String("vxa: refusing to run set-user-ID or set-group-ID")),
             qPrintable(lines.at(0)));
    QCOMPARE(proc.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
