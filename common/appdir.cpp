#include "appdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {
QString& overrideDir()
{
    static QString dir;
    return dir;
}

// Files below /usr belong to the package manager and /usr may be mounted read-only: an
// installed program never writes there, not even when root runs it.
bool isSystemInstallation(const QString& dir)
{
    const QString path = QFileInfo(dir).canonicalFilePath();
    return path == QLatin1String("/usr") || path.startsWith(QLatin1String("/usr/"));
}

QString userConfigDir()
{
    // XDG_CONFIG_HOME counts only as an absolute path; a relative one is ignored.
    const QString xdg = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}
} // namespace

QString appDirPath()
{
    const QString& dir = overrideDir();
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

void setAppDirPath(const QString& dir)
{
    overrideDir() = dir;
}

QString dataDirPath()
{
    const QString app = appDirPath();
    // access(2), not the mode bits: it honours ACLs, read-only mounts and the caller's groups.
    if (!isSystemInstallation(app) && ::access(QFile::encodeName(app).constData(), W_OK) == 0)
        return app;
    return userConfigDir() + QStringLiteral("/vxa");
}

QString dataFilePath(const QString& relative)
{
    return dataDirPath() + QLatin1Char('/') + relative;
}

QString readFilePath(const QString& relative)
{
    const QString saved = dataFilePath(relative);
    if (QFileInfo::exists(saved))
        return saved;
    return appDirPath() + QLatin1Char('/') + relative;
}

bool makeDataDirFor(const QString& relative, QString* error)
{
    const QString dir = QFileInfo(dataFilePath(relative)).absolutePath();
    if (QDir().mkpath(dir))
        return true;
    if (error)
        *error = QCoreApplication::translate("appdir", "Cannot create the folder %1.").arg(dir);
    return false;
}

QString saveDialogDir()
{
    const QString dir = dataDirPath();
    if (QDir().mkpath(dir) && ::access(QFile::encodeName(dir).constData(), W_OK) == 0)
        return dir;
    return QDir::homePath();
}
