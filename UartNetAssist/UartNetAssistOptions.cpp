// The assistant panel's optional features, all off by default: receive view preferences
// (millisecond stamps, visible control bytes, hex with a text column, scrollback) set
// from the view's context menu, the find bar, the send history and the frame checksum.
// Preferences and history are shared by every panel and live in config/assist.ini.

#include "UartNetAssist.h"
#include "assistlog.h"
#include "ui_UartNetAssist.h"

#include "AssistPrefs.h"
#include "FrameChecksum.h"
#include "RecvFindBar.h"
#include "commonhelpers.h"

#include <QActionGroup>
#include <QDateTime>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

// One line of a payload for the history drop-down; the whole payload is the tooltip.
QString historyLabel(const QString& payload)
{
    QString line = payload;
    line.replace(QLatin1Char('\n'), QChar(0x21b5));
    return line.size() > 40 ? line.left(39) + QChar(0x2026) : line;
}

void storeViewPrefs(const AssistViewPrefs& prefs, const std::function<void(QString)>& fail)
{
    if (!AssistShared::instance().setView(prefs))
        fail(AssistShared::instance().errorText);
}

} // namespace

void UartNetAssist::setupOptions()
{
    AssistShared& shared = AssistShared::instance(); // read from the file in the constructor

    ui->recv_text->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->recv_text, &QWidget::customContextMenuRequested, this, &UartNetAssist::showRecvContextMenu);
    connect(&shared, &AssistShared::viewChanged, this, &UartNetAssist::applyViewPrefs);
    applyViewPrefs();

    findBar = new RecvFindBar(ui->recv_text, [this]() { return showHex; }, ui->groupBox_5);
    if (auto* box = qobject_cast<QBoxLayout*>(ui->groupBox_5->layout()))
        box->insertWidget(box->indexOf(ui->recv_text) + 1, findBar);
    auto* find = new QShortcut(QKeySequence::Find, ui->recv_text, nullptr, nullptr, Qt::WidgetShortcut);
    connect(find, &QShortcut::activated, findBar, &RecvFindBar::open);

    ui->checksum_type->setCurrentIndex(shared.checksum());
    connect(ui->checksum_type, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        AssistShared& shared = AssistShared::instance();
        if (index >= 0 && index != shared.checksum() && !shared.setChecksum(index))
            showNotice(QMessageBox::Warning, tr("tips"), shared.errorText);
    });
    connect(&shared, &AssistShared::checksumChanged, ui->checksum_type, &QComboBox::setCurrentIndex);

    fillHistoryCombo();
    connect(&shared, &AssistShared::historyAdded, this, &UartNetAssist::onHistoryAdded);
    connect(&shared, &AssistShared::historyReloaded, this, &UartNetAssist::fillHistoryCombo);
    connect(ui->send_history, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        const QString payload = ui->send_history->itemData(index).toString();
        ui->send_history->setCurrentIndex(-1);
        if (!ui->send_text->isEnabled()) // periodic or file sending runs
            return;
        ui->send_text->setPlainText(payload);
        historyRecall.reset();
        ui->send_text->setFocus();
    });
    ui->send_text->installEventFilter(this);
}

void UartNetAssist::applyViewPrefs()
{
    const AssistViewPrefs& prefs = AssistShared::instance().view();
    viewMaxBlocks = prefs.scrollback;
    viewMaxChars = prefs.maxChars();
    ui->recv_text->setMaximumBlockCount(viewMaxBlocks);
}

RecvViewFormat::Options UartNetAssist::viewOptions() const
{
    const AssistViewPrefs& prefs = AssistShared::instance().view();
    RecvViewFormat::Options options;
    options.stamps = ui->show_rcv_time->isChecked();
    options.msStamps = prefs.msStamps;
    options.hex = showHex;
    options.hexTextColumn = prefs.hexTextColumn;
    options.escapes = prefs.showEscapes;
    options.lineFeed = wrapLines;
    return options;
}

bool UartNetAssist::recvViewAtLineStart() const
{
    if (!pendingView.isEmpty())
        return pendingView.endsWith(QLatin1Char('\n'));
    if (pendingReplacesView)
        return true;
    return ui->recv_text->document()->lastBlock().length() <= 1;
}

