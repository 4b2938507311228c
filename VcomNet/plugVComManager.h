#pragma once

#include "VSPConnection.h"

#include <QMap>
#include <QTreeWidget>

class QAction;
class QMenu;

// The tree of VCOM connections in the tool box: one top-level node per connection
// (its number under Qt::WhatsThisRole) with the two ports as children.
class plugVComManager : public QTreeWidget
{
    Q_OBJECT
public:
    explicit plugVComManager(QWidget* parent = nullptr);
    ~plugVComManager() override;

    bool newNode(VSP_CONNECTION_TYPE type, const VSP_CONNECTION_PARAMS& params, int idx);
    void removeNode(int idx);
    QTreeWidgetItem* node(int idx) const { return items.value(idx); }

    QAction* newPairAction = nullptr;
    QAction* newServerAction = nullptr;
    QAction* newClientAction = nullptr;
    QAction* newUdpAction = nullptr;
    // Offers the four above as a menu (Insert, the empty tool's button).
    QAction* newConnectionAction = nullptr;

    QList<QAction*> toolBarActions() const;

signals:
    void newConnection(int type);
    void switchConnection(int idx);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QMenu* menu = nullptr;
    QMap<int, QTreeWidgetItem*> items;
};
