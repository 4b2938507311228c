#include "RecvFindBar.h"

#include "RecvFind.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <climits>
#include <QToolButton>

RecvFindBar::RecvFindBar(QPlainTextEdit* view, std::function<bool()> isHexView, QWidget* parent)
    : QWidget(parent)
    , view(view)
    , isHexView(std::move(isHexView))
{
    setObjectName(QStringLiteral("find_bar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    findText = new QLineEdit(this);
    findText->setObjectName(QStringLiteral("find_text"));
    findText->setClearButtonEnabled(true);
    findText->installEventFilter(this);
    matchCase = new QCheckBox(this);
    matchCase->setObjectName(QStringLiteral("find_case"));
    auto* previous = new QToolButton(this);
    previous->setObjectName(QStringLiteral("find_previous"));
    previous->setArrowType(Qt::UpArrow);
    auto* next = new QToolButton(this);
    next->setObjectName(QStringLiteral("find_next"));
    next->setArrowType(Qt::DownArrow);
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("find_count"));
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("find_close"));
    closeButton->setText(QStringLiteral("\u00d7"));
    layout->addWidget(findText, 1);
    layout->addWidget(matchCase);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(countLabel);
    layout->addWidget(closeButton);
    retranslate();
    hide();

    sliceTimer = new QTimer(this);
    sliceTimer->setSingleShot(true);
    connect(sliceTimer, &QTimer::timeout, this, [this]() { scan(sliceMs); });
    connect(findText, &QLineEdit::textChanged, this, &RecvFindBar::search);
    connect(matchCase, &QCheckBox::toggled, this, &RecvFindBar::search);
    connect(previous, &QToolButton::clicked, this, [this]() { step(false); });
    connect(next, &QToolButton::clicked, this, [this]() { step(true); });
    connect(closeButton, &QToolButton::clicked, this, &RecvFindBar::close);
    // Lines keep arriving and scrolling out while the bar is open: the matches follow.
    connect(view->document(), &QTextDocument::contentsChange, this, &RecvFindBar::documentChanged);
}

void RecvFindBar::open()
{
    show();
    findText->setFocus();
    findText->selectAll();
    search();
}

void RecvFindBar::close()
{
    hide();
    sliceTimer->stop();
    needle.clear();
    found.clear();
    current = -1;
    currentGone = false;
    scanFrom = -1;
    view->setExtraSelections({});
    view->setFocus();
}

void RecvFindBar::search()
{
    // Typing on keeps the place: the first match at or after the one shown now.
    showFrom = (current >= 0 && current < found.size() && !currentGone) ? found.at(current) : 0;
    hex = isHexView();
    needle = RecvFind::needle(findText->text(), hex);
    found.clear();
    current = -1;
    currentGone = false;
    view->setExtraSelections({});
    scanFrom = needle.isEmpty() ? -1 : 0;
    freshSearch = true;
    sliceTimer->stop();
    if (scanFrom >= 0)
        scan(sliceMs); // a small view is searched at once
    else
        showCount();
}

void RecvFindBar::scan(int budgetMs)
{
    QElapsedTimer spent;
    spent.start();
    const int before = found.size();
    QTextDocument* doc = view->document();
    QTextBlock block = doc->findBlock(scanFrom);
    const bool caseSensitive = matchCase->isChecked();
    for (int n = 1; block.isValid(); ++n) {
        const int at = block.position();
        for (const int offset : RecvFind::findInLine(block.text(), needle, caseSensitive, hex))
            found.append(at + offset);
        block = block.next();
        if (n % 64 == 0 && spent.elapsed() >= budgetMs)
            break;
    }
    scanFrom = block.isValid() ? block.position() : -1;
    if (current < 0 && !found.isEmpty()) {
        // The first match at or after showFrom, as soon as it is found; else the first one.
        const int first = RecvFind::firstFrom(found, showFrom);
        if (found.at(first) >= showFrom || scanFrom < 0) {
            current = first;
            showCurrent(true);
        }
    } else if (scanFrom < 0 && current >= 0 && (freshSearch || found.size() != before)) {
        showCurrent(false); // the highlights, now that all is known
    }
    if (scanFrom < 0)
        freshSearch = false;
    if (scanFrom >= 0)
        sliceTimer->start(0);
    showCount();
}