bool UartNetAssist::usesDisplayQueue() const
{
    return viewMaxChars > recvViewMaxChars || !displayQueue.empty();
}

void UartNetAssist::queueReceived(const QString& header, const QByteArray& data)
{
    if (!header.isEmpty()) {
        DisplayJob line;
        line.isText = true;
        line.text = header;
        line.minChars = header.size();
        queueForDisplay(line);
    }
    DisplayJob chunk;
    chunk.data = data;
    queueForDisplay(chunk);
}

void UartNetAssist::queueForDisplay(DisplayJob job)
{
    if (!job.isText) {
        const RecvViewFormat::Options options = viewOptions();
        if (options.stamps)
            job.stamp = RecvViewFormat::stamp(QDateTime::currentDateTime(), options.msStamps);
        RecvViewFormat::lowerBounds(job.data, options, job.minChars, job.minBreaks);
    }
    queuedChars += job.minChars;
    queuedBreaks += job.minBreaks;
    displayQueue.push_back(std::move(job));
    // When what follows the oldest chunk fills the view by itself, the oldest chunk, the
    // text waiting and the view's text would all scroll out: dropped without formatting.
    while (displayQueue.size() > 1) {
        const DisplayJob& front = displayQueue.front();
        if (queuedChars - front.minChars <= viewMaxChars && queuedBreaks - front.minBreaks < viewMaxBlocks)
            break;
        queuedChars -= front.minChars;
        queuedBreaks -= front.minBreaks;
        // Long lines fold as if the chunk had been shown.
        if (front.isText)
            foldColumn = RecvViewFormat::endColumn(front.text.toUtf8(), 0, RecvViewFormat::Options(), 0,
                                                   recvViewFoldChars);
        else
            foldColumn = RecvViewFormat::endColumn(front.data, front.done, viewOptions(), foldColumn,
                                                   recvViewFoldChars);
        displayQueue.pop_front();
        pendingView.clear();
        pendingBreaks = 0;
        pendingReplacesView = true;
    }
    if (!recvViewTimer.isActive())
        recvViewTimer.start();
}

void UartNetAssist::clearDisplayQueue()
{
    displayQueue.clear();
    queuedChars = 0;
    queuedBreaks = 0;
    foldColumn = 0;
}

void UartNetAssist::formatQueuedPieces(const QElapsedTimer& spent, int budgetMs)
{
    // Bytes formatted in one step, and the pending text beyond which the view must first
    // catch up (so that it never has to be cut, which costs a pass over all of it).
    constexpr int kPieceBytes = 16384;
    constexpr int kPendingLimit = 1 << 20;
    bool first = true;
    while (!displayQueue.empty() && pendingView.size() < kPendingLimit && (first || spent.elapsed() < budgetMs)) {
        first = false;
        DisplayJob& job = displayQueue.front();
        bool finished = true;
        if (job.isText) {
            foldColumn = 0; // a paragraph of its own
            QString line = job.text;
            RecvViewFormat::foldLongLines(line, foldColumn, recvViewFoldChars);
            appendToRecvView(line, true);
        } else {
            const RecvViewFormat::Options options = viewOptions();
            if (job.done == 0)
                job.atLineStart = recvViewAtLineStart();
            const int end = RecvViewFormat::pieceEnd(job.data, job.done, kPieceBytes, options);
            QString piece = RecvViewFormat::formatPiece(job.data, job.done, end, options, job.stamp, job.atLineStart);
            RecvViewFormat::foldLongLines(piece, foldColumn, recvViewFoldChars);
            appendToRecvView(piece, false);
            job.done = end;
            finished = end == job.data.size();
        }
        if (finished) {
            queuedChars -= job.minChars;
            queuedBreaks -= job.minBreaks;
            displayQueue.pop_front();
        }
    }
}

