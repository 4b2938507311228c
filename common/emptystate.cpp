#include "emptystate.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The view while it is still a whole item view: its model emits signals from the
// QWidget part of its destructor, when the view's own parts are gone already (and its
// dynamic type is QWidget again, which qobject_cast sees).
QAbstractItemView* liveView(const QPointer<QAbstractItemView>& view)
{
    return qobject_cast<QAbstractItemView*>(static_cast<QObject*>(view.data()));
}

} // namespace

EmptyStateHint::EmptyStateHint(QAbstractItemView* view, const char* context, const char* sourceText, QAction* action)
    : QObject(view)
    , itemView(view)
    , newAction(action)
    , context(context)
    , sourceText(sourceText)
{
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    // Shown beside the action in menus; the key itself is handled on the view below,
    // so the action only takes it while one of its own menus has the focus.
    if (action && action->shortcuts().isEmpty()) {
        action->setShortcut(QKeySequence(Qt::Key_Insert));
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    watchModel();
    lastEmpty = isEmpty();
}

EmptyStateHint* EmptyStateHint::of(const QWidget* view)
{
    return view ? view->findChild<EmptyStateHint*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QString EmptyStateHint::text() const
{
    return QCoreApplication::translate(context, sourceText);
}

void EmptyStateHint::setContentWidget(QWidget* widget)
{
    if (content)
        content->removeEventFilter(this);
    content = widget;
    if (content)
        content->installEventFilter(this);
    modelChanged();
}

bool EmptyStateHint::isEmpty() const
{
    QAbstractItemView* view = liveView(itemView);
    if (!view || (view->model() && view->model()->rowCount(view->rootIndex()) > 0))
        return false;
    return !content || content->isHidden();
}

void EmptyStateHint::watchModel()
{
    QAbstractItemModel* model = itemView->model();
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsInserted, this, &EmptyStateHint::modelChanged, Qt::UniqueConnection);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &EmptyStateHint::modelChanged, Qt::UniqueConnection);
    connect(model, &QAbstractItemModel::modelReset, this, &EmptyStateHint::modelChanged, Qt::UniqueConnection);
    connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyStateHint::modelChanged, Qt::UniqueConnection);
}

void EmptyStateHint::modelChanged()
{
    QAbstractItemView* view = liveView(itemView);
    if (!view)
        return;
    view->viewport()->update();
    const bool empty = isEmpty();
    if (empty != lastEmpty) {
        lastEmpty = empty;
        emit emptyChanged(empty);
    }
}

void EmptyStateHint::triggerNew()
{
    if (!newAction || !newAction->isEnabled())
        return;
    // A choice of several kinds of node is offered as the right-click would.
    if (QMenu* menu = newAction->menu()) {
        QWidget* viewport = itemView->viewport();
        menu->popup(viewport->mapToGlobal(viewport->rect().center()));
        return;
    }
    // Queued: the action may open a modal dialog, which should not run inside the
    // view's own input event.
    QMetaObject::invokeMethod(newAction.data(), &QAction::trigger, Qt::QueuedConnection);
}

bool EmptyStateHint::eventFilter(QObject* watched, QEvent* event)
{
    if (!liveView(itemView))
        return false;
    if (watched == content) {
        switch (event->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            modelChanged();
            break;
        default:
            break;
        }
        return false;
    }
    if (watched == itemView) {
        if (event->type() == QEvent::KeyPress && newAction) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
                triggerNew();
                return true;
            }
        }
        return false;
    }
    if (watched == itemView->viewport()) {
        switch (event->type()) {
        case QEvent::Paint:
            // The background is already filled and an empty view draws nothing over it.
            if (itemView->model() && itemView->model()->rowCount(itemView->rootIndex()) == 0)
                paintHint();
            break;
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (newAction && mouse->button() == Qt::LeftButton && !itemView->indexAt(mouse->pos()).isValid()) {
                triggerNew();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return false;
}

void EmptyStateHint::paintHint()
{
    QWidget* viewport = itemView->viewport();
    QPainter painter(viewport);
    QColor colour = viewport->palette().color(QPalette::PlaceholderText);
    if (!colour.isValid() || colour == viewport->palette().color(QPalette::Base))
        colour = viewport->palette().color(QPalette::Mid);
    painter.setPen(colour);
    const int margin = qMax(8, viewport->fontMetrics().averageCharWidth() * 2);
    painter.drawText(viewport->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextWordWrap, text());
}

EmptyStatePanel::EmptyStatePanel(EmptyStateHint* hint, QWidget* host)
    : QWidget(host)
    , stateHint(hint)
    , label(new QLabel(this))
    , newButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("emptyStatePanel"));
    setAutoFillBackground(true);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont big = label->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    label->setFont(big);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(label);
    layout->addSpacing(label->fontMetrics().height());
    layout->addWidget(newButton, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    if (QWidget* note = hint->makeNote(this))
        layout->insertWidget(0, note);

    if (QAction* action = hint->action()) {
        if (action->menu())
            newButton->setMenu(action->menu());
        else
            connect(newButton, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, this, &EmptyStatePanel::retranslate);
    } else {
        newButton->hide();
    }
    connect(hint, &EmptyStateHint::emptyChanged, this, &EmptyStatePanel::refresh);
    host->installEventFilter(this);
    retranslate();
    hide();
}

void EmptyStatePanel::setActive(bool on)
{
    active = on;
    refresh();
}

void EmptyStatePanel::refresh()
{
    const bool show = active && stateHint && stateHint->isEmpty();
    if (show) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    setVisible(show);
}

void EmptyStatePanel::retranslate()
{
    if (!stateHint)
        return;
    label->setText(stateHint->text());
    if (QAction* action = stateHint->action()) {
        newButton->setText(action->text());
        newButton->setIcon(action->icon());
        newButton->setEnabled(action->isEnabled());
    }
}

bool EmptyStatePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void EmptyStatePanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
