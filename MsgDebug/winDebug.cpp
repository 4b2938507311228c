#include "winDebug.h"

#include "commonhelpers.h"
#include "desktopfit.h"
#include "statusmessages.h"
#include "tablelayout.h"

#include "DebugRuleLineEdit.h"
#include "MySortFilterProxyModel.h"
#include "ui_debugWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMessageBox>
#include <QStandardItemModel>

namespace {
const QString timeFormat = QStringLiteral("yyyyMMdd-hh:mm:ss:zzz");

// Colour of the last row added; shared by all windows.
int rowColourIndex = 0;

QColor rowColour(int index)
{
    return index == 0 ? QColor(255, 255, 255) : QColor(233, 231, 227);
}

} // namespace

winDebug::winDebug(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui_debugWindow)
{
    ui->setupUi(this);
    initialize();
    setupModel();
    resetFilterRules();
    createAction();
    createColumns();
    connectWorker();
    ui->splitter_2->setStretchFactor(0, 3);
    ui->splitter_2->setStretchFactor(1, 1);
    ui->label_2->hide();
    ui->err_format->hide();
    ui->err_frame->hide();
    registerCommandMetaTypes();
    scrollTimer.setSingleShot(true);
    scrollTimer.setInterval(0);
    connect(&scrollTimer, &QTimer::timeout, this, [this]() {
        if (!ui->tableView->hasFocus())
            ui->tableView->scrollToBottom();
    });

    auto* edit = new DebugRuleLineEdit(ui->comboBox);
    ui->comboBox->setLineEdit(edit);
    ui->comboBox->setInsertPolicy(QComboBox::NoInsert);
    // The line edit is read-only; a completer would only rescan every rule on each insert.
    ui->comboBox->setCompleter(nullptr);
    connect(edit, &DebugRuleLineEdit::clicked, ui->comboBox, &QComboBox::showPopup);
    edit->setText(QStringLiteral("ALL"));
}

winDebug::~winDebug()
{
    doStop();
    delete worker;
    worker = nullptr;
    delete ui;
}

void winDebug::initialize()
{
    worker = new CDebugWorker;
}

void winDebug::setupModel()
{
    model = new QStandardItemModel(0, 5, this);
    proxy = new MySortFilterProxyModel(this);
    proxy->setSourceModel(model);
    ui->tableView->setModel(proxy);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(ui->comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &winDebug::doFilterRuleChanged);
    connect(ui->btnFindNext, &QPushButton::clicked, this, &winDebug::doFindNext);
    connect(ui->editFindContent, &QLineEdit::textChanged, this, [this]() { findPosition = 0; });
    connect(ui->tableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &winDebug::doItemChanged);
    resetComboBox();
}

void winDebug::createAction()
{
    actionStart = new QAction(QIcon(QStringLiteral(":/system/start")), QString(), this);
    actionStop = new QAction(QIcon(QStringLiteral(":/system/stop")), QString(), this);
    actionClear = new QAction(QIcon(QStringLiteral(":/system/clear")), QString(), this);
    actionStart->setObjectName(QStringLiteral("actionStart"));
    actionStop->setObjectName(QStringLiteral("actionStop"));
    actionClear->setObjectName(QStringLiteral("actionClear"));
    actionStop->setEnabled(false);
    ui->toolBar->addAction(actionStart);
    ui->toolBar->addAction(actionStop);
    ui->toolBar->addAction(actionClear);
    connect(actionStart, &QAction::triggered, this, &winDebug::doStart);
    connect(actionStop, &QAction::triggered, this, &winDebug::doStop);
    connect(actionClear, &QAction::triggered, this, &winDebug::doClear);

    auto* spacer = new QWidget(ui->toolBar_2);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ui->toolBar_2->addWidget(spacer);
    actionLight = new QAction(QIcon(QStringLiteral(":/system/light_red")), QString(), this);
    actionLight->setObjectName(QStringLiteral("actionLight"));
    ui->toolBar_2->addAction(actionLight);
    retranslate();
}

