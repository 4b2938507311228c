#include "CommandLibraryFile.h"

#include "appdir.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const char* const kRelativePath = "config/commands.ini";
} // namespace

QString CommandLibraryFile::defaultPath()
{
    return dataFilePath(QString::fromLatin1(kRelativePath));
}

CommandLibraryFile::CommandLibraryFile(const QString& filePath)
    : path(filePath)
{
}

bool CommandLibraryFile::load(QVector<SavedCommand>* out, QString* error) const
{
    out->clear();
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    QSettings s(path, QSettings::IniFormat);
    if (!info.isReadable() || s.status() != QSettings::NoError) {
        if (error)
            *error = tr("%1 cannot be read.").arg(path);
        return false;
    }
    s.beginGroup(QStringLiteral("commands"));
    bool ok = false;
    const int count = s.value(QStringLiteral("count")).toString().trimmed().toInt(&ok);
    if (!ok || count <= 0)
        return true;
    // The count is only an upper bound: entries really present, at most maxCommands.
    for (int i = 1; i <= count && out->size() < maxCommands; ++i) {
        const QString name = s.value(QStringLiteral("%1/name").arg(i)).toString();
        if (name.trimmed().isEmpty())
            continue;
        out->append(SavedCommand{name, s.value(QStringLiteral("%1/script").arg(i)).toString()});
    }
    return true;
}

bool CommandLibraryFile::save(const QVector<SavedCommand>& commands, QString* error) const
{
    QString why;
    if (path == defaultPath() && !makeDataDirFor(QString::fromLatin1(kRelativePath), &why)) {
        if (error)
            *error = why;
        return false;
    }
    QSettings s(path, QSettings::IniFormat);
    bool ok = s.isWritable();
    if (ok) {
        s.remove(QStringLiteral("commands"));
        s.beginGroup(QStringLiteral("commands"));
        s.setValue(QStringLiteral("count"), QString::number(commands.size()));
        for (int i = 0; i < commands.size(); ++i) {
            s.setValue(QStringLiteral("%1/name").arg(i + 1), commands.at(i).name);
            s.setValue(QStringLiteral("%1/script").arg(i + 1), commands.at(i).script);
        }
        s.endGroup();
        s.sync();
        ok = s.status() == QSettings::NoError;
    }
    if (!ok && error)
        *error = tr("%1 cannot be written.").arg(path);
    return ok;
}
