#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

// One saved command: a name and its script.
struct SavedCommand
{
    QString name;
    QString script;
    bool operator==(const SavedCommand& o) const { return name == o.name && script == o.script; }
};

// The command library's INI file: group [commands] with count, then 1/name, 1/script, ...
// in list order. The same format serves config/commands.ini and exported files.
class CommandLibraryFile
{
    Q_DECLARE_TR_FUNCTIONS(CommandLibraryFile)
public:
    // A file never yields more than this many commands.
    static constexpr int maxCommands = 1000;

    // config/commands.ini in the data folder.
    static QString defaultPath();

    explicit CommandLibraryFile(const QString& filePath);

    // The commands the file holds (none for a missing file); false with a reason for a
    // file that cannot be read.
    bool load(QVector<SavedCommand>* out, QString* error = nullptr) const;
    // Replaces the file's commands; false with a reason when it cannot be written.
    bool save(const QVector<SavedCommand>& commands, QString* error = nullptr) const;

private:
    QString path;
};
