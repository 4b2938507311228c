#include "plugUartNetManager.h"

#include "emptystate.h"

#include <QAction>
#include <QDropEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace {
// Marks a node that still shows the default text, so a language change can redo it.
constexpr int untitledRole = Qt::UserRole + 1;
} // namespace

plugUartNetManager::plugUartNetManager(QWidget* parent)
    : QTreeWidget(parent)
{
    initialize();
    initActions();
    new EmptyStateHint(this, "plugUartNetManager",
                       QT_TRANSLATE_NOOP("plugUartNetManager", "Right-click or press Insert to add a debugging assistant"),
                       newAction.data());
}

// The shared pointers delete the actions before QObject's child clean-up, which then
// no longer finds them among the children.
plugUartNetManager::~plugUartNetManager() = default;

void plugUartNetManager::initialize()
{
    setColumnCount(1);
    setHeaderHidden(true);
    setDragEnabled(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void plugUartNetManager::initActions()
{
    auto make = [this](const char* icon) {
        return QSharedPointer<QAction>(new QAction(QIcon(QString::fromLatin1(icon)), QString(), this));
    };
    newAction = make(":/AssTool/NewTool");
    saveAction = make(":/AssTool/Save");
    loadAction = make(":/AssTool/Load");
    copyAction = make(":/system/Copy");
    pasteAction = make(":/system/Paste");
    deleteAction = make(":/AssTool/Delete");
    openAction = make(":/system/start");
    closeAction = make(":/system/stop");
    sendAction = make(":/AssTool/Send");
    autoReplyAction = make(":/AssTool/AutoReply");
    autoAdditionAction = make(":/AssTool/AutoAddition");
    clearReceiveAction = make(":/AssTool/Clear");
    resetCountAction = make(":/AssTool/Reset");

    copyAction->setShortcut(QKeySequence::Copy);
    pasteAction->setShortcut(QKeySequence::Paste);
    deleteAction->setShortcut(QKeySequence::Delete);
    retranslateActions();
    // Open, Close and Send act on the selected panels: with none they cannot act.
    auto enableControls = [this]() {
        const bool any = !selectedItems().isEmpty();
        for (QAction* a : {openAction.data(), closeAction.data(), sendAction.data()})
            a->setEnabled(any);
    };
    connect(this, &QTreeWidget::itemSelectionChanged, this, enableControls);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, enableControls);
    enableControls();

    connect(newAction.data(), &QAction::triggered, this, [this] { emit newAssist(); });
    connect(saveAction.data(), &QAction::triggered, this, [this] {
        QVector<int> idxs = treeOrder();
        emit saveConnections(idxs);
    });
    connect(loadAction.data(), &QAction::triggered, this, [this] { emit loadConnections(); });
    connect(copyAction.data(), &QAction::triggered, this, [this] {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        if (selected.isEmpty())
            return;
        copiedIndexes.clear();
        for (QTreeWidgetItem* item : selected)
            copiedIndexes.append(nodeIndex(item));
        emit copyToolConfig(copiedIndexes);
    });
    connect(pasteAction.data(), &QAction::triggered, this, [this] { emit pasteToolConfig(); });

    const QList<QPair<QAction*, ACTIONTYPE>> controls = {
        {deleteAction.data(), ACT_DELETE},
        {openAction.data(), ACT_OPEN},
        {closeAction.data(), ACT_CLOSE},
        {sendAction.data(), ACT_SEND},
        {autoReplyAction.data(), ACT_AUTO_REPLY},
        {autoAdditionAction.data(), ACT_AUTO_ADDITION},
        {clearReceiveAction.data(), ACT_CLEAR_RECEIVE},
        {resetCountAction.data(), ACT_RESET_COUNT},
    };
    for (const auto& c : controls) {
        const ACTIONTYPE type = c.second;
        connect(c.first, &QAction::triggered, this, [this, type] { doActionTriggered(type); });
    }
}

void plugUartNetManager::retranslateActions()
{
    newAction->setText(tr("New Debugging Assistant"));
    saveAction->setText(tr("Save Debugging Config"));
    loadAction->setText(tr("Load Debugging Config"));
    copyAction->setText(tr("Copy"));
    pasteAction->setText(tr("Paste"));
    deleteAction->setText(tr("Delete"));
    openAction->setText(tr("Open"));
    closeAction->setText(tr("Close"));
    sendAction->setText(tr("Send"));
    autoReplyAction->setText(tr("AutoReply"));
    autoAdditionAction->setText(tr("AutoAddition"));
    clearReceiveAction->setText(tr("ClearReceive"));
    resetCountAction->setText(tr("ResetCount"));
}

QList<QAction*> plugUartNetManager::toolBarActions() const
{
    return {newAction.data(), openAction.data(), closeAction.data(), sendAction.data(), saveAction.data(),
            loadAction.data()};
}

QString plugUartNetManager::defaultNodeText()
{
    return tr("Assist Tool %1").arg(QString());
}

int plugUartNetManager::nodeIndex(const QTreeWidgetItem* item)
{
    if (!item)
        return -1;
    bool ok = false;
    const int idx = item->data(0, Qt::WhatsThisRole).toInt(&ok);
    return ok ? idx : -1;
}

QVector<int> plugUartNetManager::treeOrder() const
{
    QVector<int> idxs;
    for (int i = 0; i < topLevelItemCount(); ++i)
        idxs.append(nodeIndex(topLevelItem(i)));
    return idxs;
}

void plugUartNetManager::newNode(int idx)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, defaultNodeText());
    item->setData(0, untitledRole, true);
    item->setData(0, Qt::WhatsThisRole, idx);
    item->setIcon(0, QIcon(QStringLiteral(":/AssTool/Tool")));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEnabled);
    addTopLevelItem(item);
    nodes.insert(idx, item);
}

