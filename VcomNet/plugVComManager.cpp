#include "plugVComManager.h"

#include "emptystate.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>

plugVComManager::plugVComManager(QWidget* parent)
    : QTreeWidget(parent)
    , menu(new QMenu(this))
{
    setColumnCount(1);
    header()->hide();
    newPairAction = menu->addAction(QIcon(QStringLiteral(":/VCOM/COM")), QString());
    newServerAction = menu->addAction(QIcon(QStringLiteral(":/VCOM/Server")), QString());
    newClientAction = menu->addAction(QIcon(QStringLiteral(":/VCOM/Client")), QString());
    newUdpAction = menu->addAction(QIcon(QStringLiteral(":/VCOM/UDP")), QString());
    const QList<QAction*> actions{newPairAction, newServerAction, newClientAction, newUdpAction};
    for (int type = 0; type < actions.size(); ++type)
        connect(actions.at(type), &QAction::triggered, this, [this, type]() { emit newConnection(type); });
    newConnectionAction = new QAction(QIcon(QStringLiteral(":/VCOM/COM")), QString(), this);
    newConnectionAction->setMenu(menu);
    retranslate();
    new EmptyStateHint(this, "plugVComManager",
                       QT_TRANSLATE_NOOP("plugVComManager", "Right-click or press Insert to add a virtual port connection"),
                       newConnectionAction);
}

QList<QAction*> plugVComManager::toolBarActions() const
{
    return {newPairAction, newServerAction, newClientAction, newUdpAction};
}

plugVComManager::~plugVComManager() = default;

bool plugVComManager::newNode(VSP_CONNECTION_TYPE type, const VSP_CONNECTION_PARAMS& params, int idx)
{
    auto* parent = new QTreeWidgetItem(this);
    parent->setText(0, params.name);
    parent->setData(0, Qt::WhatsThisRole, idx);
    auto* first = new QTreeWidgetItem(parent);
    first->setText(0, params.com_name1);
    first->setIcon(0, QIcon(QStringLiteral(":/sub/com")));
    auto* second = new QTreeWidgetItem(parent);
    switch (type) {
    case CONNECTION_PAIR:
        second->setText(0, params.com_name2);
        second->setIcon(0, QIcon(QStringLiteral(":/sub/com")));
        parent->setIcon(0, QIcon(QStringLiteral(":/parent/com_parent")));
        break;
    case CONNECTION_SERVER:
        second->setText(0, tr("Server %1").arg(params.server_port));
        second->setIcon(0, QIcon(QStringLiteral(":/sub/server")));
        parent->setIcon(0, QIcon(QStringLiteral(":/parent/server_parent")));
        break;
    case CONNECTION_CLIENT:
        second->setText(0, tr("Client %1 %2").arg(params.client_ip_addr, params.client_port));
        second->setIcon(0, QIcon(QStringLiteral(":/sub/client")));
        parent->setIcon(0, QIcon(QStringLiteral(":/parent/client_parent")));
        break;
    case CONNECTION_UDP:
        second->setText(0, tr("Udp %1").arg(params.udp_local_port));
        second->setIcon(0, QIcon(QStringLiteral(":/sub/udp")));
        parent->setIcon(0, QIcon(QStringLiteral(":/parent/udp_parent")));
        break;
    }
    delete items.value(idx); // a node under the same number is replaced, not orphaned
    items.insert(idx, parent);
    return true;
}

void plugVComManager::removeNode(int idx)
{
    if (!items.contains(idx))
        return;
    delete items.take(idx);
}

void plugVComManager::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    QTreeWidgetItem* item = itemAt(event->pos());
    if (event->button() == Qt::RightButton && !item) {
        menu->popup(event->globalPos());
    } else if (event->button() == Qt::LeftButton && item && item->isSelected() && !item->parent()) {
        const int idx = item->data(0, Qt::WhatsThisRole).toInt();
        if (idx != -1)
            emit switchConnection(idx);
    }
}

void plugVComManager::retranslate()
{
    newPairAction->setText(tr("New Com Pair"));
    newServerAction->setText(tr("New Com Server"));
    newClientAction->setText(tr("New Com Client"));
    newUdpAction->setText(tr("New Com Udp"));
    newConnectionAction->setText(tr("New Connection"));
}

void plugVComManager::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QTreeWidget::changeEvent(event);
}
