#pragma once

// The program as an ordinary user meets it once installed: a read-only application
// directory outside the build tree, an empty home holding the XDG folders, and the
// process switched to "nobody" in a forked child with an application object of its own.

#include "appdir.h"

#include <QApplication>
#include <QDirIterator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordinaryuser {

struct InstalledLayout
{
    InstalledLayout()
    {
        QDir(root.path()).mkpath(QStringLiteral("app/config"));
        QDir(root.path()).mkpath(QStringLiteral("home"));
        QFile version(appDir() + QStringLiteral("/config/version.ini"));
        if (version.open(QIODevice::WriteOnly))
            version.write("[VXA]\nTAG=installed\n");
        QFile::setPermissions(root.path(), QFile::Permissions(0x7755));
        QFile::setPermissions(home(), QFile::Permissions(0x7777));
        for (const QString& dir : {appDir() + QStringLiteral("/config"), appDir()})
            QFile::setPermissions(dir, QFile::Permissions(0x5555));
    }
    ~InstalledLayout() { QFile::setPermissions(appDir(), QFile::Permissions(0x7700)); }
    QString appDir() const { return root.filePath(QStringLiteral("app")); }
    QString home() const { return root.filePath(QStringLiteral("home")); }
    QStringList appFiles() const
    {
        QStringList all;
        for (QDirIterator it(appDir(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            all << it.next();
        return all;
    }
    QTemporaryDir root;
};

// Runs fn as "nobody" in a forked child (offscreen QApplication, HOME and XDG folders in
// the layout's home) and returns its lines; asRoot runs before the switch. The child and
// what it started are ended after timeoutSec whatever they do.
inline QStringList run(const InstalledLayout& layout, const std::function<QStringList()>& fn,
                       const std::function<bool()>& asRoot = {}, int timeoutSec = 50)
{
    const passwd* nobody = ::getpwnam("nobody");
    int fds[2];
    if (!nobody || ::pipe2(fds, O_CLOEXEC) != 0)
        return {QStringLiteral("child: no user nobody")};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::alarm(unsigned(timeoutSec));
        QByteArray out = "child: set-up as root failed";
        if ((!asRoot || asRoot()) && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0
            && ::setuid(nobody->pw_uid) == 0) {
            const QString home = layout.home();
            ::mkdir(QFile::encodeName(home + QStringLiteral("/runtime")).constData(), 0700);
            qputenv("HOME", QFile::encodeName(home));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
            qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + QStringLiteral("/runtime")));
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QDir::setCurrent(home);
            static int argc = 1;
            static char name[] = "ordinaryuser";
            static char* argv[] = {name, nullptr};
            QApplication app(argc, argv);
            setAppDirPath(layout.appDir());
            out = fn().join(QChar(0x1e)).toUtf8(); // lines may hold line breaks
        }
        for (qint64 done = 0, n = 0; done < out.size(); done += n)
            if ((n = ::write(fds[1], out.constData() + done, size_t(out.size() - done))) <= 0)
                break;
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray answer;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        answer.append(buf, int(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::kill(-pid, SIGKILL);
    QStringList lines = QString::fromUtf8(answer).split(QChar(0x1e));
    if (!WIFEXITED(status))
        lines << QStringLiteral("child killed");
    return lines;
}

} // namespace ordinaryuser
