#include "CommandLibrary.h"
#include "ui_CommandLibrary.h"

#include "CommandEditor.h"
#include "CommandRunner.h"
#include "CommandScript.h"
#include "UartNetAssist.h"
#include "appdir.h"
#include "assistlog.h"
#include "statusmessages.h"

#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QScrollBar>
#include <QShortcut>

namespace {
constexpr int kScriptRole = Qt::UserRole;
constexpr int kLogFlushMs = 50;
constexpr int kShortcutCommands = 9;
} // namespace

CommandLibrary::CommandLibrary(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_CommandLibrary)
{
    ui->setupUi(this);
    ui->command_log->setMaximumBlockCount(maxLogLines);
    ui->command_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->command_splitter->setStretchFactor(0, 1);
    ui->command_splitter->setStretchFactor(1, 1);
    logTimer.setSingleShot(true);
    logTimer.setInterval(kLogFlushMs);
    connect(&logTimer, &QTimer::timeout, this, &CommandLibrary::flushLog);

    askCommand = [this](QString* name, QString* script) {
        CommandEditor editor(this);
        editor.setWindowTitle(name->isEmpty() ? tr("New Command") : tr("Edit Command"));
        editor.setCommand(*name, *script);
        if (editor.exec() != QDialog::Accepted)
            return false;
        *name = editor.name();
        *script = editor.script();
        return true;
    };
    // Library files start in the folder the program saves into.
    chooseOpenFile = [this](const QString& title) {
        return QFileDialog::getOpenFileName(this, title, dataDirPath(), tr("Command libraries (*.ini);;All files (*)"));
    };
    chooseSaveFile = [this](const QString& title) {
        QDir().mkpath(dataDirPath());
        return QFileDialog::getSaveFileName(this, title, dataDirPath(), tr("Command libraries (*.ini)"));
    };

    load();
    QListWidget* list = ui->command_list;
    connect(list->model(), &QAbstractItemModel::rowsMoved, this, &CommandLibrary::save);
    connect(list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        runCommand(ui->command_list->row(item));
    });
    connect(list, &QListWidget::currentRowChanged, this, &CommandLibrary::updateButtons);
    connect(ui->btn_add_command, &QPushButton::clicked, this, &CommandLibrary::onAdd);
    connect(ui->btn_edit_command, &QPushButton::clicked, this, &CommandLibrary::onEdit);
    connect(ui->btn_duplicate_command, &QPushButton::clicked, this, &CommandLibrary::onDuplicate);
    connect(ui->btn_delete_command, &QPushButton::clicked, this, &CommandLibrary::onDelete);
    connect(ui->btn_import_commands, &QPushButton::clicked, this, &CommandLibrary::onImport);
    connect(ui->btn_export_commands, &QPushButton::clicked, this, &CommandLibrary::onExport);
    connect(ui->btn_run_command, &QPushButton::clicked, this, [this]() { runCommand(ui->command_list->currentRow()); });
    connect(ui->btn_stop_command, &QPushButton::clicked, this, &CommandLibrary::stopRun);

    for (int i = 0; i < kShortcutCommands; ++i) {
        auto* shortcut = new QShortcut(QKeySequence(int(Qt::CTRL | Qt::SHIFT) + Qt::Key_1 + i), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, i]() { runCommand(i); });
    }
    updateButtons();
}

CommandLibrary::~CommandLibrary()
{
    // Runs end before the list and log they report to go.
    const auto all = runs;
    runs.clear();
    for (Run* run : all) {
        run->runner->disconnect(this);
        delete run->runner;
        delete run;
    }
    delete ui;
}

// ---------------------------------------------------------------- the list

QVector<SavedCommand> CommandLibrary::commands() const
{
    QVector<SavedCommand> out;
    for (int i = 0; i < ui->command_list->count(); ++i) {
        const QListWidgetItem* item = ui->command_list->item(i);
        out.append(SavedCommand{item->text(), item->data(kScriptRole).toString()});
    }
    return out;
}

void CommandLibrary::addItem(const SavedCommand& command, int row)
{
    auto* item = new QListWidgetItem(command.name);
    item->setData(kScriptRole, command.script);
    item->setToolTip(command.script);
    // Dropped between rows only, never onto another command.
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
    if (row < 0)
        ui->command_list->addItem(item);
    else
        ui->command_list->insertItem(row, item);
}

bool CommandLibrary::addCommand(const QString& name, const QString& script, QString* error)
{
    CommandScript parsed;
    QString why;
    if (name.trimmed().isEmpty())
        why = tr("The command has no name.");
    else if (!parsed.parse(script))
        why = parsed.errorMessage();
    else if (ui->command_list->count() >= CommandLibraryFile::maxCommands)
        why = tr("The library holds at most %1 commands.").arg(CommandLibraryFile::maxCommands);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    addItem(SavedCommand{name.trimmed(), script});
    save();
    updateButtons();
    return true;
}

