#pragma once

#include "CommandLibraryFile.h"

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class CommandRunner;
class QListWidgetItem;
class UartNetAssist;
class Ui_CommandLibrary;

// The saved commands shared by all assistant panels, beside them in the assistant's
// page: a list to add, edit, delete, reorder and duplicate commands, run one on the
// current panel, stop it, and read its run log. Kept in config/commands.ini.
class CommandLibrary : public QWidget
{
    Q_OBJECT
public:
    static constexpr int maxLogLines = 5000;

    explicit CommandLibrary(QWidget* parent = nullptr);
    ~CommandLibrary() override;

    // The panel runs go to and whose run the log shows (null: none).
    void setPanel(UartNetAssist* panel);

    QVector<SavedCommand> commands() const;
    // Adds a command at the end (its script must parse); false with a reason otherwise.
    bool addCommand(const QString& name, const QString& script, QString* error = nullptr);

    // Runs the command of row on the current panel; false (with the reason in the run
    // log) when there is no such command, no open panel, or a run under way there.
    bool runCommand(int row);
    // Stops the current panel's run.
    void stopRun();
    bool isRunning(UartNetAssist* panel) const;

    // Appends the commands of a library file whose scripts parse; returns the message
    // for the user ("3 commands added").
    QString importFile(const QString& path);
    bool exportFile(const QString& path, QString* error = nullptr) const;

    // How the library asks for a command and for files; the defaults show the editor
    // and file dialogs, tests answer directly. False or an empty path cancels.
    std::function<bool(QString* name, QString* script)> askCommand;
    std::function<QString(const QString& title)> chooseOpenFile;
    std::function<QString(const QString& title)> chooseSaveFile;

signals:
    // A run on a panel ended with this outcome.
    void runFinished(QObject* panel, bool passed, const QString& result);

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Run
    {
        CommandRunner* runner = nullptr;
        QPointer<UartNetAssist> panel;
        QString name; // of the command running or last run
        QStringList log;
        QString progress;
    };

    void load();
    void save();
    void addItem(const SavedCommand& command, int row = -1);
    void onAdd();
    void onEdit();
    void onDuplicate();
    void onDelete();
    void onImport();
    void onExport();
    Run* runFor(UartNetAssist* panel);
    void appendLog(Run* run, const QString& line);
    void flushLog();
    void onPanelGone(QObject* panel);
    void updateButtons();

    Ui_CommandLibrary* ui = nullptr;
    QPointer<UartNetAssist> current;
    QMap<QObject*, Run*> runs;
    QStringList pendingLog; // lines for the view, shown together on the next flush
    QTimer logTimer;
    bool loading = false;
};
