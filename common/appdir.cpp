#include "appdir.h"

#include <QCoreApplication>

namespace {
QString& overrideDir()
{
    static QString dir;
    return dir;
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