void RecvFindBar::documentChanged(int position, int removed, int added)
{
    if (needle.isEmpty())
        return;
    // Matches before the change stay, those after it move, those it touched go.
    const int delta = added - removed;
    const int length = needle.size();
    QVector<int> kept;
    kept.reserve(found.size());
    int newCurrent = current >= 0 ? -1 : current;
    bool survived = false;
    for (int i = 0; i < found.size(); ++i) {
        const int m = found.at(i);
        const int moved = m + length <= position ? m : m >= position + removed ? m + delta : -1;
        if (i == current) {
            newCurrent = kept.size();
            survived = moved >= 0;
        }
        if (moved >= 0)
            kept.append(moved);
    }
    if (current >= found.size())
        newCurrent = kept.size(); // "after the last one", left by a match that went
    found = kept;
    current = newCurrent;
    if (current >= 0 && !survived)
        currentGone = true;
    if (scanFrom > position)
        scanFrom = scanFrom >= position + removed ? scanFrom + delta : position;
    // New or joined text is searched again from the start of its line.
    const QTextBlock block = view->document()->findBlock(position);
    const int lineStart = block.isValid() ? block.position() : position;
    if (added > 0 || lineStart != position) {
        while (!found.isEmpty() && found.constLast() >= lineStart) {
            if (current == found.size() - 1)
                currentGone = true; // its line is searched again
            found.removeLast();
        }
        if (current > found.size())
            current = found.size();
        scanFrom = scanFrom < 0 ? lineStart : qMin(scanFrom, lineStart);
        if (!sliceTimer->isActive())
            sliceTimer->start(0);
    }
}

void RecvFindBar::step(bool forward)
{
    if (scanFrom >= 0)
        scan(INT_MAX); // the rest first: every match can be reached
    const int count = found.size();
    if (count == 0) {
        current = -1;
    } else if (currentGone) {
        // The match shown scrolled out: the oldest one after it is next.
        current = forward ? current % count : (current + count - 1) % count;
    } else {
        current = RecvFind::step(current, count, forward);
    }
    currentGone = false;
    showCurrent(true);
    showCount();
}

void RecvFindBar::showCurrent(bool moveView)
{
    QTextDocument* doc = view->document();
    const int length = needle.size();
    const auto cursorAt = [doc, length](int at) {
        QTextCursor c(doc);
        c.setPosition(at);
        c.setPosition(at + length, QTextCursor::KeepAnchor);
        return c;
    };
    QList<QTextEdit::ExtraSelection> selections;
    if (current >= 0 && current < found.size()) {
        QTextCharFormat all;
        all.setBackground(QColor(255, 235, 120));
        all.setForeground(QColor(0, 0, 0));
        QTextCharFormat now = all;
        now.setBackground(QColor(255, 150, 50));
        // Those around the match shown; all once the search has ended.
        const int from = scanFrom >= 0 ? current : qMax(0, current - maxHighlights / 2);
        const int to = scanFrom >= 0 ? current + 1 : qMin(found.size(), from + maxHighlights);
        selections.reserve(to - from);
        for (int i = from; i < to; ++i)
            selections.append({cursorAt(found.at(i)), i == current && !currentGone ? now : all});
        // The view's cursor goes to the match (and scrolls to it); new data do not move
        // it while the bar is open.
        if (moveView)
            view->setTextCursor(cursorAt(found.at(current)));
    }
    view->setExtraSelections(selections);
}

void RecvFindBar::showCount()
{
    if (findText->text().isEmpty())
        countLabel->clear();
    else if (scanFrom >= 0 && current < 0)
        countLabel->setText(tr("Searching..."));
    else if (found.isEmpty())
        countLabel->setText(tr("No matches"));
    else
        countLabel->setText(tr("%1 of %2").arg(qBound(0, current, found.size() - 1) + 1).arg(found.size()));
}

bool RecvFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == findText && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void RecvFindBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void RecvFindBar::retranslate()
{
    findText->setPlaceholderText(tr("Find (hex bytes in a hex view)"));
    matchCase->setText(tr("Match Case"));
    findChild<QToolButton*>(QStringLiteral("find_previous"))->setToolTip(tr("Previous (Shift+Enter)"));
    findChild<QToolButton*>(QStringLiteral("find_next"))->setToolTip(tr("Next (Enter)"));
    findChild<QToolButton*>(QStringLiteral("find_close"))->setToolTip(tr("Close (Escape)"));
    showCount();
}
