#include "CDeviceListManager.h"

#include "commonhelpers.h"
#include "emptystate.h"

#include <QEvent>
#include <QIcon>
#include <QMouseEvent>

#include <atomic>

namespace {
// Item numbers run on across searches and panels for the whole program.
std::atomic<int> itemCounter{0};
}

CDeviceListManager::CDeviceListManager(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    actOpenConsolo = new QAction(this);
    actReSearch = new QAction(this);
    retranslate();
    connect(actOpenConsolo.data(), &QAction::triggered, this, [this] {
        const QList<QTreeWidgetItem*> sel = selectedItems();
        if (sel.isEmpty())
            return;
        QTreeWidgetItem* item = sel.first();
        emit OpenConsolo(item->data(0, Qt::UserRole).toInt(), item->text(0), item->data(0, Qt::WhatsThisRole).toString());
    });
    connect(actReSearch.data(), &QAction::triggered, this, &CDeviceListManager::ReSearchDevices);
    new EmptyStateHint(this, "CDeviceListManager",
                       QT_TRANSLATE_NOOP("CDeviceListManager",
                                         "Right-click a device in the table and choose \"Open Consolo\": its console is listed here; click it to show the console again"));
}

CDeviceListManager::~CDeviceListManager()
{
    ReleaseItems();
}

void CDeviceListManager::AddDeviceMsg(QString devIp, QString name)
{
    auto* item = new QTreeWidgetItem;
    item->setData(0, Qt::DisplayRole, devIp);
    item->setData(0, Qt::ToolTipRole, name);
    item->setData(0, Qt::UserRole, itemCounter.fetch_add(1));
    item->setData(0, Qt::WhatsThisRole, name);
    item->setData(0, Qt::DecorationRole, QIcon(QStringLiteral(":/system/device")));
    addTopLevelItem(item);
}

void CDeviceListManager::ReleaseItems()
{
    setCurrentItem(nullptr);
    while (topLevelItemCount() > 0)
        RemoveTreeWidgetItem(topLevelItem(0)); // children before their parents
    clear();
}

void CDeviceListManager::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        QTreeWidgetItem* item = itemAt(event->pos());
        if (item && item->isSelected() && !item->parent()) {
            const int number = item->data(0, Qt::UserRole).toInt();
            if (number != -1)
                emit SwitchDevice(number);
        }
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CDeviceListManager::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QTreeWidget::changeEvent(event);
}

void CDeviceListManager::retranslate()
{
    if (actOpenConsolo)
        actOpenConsolo->setText(tr("Open Consolo"));
    if (actReSearch)
        actReSearch->setText(tr("Re Search"));
}
