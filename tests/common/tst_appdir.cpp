// Where the tools read and save their files: beside the program while that directory is
// writable (build tree, tests), otherwise below $XDG_CONFIG_HOME/vxa with the installed
// files still read from the program's directory.

#include "appdir.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// Runs fn as an ordinary user and returns its lines. Root may write anywhere, so as root
// fn runs in a child that has dropped to "nobody"; the parent only reads the answer.
QStringList asOrdinaryUser(const std::function<QStringList()>& fn)
{
    if (::geteuid() != 0)
        return fn();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return {QStringLiteral("no user nobody")};
    int fds[2];
    if (::pipe(fds) != 0)
        return {QStringLiteral("pipe failed")};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        QByteArray out;
        if (::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0)
            out = fn().join(QLatin1Char('\n')).toUtf8();
        else
            out = "could not drop to nobody";
        const char* p = out.constData();
        qint64 left = out.size();
        while (left > 0) {
            const ssize_t n = ::write(fds[1], p, size_t(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray answer;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        answer.append(buf, int(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return QString::fromUtf8(answer).split(QLatin1Char('\n'));
}

} // namespace

class tst_AppDir : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void writableAppDirIsUsed();
    void systemInstallationIsNeverWritten();
    void readOnlyAppDirUsesXdg_data();
    void readOnlyAppDirUsesXdg();
};

void tst_AppDir::cleanup()
{
    setAppDirPath(QString());
}

void tst_AppDir::writableAppDirIsUsed()
{
    QTemporaryDir app;
    QVERIFY(app.isValid());
    setAppDirPath(app.path());
    QCOMPARE(dataDirPath(), app.path());
    QCOMPARE(dataFilePath(QStringLiteral("config/assist.ini")), app.filePath(QStringLiteral("config/assist.ini")));
    QVERIFY(makeDataDirFor(QStringLiteral("service/connection/x.ini")));
    QVERIFY(QFileInfo(app.filePath(QStringLiteral("service/connection"))).isDir());
    writeFile(app.filePath(QStringLiteral("config/version.ini")), "[VXA]\nTAG=t\n");
    QCOMPARE(readFilePath(QStringLiteral("config/version.ini")), app.filePath(QStringLiteral("config/version.ini")));
}

void tst_AppDir::systemInstallationIsNeverWritten()
{
    // Writable for root, yet below /usr: the package's files, never the user's.
    QTemporaryDir xdg;
    QVERIFY(xdg.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdg.path()));
    setAppDirPath(QStringLiteral("/usr/bin"));
    QCOMPARE(dataDirPath(), xdg.path() + QStringLiteral("/vxa"));
    qunsetenv("XDG_CONFIG_HOME");
}

void tst_AppDir::readOnlyAppDirUsesXdg_data()
{
    QTest::addColumn<QString>("xdgValue"); // "<abs>" = the temporary directory, "" = unset
    QTest::addColumn<bool>("underHome");
    QTest::newRow("XDG_CONFIG_HOME set") << QStringLiteral("<abs>") << false;
    QTest::newRow("XDG_CONFIG_HOME unset: ~/.config") << QString() << true;
    QTest::newRow("XDG_CONFIG_HOME relative: ignored") << QStringLiteral("relative/dir") << true;
}

void tst_AppDir::readOnlyAppDirUsesXdg()
{
    QFETCH(QString, xdgValue);
    QFETCH(bool, underHome);

    QTemporaryDir app, user;
    QVERIFY(app.isValid() && user.isValid());
    // The installed files: a version, a system-wide language choice and a translation.
    writeFile(app.filePath(QStringLiteral("config/version.ini")), "[VXA]\nTAG=installed\n");
    writeFile(app.filePath(QStringLiteral("config/system.ini")), "[system]\nlanguage=zh_CN\n");
    writeFile(app.filePath(QStringLiteral("languages/zh_CN/app_zh_CN.qm")), "qm");
    // Read-only for everybody but root; as root the check runs as "nobody".
    QVERIFY(QFile::setPermissions(app.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                  | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(user.path(), QFile::Permissions(0x7777)));

    const QString home = user.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    QVERIFY(QFile::setPermissions(home, QFile::Permissions(0x7777)));
    const QString xdg = user.filePath(QStringLiteral("xdg"));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    if (xdgValue.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdgValue == QLatin1String("<abs>") ? xdg : xdgValue));
    setAppDirPath(app.path());

    const QStringList got = asOrdinaryUser([]() {
        QStringList out;
        out << dataDirPath();
        out << readFilePath(QStringLiteral("config/version.ini"));
        out << readFilePath(QStringLiteral("config/system.ini"));
        // The language saved as the tools save it: the user's copy then wins on reading.
        {
            QSettings s(dataFilePath(QStringLiteral("config/system.ini")), QSettings::IniFormat);
            s.setValue(QStringLiteral("system/language"), QStringLiteral("en"));
            s.sync();
            out << QString::number(int(s.status()));
        }
        out << readFilePath(QStringLiteral("config/system.ini"));
        out << (makeDataDirFor(QStringLiteral("service/connection/ttyS1_UDP.ini")) ? QStringLiteral("made")
                                                                                  : QStringLiteral("not made"));
        return out;
    });

    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
    QFile::setPermissions(app.path(), QFile::Permissions(0x7700)); // so that QTemporaryDir can remove it

    const QString expected = (underHome ? home + QStringLiteral("/.config") : xdg) + QStringLiteral("/vxa");
    QCOMPARE(got.size(), 6);
    QCOMPARE(got.at(0), expected);
    QCOMPARE(got.at(1), app.filePath(QStringLiteral("config/version.ini")));
    QCOMPARE(got.at(2), app.filePath(QStringLiteral("config/system.ini")));
    QCOMPARE(got.at(3), QStringLiteral("0"));
    QCOMPARE(got.at(4), expected + QStringLiteral("/config/system.ini"));
    QCOMPARE(got.at(5), QStringLiteral("made"));
    QVERIFY(QFileInfo(expected + QStringLiteral("/service/connection")).isDir());
    // The installed file is untouched.
    const QSettings installed(app.filePath(QStringLiteral("config/system.ini")), QSettings::IniFormat);
    QCOMPARE(installed.value(QStringLiteral("system/language")).toString(), QStringLiteral("zh_CN"));
    const QSettings saved(expected + QStringLiteral("/config/system.ini"), QSettings::IniFormat);
    QCOMPARE(saved.value(QStringLiteral("system/language")).toString(), QStringLiteral("en"));
}

QTEST_APPLESS_MAIN(tst_AppDir)
#include "tst_appdir.moc"