void UartNetAssist::showRecvContextMenu(const QPoint& pos)
{
    QMenu* menu = ui->recv_text->createStandardContextMenu();
    menu->setObjectName(QStringLiteral("recv_menu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    const AssistViewPrefs current = AssistShared::instance().view();
    const auto fail = [this](const QString& text) { showNotice(QMessageBox::Warning, tr("tips"), text); };

    const auto addToggle = [&](const char* name, const QString& text, bool AssistViewPrefs::*field) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        action->setChecked(current.*field);
        connect(action, &QAction::toggled, this, [this, field, fail](bool on) {
            AssistViewPrefs prefs = AssistShared::instance().view();
            prefs.*field = on;
            storeViewPrefs(prefs, fail);
        });
    };
    addToggle("action_ms_stamps", tr("Millisecond Time Stamps"), &AssistViewPrefs::msStamps);
    addToggle("action_show_escapes", tr("Show Control Bytes"), &AssistViewPrefs::showEscapes);
    addToggle("action_hex_text_column", tr("Hex With Text Column"), &AssistViewPrefs::hexTextColumn);

    QMenu* lines = menu->addMenu(tr("Scrollback"));
    lines->setObjectName(QStringLiteral("menu_scrollback"));
    QList<int> choices{AssistViewPrefs::defaultScrollback, 1000, 10000, AssistViewPrefs::maxScrollback};
    if (!choices.contains(current.scrollback)) {
        choices.append(current.scrollback); // a value set in the file by hand
        std::sort(choices.begin(), choices.end());
    }
    auto* group = new QActionGroup(lines);
    for (const int n : choices) {
        QAction* action = lines->addAction(tr("%1 lines").arg(n));
        action->setObjectName(QStringLiteral("action_scrollback_%1").arg(n));
        action->setCheckable(true);
        action->setChecked(n == current.scrollback);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, n, fail]() {
            AssistViewPrefs prefs = AssistShared::instance().view();
            prefs.scrollback = n;
            storeViewPrefs(prefs, fail);
        });
    }
    menu->addSeparator();
    QAction* find = menu->addAction(tr("Find..."));
    find->setObjectName(QStringLiteral("action_find"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, findBar, &RecvFindBar::open);
    menu->popup(ui->recv_text->viewport()->mapToGlobal(pos));
}

QByteArray UartNetAssist::withChecksum(const QByteArray& frame) const
{
    return FrameChecksum::appended(FrameChecksum::typeFromIndex(ui->checksum_type->currentIndex()), frame);
}

void UartNetAssist::rememberSent(const QString& payload)
{
    // Only what really went out (a hex box without hex digits sends nothing).
    const QByteArray frame = ui->send_in_hex->isChecked() ? HexString2ByteArray(payload, QLatin1Char(' '))
                                                          : payload.toLocal8Bit();
    if (frame.isEmpty())
        return;
    historyRecall.reset();
    // Like the address history, a history that cannot be stored is only kept in memory.
    if (!AssistShared::instance().addToHistory(payload))
        qCDebug(lcAssist) << "send history not stored:" << AssistShared::instance().errorText;
}

void UartNetAssist::fillHistoryCombo()
{
    ui->send_history->clear();
    for (const QString& payload : AssistShared::instance().history().entries()) {
        ui->send_history->addItem(historyLabel(payload), payload);
        ui->send_history->setItemData(ui->send_history->count() - 1, payload, Qt::ToolTipRole);
    }
    ui->send_history->setCurrentIndex(-1);
}

void UartNetAssist::onHistoryAdded(const QString& payload, int previousIndex)
{
    // In place: the list is capped and only its front changes.
    QComboBox* combo = ui->send_history;
    if (previousIndex >= 0 && previousIndex < combo->count())
        combo->removeItem(previousIndex);
    combo->insertItem(0, historyLabel(payload), payload);
    combo->setItemData(0, payload, Qt::ToolTipRole);
    while (combo->count() > SendHistory::capacity)
        combo->removeItem(combo->count() - 1);
    combo->setCurrentIndex(-1);
}

bool UartNetAssist::eventFilter(QObject* watched, QEvent* event)
{
    if (ui && watched == ui->send_text && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            const QStringList& entries = AssistShared::instance().history().entries();
            QString text;
            const bool moved = key->key() == Qt::Key_Up
                ? historyRecall.older(entries, ui->send_text->toPlainText(), text)
                : historyRecall.newer(entries, text);
            if (moved) {
                ui->send_text->setPlainText(text);
                ui->send_text->moveCursor(QTextCursor::End);
            }
            return true;
        }
        if (!key->text().isEmpty())
            historyRecall.reset(); // typing ends the walk
    }
    return QWidget::eventFilter(watched, event);
}