void CommandLibrary::load()
{
    QVector<SavedCommand> list;
    QString error;
    if (!CommandLibraryFile(CommandLibraryFile::defaultPath()).load(&list, &error))
        StatusMessages::post(error);
    loading = true;
    ui->command_list->clear();
    for (const SavedCommand& c : list)
        addItem(c);
    loading = false;
}

void CommandLibrary::save()
{
    if (loading)
        return;
    QString error;
    if (!CommandLibraryFile(CommandLibraryFile::defaultPath()).save(commands(), &error)) {
        qCWarning(lcAssist).noquote() << error;
        StatusMessages::post(tr("The command library cannot be saved: %1").arg(error));
    }
}

void CommandLibrary::onAdd()
{
    QString name;
    QString script;
    if (!askCommand(&name, &script))
        return;
    QString error;
    if (!addCommand(name, script, &error)) {
        QMessageBox::information(this, tr("Commands"), error);
        return;
    }
    ui->command_list->setCurrentRow(ui->command_list->count() - 1);
}

void CommandLibrary::onEdit()
{
    QListWidgetItem* item = ui->command_list->currentItem();
    if (!item)
        return;
    QString name = item->text();
    QString script = item->data(kScriptRole).toString();
    CommandScript parsed;
    // The editor refuses a faulty script; the check here covers any other way of asking.
    if (!askCommand(&name, &script) || name.trimmed().isEmpty() || !parsed.parse(script))
        return;
    item->setText(name.trimmed());
    item->setData(kScriptRole, script);
    item->setToolTip(script);
    save();
}

void CommandLibrary::onDuplicate()
{
    const int row = ui->command_list->currentRow();
    if (row < 0 || ui->command_list->count() >= CommandLibraryFile::maxCommands)
        return;
    const QListWidgetItem* item = ui->command_list->item(row);
    addItem(SavedCommand{tr("%1 (copy)").arg(item->text()), item->data(kScriptRole).toString()}, row + 1);
    ui->command_list->setCurrentRow(row + 1);
    save();
}

void CommandLibrary::onDelete()
{
    QListWidgetItem* item = ui->command_list->currentItem();
    if (!item)
        return;
    const QPointer<CommandLibrary> self(this); // the question runs an event loop of its own
    const auto answer = QMessageBox::question(this, tr("Commands"), tr("Delete the command '%1'?").arg(item->text()));
    if (!self || answer != QMessageBox::Yes || ui->command_list->row(item) < 0)
        return;
    delete item;
    save();
    updateButtons();
}

QString CommandLibrary::importFile(const QString& path)
{
    QVector<SavedCommand> list;
    QString error;
    if (!QFileInfo::exists(path)) // a missing file would read as an empty library
        return CommandLibraryFile::tr("%1 cannot be read.").arg(path);
    if (!CommandLibraryFile(path).load(&list, &error))
        return error;
    int added = 0;
    int refused = 0;
    for (const SavedCommand& c : list) {
        CommandScript parsed;
        if (ui->command_list->count() >= CommandLibraryFile::maxCommands || !parsed.parse(c.script)) {
            ++refused;
            continue;
        }
        addItem(c);
        ++added;
    }
    if (added > 0)
        save();
    updateButtons();
    QString message = tr("%n command(s) added from %1.", nullptr, added).arg(path);
    if (refused > 0)
        message += QLatin1Char(' ') + tr("%n left out: a faulty script or a full library.", nullptr, refused);
    return message;
}

bool CommandLibrary::exportFile(const QString& path, QString* error) const
{
    return CommandLibraryFile(path).save(commands(), error);
}

