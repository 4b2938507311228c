#include "RecvFindBar.h"

#include "RecvFind.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
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

    connect(findText, &QLineEdit::textChanged, this, &RecvFindBar::search);
    connect(matchCase, &QCheckBox::toggled, this, &RecvFindBar::search);
    connect(previous, &QToolButton::clicked, this, [this]() { step(false); });
    connect(next, &QToolButton::clicked, this, [this]() { step(true); });
    connect(closeButton, &QToolButton::clicked, this, &RecvFindBar::close);
    // Lines keep arriving while the bar is open: the next step counts again.
    connect(view->document(), &QTextDocument::contentsChanged, this, [this]() { stale = true; });
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
    matches.clear();
    total = 0;
    current = -1;
    view->setExtraSelections({});
    view->setFocus();
}

void RecvFindBar::search()
{
    stale = false;
    // Where to continue from: the match shown now (its cursor followed the edits), else the top.
    const int from = (current >= 0 && current < matches.size()) ? matches.at(current).selectionStart() : 0;
    matches.clear();
    current = -1;
    const bool hex = isHexView();
    const QString needle = RecvFind::needle(findText->text(), hex);
    const QVector<int> found = RecvFind::findAll(view->toPlainText(), needle, matchCase->isChecked(), hex);
    total = found.size();
    // The newest matches are the ones highlighted when there are too many.
    const int first = qMax(0, found.size() - maxHighlights);
    QTextDocument* doc = view->document();
    matches.reserve(found.size() - first);
    for (int i = first; i < found.size(); ++i) {
        QTextCursor c(doc);
        c.setPosition(found.at(i));
        c.setPosition(found.at(i) + needle.size(), QTextCursor::KeepAnchor);
        matches.append(c);
    }
    current = RecvFind::firstFrom(found.mid(first), from);
    showCurrent();
}

void RecvFindBar::step(bool forward)
{
    if (stale) {
        // Count afresh, then move on from the match shown before.
        const int before = current;
        search();
        if (before < 0 || current < 0)
            return;
    }
    current = RecvFind::step(current, matches.size(), forward);
    showCurrent();
}

void RecvFindBar::showCurrent()
{
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(matches.size());
    QTextCharFormat all;
    all.setBackground(QColor(255, 235, 120));
    all.setForeground(QColor(Qt::black)); // the view's text may be light on a dark palette
    QTextCharFormat now;
    now.setBackground(QColor(255, 150, 50));
    now.setForeground(QColor(Qt::black));
    for (int i = 0; i < matches.size(); ++i)
        selections.append({matches.at(i), i == current ? now : all});
    view->setExtraSelections(selections);
    // The view's cursor goes to the match (and scrolls to it); new data do not move it
    // while the bar is open.
    if (current >= 0)
        view->setTextCursor(matches.at(current));
    const int shownIndex = current < 0 ? 0 : total - matches.size() + current + 1;
    if (findText->text().isEmpty())
        countLabel->clear();
    else if (total == 0)
        countLabel->setText(tr("No matches"));
    else
        countLabel->setText(tr("%1 of %2").arg(shownIndex).arg(total));
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
    if (total == 0 && !findText->text().isEmpty())
        countLabel->setText(tr("No matches"));
}