void plugUartNetManager::renameNode(int idx, QString name, bool isOn)
{
    QTreeWidgetItem* item = nodes.value(idx, nullptr);
    if (!item)
        return;
    if (name.isEmpty()) {
        item->setText(0, defaultNodeText());
        item->setData(0, untitledRole, true);
        return;
    }
    item->setText(0, name);
    item->setData(0, untitledRole, false);
    item->setIcon(0, QIcon(isOn ? QStringLiteral(":/AssTool/StatusOn") : QStringLiteral(":/AssTool/StatusOff")));
}

void plugUartNetManager::removeNode(int idx)
{
    QTreeWidgetItem* item = nodes.take(idx);
    if (item)
        removeTreeWidgetItem(item);
}

void plugUartNetManager::removeTreeWidgetItem(QTreeWidgetItem* item)
{
    if (!item)
        return;
    // Deleting an item takes its children with it and detaches it from its parent or the tree.
    delete item;
}

void plugUartNetManager::doActionTriggered(ACTIONTYPE type)
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    const int n = selected.size();
    const int count = topLevelItemCount();
    const int i = indexOfTopLevelItem(selected.last());
    int b = 0;
    if (i >= 0)
        b = i < count - 1 ? i + 1 : count - 1;
    const int target = b - n;

    // Deleting removes the nodes on the way, so take the numbers first.
    QList<int> idxs;
    for (QTreeWidgetItem* item : selected)
        idxs.append(nodeIndex(item));
    for (int idx : idxs)
        emit actionTrigger(type, idx);

    if (target >= 0) {
        if (QTreeWidgetItem* item = topLevelItem(target)) {
            item->setSelected(true);
            emit switchAssist(nodeIndex(item));
        }
    }
}

void plugUartNetManager::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    QTreeWidgetItem* item = itemAt(event->pos());
    if (event->button() == Qt::RightButton) {
        if (item) {
            if (!item->isSelected() || item->parent())
                return;
            QMenu menu(this);
            menu.addAction(copyAction.data());
            menu.addAction(deleteAction.data());
            menu.addAction(openAction.data());
            menu.addAction(closeAction.data());
            menu.addAction(sendAction.data());
            menu.addAction(autoReplyAction.data());
            menu.addAction(autoAdditionAction.data());
            menu.addAction(clearReceiveAction.data());
            menu.addAction(resetCountAction.data());
            menu.exec(event->globalPos());
        } else {
            QMenu menu(this);
            if (!copiedIndexes.isEmpty())
                menu.addAction(pasteAction.data());
            menu.addAction(newAction.data());
            saveAction->setEnabled(topLevelItemCount() > 0);
            menu.addAction(saveAction.data());
            menu.addAction(loadAction.data());
            menu.exec(event->globalPos());
        }
    } else if (event->button() == Qt::LeftButton && item && item->isSelected() && !item->parent()) {
        const int idx = nodeIndex(item);
        if (idx != -1)
            emit switchAssist(idx);
    }
}

void plugUartNetManager::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) && !selectedItems().isEmpty())
        copyAction->trigger();
    else if (event->matches(QKeySequence::Paste) && !copiedIndexes.isEmpty())
        pasteAction->trigger();
    else if (event->matches(QKeySequence::Delete) && !selectedItems().isEmpty())
        deleteAction->trigger();
    QTreeWidget::keyPressEvent(event);
}

void plugUartNetManager::dropEvent(QDropEvent* event)
{
    if ((event->source() && event->source() != this) || !dropNodes(event->pos())) {
        event->ignore();
        return;
    }
    // Accepted as a copy, so that the dragging view does not remove the moved rows.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

// Done here rather than by the view's own move so that the nodes stay the same
// objects (the node map keeps pointing at them).
bool plugUartNetManager::dropNodes(const QPoint& pos)
{
    QTreeWidgetItem* target = itemAt(pos);
    if (!target)
        return false;
    while (target->parent())
        target = target->parent();

    QList<QTreeWidgetItem*> moving;
    for (QTreeWidgetItem* item : selectedItems()) {
        if (!item->parent())
            moving.append(item);
    }
    std::sort(moving.begin(), moving.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return indexOfTopLevelItem(a) < indexOfTopLevelItem(b);
    });
    if (moving.isEmpty() || moving.contains(target))
        return false;
    const bool below = pos.y() >= visualItemRect(target).center().y();
    for (QTreeWidgetItem* item : moving)
        takeTopLevelItem(indexOfTopLevelItem(item));
    int at = indexOfTopLevelItem(target) + (below ? 1 : 0);
    for (QTreeWidgetItem* item : moving)
        insertTopLevelItem(at++, item);
    for (QTreeWidgetItem* item : moving)
        item->setSelected(true);
    return true;
}

void plugUartNetManager::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retranslateActions();
        // After a language change New carries its short name.
        newAction->setText(tr("New Assist"));
        const QString text = defaultNodeText();
        for (int i = 0; i < topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = topLevelItem(i);
            if (item->data(0, untitledRole).toBool())
                item->setText(0, text);
        }
    }
    QTreeWidget::changeEvent(event);
}