void CommandLibrary::onImport()
{
    const QString path = chooseOpenFile(tr("Import Commands"));
    if (path.isEmpty())
        return;
    const QString message = importFile(path);
    StatusMessages::post(message);
    auto* box = new QMessageBox(QMessageBox::Information, tr("Commands"), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CommandLibrary::onExport()
{
    const QString path = chooseSaveFile(tr("Export Commands"));
    if (path.isEmpty())
        return;
    QString error;
    if (exportFile(path, &error))
        StatusMessages::post(tr("%n command(s) exported to %1.", nullptr, ui->command_list->count()).arg(path));
    else
        QMessageBox::warning(this, tr("Commands"), error);
}

// ---------------------------------------------------------------- runs

CommandLibrary::Run* CommandLibrary::runFor(UartNetAssist* panel)
{
    if (Run* run = runs.value(panel))
        return run;
    auto* run = new Run;
    run->panel = panel;
    run->runner = new CommandRunner(this);
    CommandRunner* runner = run->runner;
    const QPointer<UartNetAssist> p(panel);
    runner->setSender([p](const QByteArray& bytes, bool raw, QByteArray* sent, QString* error) {
        if (!p) {
            *error = tr("the panel is gone");
            return false;
        }
        return p->sendForCommand(bytes, raw, sent, error);
    });
    runner->setReady([p]() { return !p || p->commandSendReady(); });
    connect(panel, &UartNetAssist::dataReceived, runner, &CommandRunner::feed);
    connect(panel, &UartNetAssist::updateNodeName, runner, [runner, p](const QString&, bool isOn) {
        if (!isOn && p && !p->isDeviceOpen())
            runner->stop(tr("the panel was closed"));
    });
    connect(panel, &QObject::destroyed, this, &CommandLibrary::onPanelGone);
    connect(runner, &CommandRunner::logLine, this, [this, run](const QString& line) { appendLog(run, line); });
    connect(runner, &CommandRunner::progressChanged, this, [this, run](const QString& text) {
        run->progress = text;
        if (run->panel && run->panel == current)
            ui->command_progress->setText(text);
    });
    QObject* key = panel;
    connect(runner, &CommandRunner::finished, this, [this, run, key](bool passed, const QString& result) {
        StatusMessages::post(tr("Command '%1': %2").arg(run->name, result));
        updateButtons();
        emit runFinished(key, passed, result);
    });
    runs.insert(panel, run);
    return run;
}

bool CommandLibrary::isRunning(UartNetAssist* panel) const
{
    const Run* run = runs.value(panel);
    return run && run->runner->isRunning();
}

bool CommandLibrary::runCommand(int row)
{
    QListWidgetItem* item = ui->command_list->item(row);
    if (!item)
        return false;
    if (!current) {
        appendLog(nullptr, tr("There is no debugging assistant to run '%1' on.").arg(item->text()));
        return false;
    }
    Run* run = runFor(current);
    if (run->runner->isRunning()) {
        appendLog(run, tr("'%1' is still running on this panel; stop it first.").arg(run->name));
        return false;
    }
    CommandScript script;
    if (!script.parse(item->data(kScriptRole).toString())) {
        appendLog(run, tr("'%1' cannot run: %2").arg(item->text(), script.errorMessage()));
        return false;
    }
    if (!current->isDeviceOpen()) {
        appendLog(run, tr("'%1' cannot run: the panel is not open.").arg(item->text()));
        return false;
    }
    // Each run starts a fresh log.
    run->log.clear();
    run->progress.clear();
    pendingLog.clear();
    ui->command_log->clear();
    ui->command_progress->clear();
    run->name = item->text();
    appendLog(run, tr("Running '%1' on %2").arg(run->name, current->GetCurrentTitle()));
    run->runner->start(script);
    updateButtons();
    return true;
}

void CommandLibrary::stopRun()
{
    if (Run* run = runs.value(current.data()))
        run->runner->stop(tr("stopped by the user"));
}

void CommandLibrary::onPanelGone(QObject* panel)
{
    Run* run = runs.take(panel);
    if (!run)
        return;
    run->runner->stop(tr("the panel was deleted"));
    run->runner->disconnect(this);
    run->runner->deleteLater();
    delete run;
}

void CommandLibrary::setPanel(UartNetAssist* panel)
{
    if (current == panel)
        return;
    flushLog();
    current = panel;
    const Run* run = runs.value(panel);
    ui->command_log->setPlainText(run ? run->log.join(QLatin1Char('\n')) : QString());
    ui->command_log->verticalScrollBar()->setValue(ui->command_log->verticalScrollBar()->maximum());
    ui->command_progress->setText(run ? run->progress : QString());
    updateButtons();
}

void CommandLibrary::appendLog(Run* run, const QString& line)
{
    if (run) {
        run->log.append(line);
        if (run->log.size() > maxLogLines)
            run->log.removeFirst();
        if (run->panel != current)
            return;
    }
    // A fast run logs thousands of lines a second: the view takes them in batches.
    pendingLog.append(line);
    if (!logTimer.isActive())
        logTimer.start();
}

void CommandLibrary::flushLog()
{
    logTimer.stop();
    if (pendingLog.isEmpty())
        return;
    if (pendingLog.size() > maxLogLines)
        pendingLog = pendingLog.mid(pendingLog.size() - maxLogLines);
    ui->command_log->appendPlainText(pendingLog.join(QLatin1Char('\n')));
    pendingLog.clear();
    ui->command_log->verticalScrollBar()->setValue(ui->command_log->verticalScrollBar()->maximum());
}

void CommandLibrary::updateButtons()
{
    const bool selected = ui->command_list->currentRow() >= 0;
    const bool running = current && isRunning(current);
    ui->btn_run_command->setEnabled(selected && current && !running);
    ui->btn_stop_command->setEnabled(running);
    ui->btn_edit_command->setEnabled(selected);
    ui->btn_duplicate_command->setEnabled(selected);
    ui->btn_delete_command->setEnabled(selected);
    ui->btn_export_commands->setEnabled(ui->command_list->count() > 0);
}

void CommandLibrary::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange && ui) {
        ui->retranslateUi(this);
        // The dock holding the library (through its scroll area) shows the title.
        for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
            if (auto* dock = qobject_cast<QDockWidget*>(w)) {
                dock->setWindowTitle(windowTitle());
                break;
            }
        }
    }
    QWidget::changeEvent(event);
}