void winDebug::enableAction(bool running)
{
    actionStart->setEnabled(!running);
    actionStop->setEnabled(running);
}

void winDebug::createColumns()
{
    model->setHorizontalHeaderLabels({tr("Time"), tr("Type"), tr("Source"), tr("Destination"), tr("Content")});
    QHeaderView* header = ui->tableView->horizontalHeader();
    for (int c = 0; c < 4; ++c)
        header->setSectionResizeMode(c, QHeaderView::Interactive);
    header->setSectionResizeMode(4, QHeaderView::Stretch);
    // The time stamp has a fixed form; types, sources and destinations are widened as
    // longer ones arrive.
    const QString time = QDateTime(QDate(2026, 12, 28), QTime(23, 59, 58, 888)).toString(timeFormat);
    fitColumnsToSamples(ui->tableView, {{0, {time}}, {1, {QStringLiteral("TYPE_A")}}});
    setRowsToTextHeight(ui->tableView);
    rememberHeaderState(header, QStringLiteral("debugTable"));
    // Widths remembered with a smaller font must not cut the time stamp or a title.
    widenColumnToText(ui->tableView, 0, time);
    desktopfit::fitHeaderToText(header);
    // Selected rows: the text colour that reads on the selection's blue.
    const QColor selection(0, 120, 215);
    ui->tableView->setStyleSheet(desktopfit::colourRule("selection-color", desktopfit::textColourOn(selection))
                                 + desktopfit::colourRule("selection-background-color", selection));
}

void winDebug::retranslate()
{
    actionStart->setText(tr("Start"));
    actionStop->setText(tr("Stop"));
    actionClear->setText(tr("Clear"));
    actionLight->setToolTip(lightConnected ? tr("Connected") : tr("disconnected"));
}

void winDebug::connectWorker()
{
    connect(worker, &CDebugWorker::updateFrame, this,
            [this](int index, QDateTime time, QString type, QString src, QString dst, QByteArray content, QString msg) {
                Command cmd;
                cmd.index = index;
                cmd.time = time;
                cmd.type = type;
                cmd.source = src;
                cmd.destination = dst;
                cmd.content = content;
                cmd.message = msg;
                doUpdateFrame(cmd);
            });
    connect(worker, &CDebugWorker::updateContentSize, this,
            [this](int size) { ui->label_2->setText(tr("Receive data: %1").arg(size)); });
    connect(worker, &CDebugWorker::updateErrSize, this, [this](int size, QString msg) {
        ui->err_frame->setText(tr("Err data: %1 type:%2").arg(QString::number(size), msg));
    });
    connect(worker, &CDebugWorker::updateFormatErrSize, this,
            [this](int size) { ui->err_format->setText(tr("Err format: %1").arg(size)); });
    connect(worker, &CDebugWorker::recordFailed, this, &winDebug::reportRecordFailure);
    connect(worker, &CDebugWorker::connected, this, [this]() {
        lightConnected = true;
        actionLight->setIcon(QIcon(QStringLiteral(":/system/light_green")));
        actionLight->setToolTip(tr("Connected"));
        // The device forgets the session on reconnection; a running link asks again.
        if (!actionStart->isEnabled())
            worker->sendStartDebugCmd();
    });
    connect(worker, &CDebugWorker::disconnected, this, [this]() {
        lightConnected = false;
        actionLight->setIcon(QIcon(QStringLiteral(":/system/light_red")));
        actionLight->setToolTip(tr("disconnected"));
    });
}

void winDebug::connectToHost(QString ip, int port)
{
    worker->connectToHost(ip, port);
}

