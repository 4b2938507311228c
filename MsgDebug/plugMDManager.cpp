#include "plugMDManager.h"

#include "emptystate.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>

plugMDManager::plugMDManager(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    actionNew = new QAction(QIcon(QStringLiteral(":/AssTool/NewTool")), QString(), this);
    actionDelete = new QAction(QIcon(QStringLiteral(":/system/delete")), QString(), this);
    actionNew->setObjectName(QStringLiteral("actionNew"));
    actionDelete->setObjectName(QStringLiteral("actionDelete"));
    connect(actionNew, &QAction::triggered, this, &plugMDManager::newAssist);
    connect(actionDelete, &QAction::triggered, this, [this]() {
        QTreeWidgetItem* item = currentItem();
        if (item)
            emit deleteAssist(item->data(0, Qt::WhatsThisRole).toInt());
    });
    retranslate();
    new EmptyStateHint(this, "plugMDManager",
                       QT_TRANSLATE_NOOP("plugMDManager", "Right-click or press Insert to add a debug session"),
                       actionNew);
}

void plugMDManager::retranslate()
{
    actionNew->setText(tr("New MsgDebugging"));
    actionDelete->setText(tr("Delete"));
}

bool plugMDManager::newNode(QString name, int idx)
{
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, name);
    item->setIcon(0, QIcon(QStringLiteral(":/system/MsgDebug")));
    item->setData(0, Qt::WhatsThisRole, idx);
    items.insert(idx, item);
    return true;
}

void plugMDManager::removeNode(int idx)
{
    auto it = items.find(idx);
    if (it == items.end())
        return;
    delete it.value();
    items.erase(it);
}

void plugMDManager::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    QTreeWidgetItem* item = itemAt(event->pos());
    if (event->button() == Qt::RightButton) {
        if (!item) {
            QMenu menu(this);
            menu.addAction(actionNew);
            menu.exec(event->globalPos());
        } else if (item->isSelected() && !item->parent()) {
            QMenu menu(this);
            menu.addAction(actionDelete);
            menu.exec(event->globalPos());
        }
    } else if (event->button() == Qt::LeftButton && item && item->isSelected() && !item->parent()) {
        bool ok = false;
        const int idx = item->data(0, Qt::WhatsThisRole).toInt(&ok);
        if (ok && idx != -1)
            emit switchAssist(idx);
    }
}

void plugMDManager::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QTreeWidget::changeEvent(event);
}