void winDebug::doStart()
{
    if (!worker->isValid()) {
        QMessageBox::warning(this, tr("tips"),
                             tr("Connection failure, Please check whether the network is faulty or there is a "
                                "connection for message debugging of this device!"));
        return;
    }
    const auto answer = QMessageBox::question(this, tr("Save to file"),
                                              tr("Do you want to save data to the file named rs%1.txt?").arg(1),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    saveFlag = answer == QMessageBox::Yes;
    if (saveFlag) {
        // A program started from a menu may run in a folder the user cannot write: said at
        // once, and the session runs without the record.
        QFile probe(QStringLiteral("rs1.txt"));
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            saveFlag = false;
            reportRecordFailure(QFileInfo(probe).absoluteFilePath(), probe.errorString());
        }
    }
    worker->setRecordFile(saveFlag ? QStringLiteral("./rs%1.txt").arg(1) : QString());
    if (worker->start()) {
        enableAction(true);
        // The file lands in the working directory, which the user may not think of.
        if (saveFlag)
            StatusMessages::post(tr("Recording frames into %1").arg(QFileInfo(QStringLiteral("rs1.txt")).absoluteFilePath()));
    }
}

void winDebug::reportRecordFailure(const QString& path, const QString& reason)
{
    if (recordBox)
        return; // one box at a time
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Save to file"),
                                tr("The frames cannot be recorded in %1: %2.\nThe session goes on without the record; "
                                   "start the program in a folder you may write to keep one.")
                                    .arg(QDir::toNativeSeparators(path), reason),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    recordBox = box;
    box->open();
}

void winDebug::doStop()
{
    if (!worker)
        return;
    worker->stop();
    enableAction(false);
}

bool winDebug::doUpdateFrame(Command cmd)
{
    QMutexLocker locker(&mutex);
    // The save file is written by the worker's parser, so that frames the display
    // sheds under load still reach it.

    // Rules go in (and the least recently seen go out) in place: rebuilding the list for
    // every new value froze the window once devices reported thousands of sources, and
    // reset the user's choice each time.
    const struct {
        DebugRuleSet::Kind kind;
        QString text;
    } seen[] = {{DebugRuleSet::Type, tr("[TYPE]:%1").arg(cmd.type)},
                {DebugRuleSet::Source, tr("[SRC]:%1").arg(cmd.source)},
                {DebugRuleSet::Destination, tr("[DST]:%1").arg(cmd.destination)}};
    bool removed = false;
    for (const auto& s : seen) {
        const DebugRuleSet::Change change = rules.touch(s.kind, s.text);
        if (change.removedAt < 0 && change.addedAt < 0)
            continue;
        const QSignalBlocker blocker(ui->comboBox); // the chosen rules stay as they are
        if (change.removedAt >= 0) {
            ui->comboBox->removeItem(change.removedAt + 1); // + 1: "ALL" comes first
            removed = true;
        }
        if (change.addedAt >= 0)
            ui->comboBox->insertItem(change.addedAt + 1, s.text);
    }
    if (removed)
        showChosenRules(); // removing the current item makes the combo box show another

    int row = model->rowCount();
    if (row < MaxRows) {
        rowColourIndex = row % 2;
    } else {
        model->removeRow(0);
        rowColourIndex = rowColourIndex == 0 ? 1 : 0;
        row = model->rowCount();
    }
    const QBrush brush(rowColour(rowColourIndex));
    // The rows' own backgrounds need their own text colour on a dark palette.
    const QBrush text(desktopfit::textColourOn(rowColour(rowColourIndex)));
    QList<QStandardItem*> items;
    items << new QStandardItem(cmd.time.toString(timeFormat))
          << new QStandardItem(cmd.type) << new QStandardItem(cmd.source) << new QStandardItem(cmd.destination);
    auto* content = new QStandardItem(ByteArray2HexString(cmd.content));
    content->setData(cmd.message, Qt::UserRole);
    items << content;
    for (QStandardItem* item : qAsConst(items)) {
        item->setBackground(brush);
        item->setForeground(text);
    }
    model->appendRow(items);
    // The row labels travel with their rows, so only the new label is set.
    model->setVerticalHeaderItem(row, new QStandardItem(QString::number(cmd.index)));
    widenColumnToText(ui->tableView, 1, cmd.type);
    widenColumnToText(ui->tableView, 2, cmd.source);
    widenColumnToText(ui->tableView, 3, cmd.destination);

    if (!scrollTimer.isActive())
        scrollTimer.start();
    return true;
}

void winDebug::resetComboBox()
{
    QSignalBlocker blocker(ui->comboBox);
    ui->comboBox->clear();
    ui->comboBox->addItem(QStringLiteral("ALL"));
    blocker.unblock();
    doFilterRuleChanged(0);
}

void winDebug::resetFilterRules()
{
    resetComboBox();
    ui->comboBox->setItemData(0, 3, Qt::WhatsThisRole);
    ui->comboBox->setItemData(0, QString(), Qt::UserRole);
}

void winDebug::doFilterRuleChanged(int index)
{
    if (index < 0)
        return;
    findPosition = 0;
    const QString text = ui->comboBox->itemText(index);
    if (text == QLatin1String("ALL")) {
        proxy->ClearFtilterRules();
        proxy->setFilterRegularExpression(QString());
        selectRules.clear();
        rules.clearChosen();
    } else {
        if (selectRules.contains(text)) {
            selectRules.removeOne(text);
            proxy->RemoveFilterRule(text);
            rules.setChosen(text, false);
        } else {
            selectRules.append(text);
            proxy->AppendFilterRule(text);
            rules.setChosen(text, true);
        }
        proxy->setFilterRegularExpression(QRegularExpression(selectRules.join(QLatin1Char('|'))));
        // The rules changed while the expression may not have: filter again.
        proxy->invalidate();
    }
    showChosenRules();
}

void winDebug::showChosenRules()
{
    QLineEdit* edit = ui->comboBox->lineEdit();
    if (!edit)
        return;
    if (selectRules.isEmpty()) {
        edit->setText(QStringLiteral("ALL"));
        edit->setToolTip(QString());
        return;
    }
    const QString joined = selectRules.join(QLatin1Char('|'));
    edit->setText(edit->fontMetrics().elidedText(joined, Qt::ElideRight, edit->width()));
    edit->setToolTip(joined);
}

void winDebug::doFindNext()
{
    const QString target = ui->editFindContent->text();
    const int rows = proxy->rowCount();
    for (int r = findPosition; r < rows; ++r) {
        // Rows of the view, read through the filter, so a hit is the frame shown there.
        const QModelIndex cell = proxy->index(r, 4);
        if (cell.data().toString().contains(target) || cell.data(Qt::UserRole).toString().contains(target)) {
            ui->tableView->scrollTo(cell);
            ui->tableView->selectRow(r);
            findPosition = r + 1 >= rows ? 0 : r + 1;
            return;
        }
    }
    findPosition = 0;
}

void winDebug::doItemChanged(QModelIndex current, QModelIndex /*previous*/)
{
    if (!current.isValid())
        return;
    // The view's row is mapped through the filter to the frame the user selected.
    const QModelIndex cell = proxy->mapToSource(proxy->index(current.row(), 4));
    doClearRight();
    const QStringList entries = cell.data(Qt::UserRole).toStringList();
    if (entries.size() == 1) {
        ui->textEditData->setPlainText(cell.data().toString());
        ui->textEditFrame->setPlainText(entries.first());
    } else if (entries.size() > 1) {
        ui->textEditFrame->setPlainText(entries.last());
        ui->textEditData->setPlainText(entries.mid(0, entries.size() - 1).join(QStringLiteral("\r\n")));
    }
}

void winDebug::doDelFile()
{
}

void winDebug::doClearRight()
{
    ui->textEditData->clear();
    ui->textEditFrame->clear();
}

void winDebug::doClear()
{
    worker->clearHistory();
    ui->label_2->setText(tr("Receive data: %1").arg(0));
    ui->err_frame->setText(tr("Err data: %1").arg(0));
    ui->err_format->setText(tr("Err format: %1").arg(0));
    ui->tableView->scrollToTop();
    model->removeRows(0, model->rowCount());
    rules.clear();
    findPosition = 0;
    resetFilterRules();
    doClearRight();
}

void winDebug::closeEvent(QCloseEvent* event)
{
    doStop();
    doClear();
    event->accept();
}

void winDebug::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        createColumns();
        retranslate();
    }
    QMainWindow::changeEvent(event);
}
