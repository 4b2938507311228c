#pragma once

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QSharedPointer>
#include <QTreeWidget>
#include <QVector>

class QAction;

// What an action does to each selected panel.
enum ACTIONTYPE {
    ACT_DELETE = 0,
    ACT_OPEN = 1,
    ACT_CLOSE = 2,
    ACT_SEND = 3,
    ACT_AUTO_REPLY = 4,
    ACT_AUTO_ADDITION = 5,
    ACT_CLEAR_RECEIVE = 6,
    ACT_RESET_COUNT = 7,
};
Q_DECLARE_METATYPE(ACTIONTYPE)

// The assistant tool's tree in the tool box: one top-level node per panel, carrying
// the panel's instance number as column-0 data in Qt::WhatsThisRole. Its actions
// (context menus and keys) create, delete, copy and paste panels, drive the selected
// ones together, and save or load connection sets; the tool does the work.
class plugUartNetManager : public QTreeWidget
{
    Q_OBJECT
public:
    explicit plugUartNetManager(QWidget* parent = nullptr);
    ~plugUartNetManager() override;

    void newNode(int idx);
    void renameNode(int idx, QString name, bool isOn);
    void removeNode(int idx);
    void removeTreeWidgetItem(QTreeWidgetItem* item);

    // Top-level node of a panel, or null.
    QTreeWidgetItem* node(int idx) const { return nodes.value(idx, nullptr); }
    // Instance number of a node, -1 when it carries none.
    static int nodeIndex(const QTreeWidgetItem* item);
    // Instance numbers of all top-level nodes in tree order.
    QVector<int> treeOrder() const;
    // Moves the selected top-level nodes before or after the node at pos (viewport
    // coordinates), as a drop there does; false on empty space or onto a moved node.
    bool dropNodes(const QPoint& pos);

    // The tool's main actions for its toolbar, the same objects as in the menus.
    QList<QAction*> toolBarActions() const;

    QList<int> copiedIndexes;

    QSharedPointer<QAction> newAction;
    QSharedPointer<QAction> saveAction;
    QSharedPointer<QAction> loadAction;
    QSharedPointer<QAction> copyAction;
    QSharedPointer<QAction> pasteAction;
    QSharedPointer<QAction> deleteAction;
    QSharedPointer<QAction> openAction;
    QSharedPointer<QAction> closeAction;
    QSharedPointer<QAction> sendAction;
    QSharedPointer<QAction> autoReplyAction;
    QSharedPointer<QAction> autoAdditionAction;
    QSharedPointer<QAction> clearReceiveAction;
    QSharedPointer<QAction> resetCountAction;

signals:
    void newAssist();
    void saveConnections(QVector<int>& assistIdxs);
    void loadConnections();
    void actionTrigger(ACTIONTYPE type, int idx);
    void switchAssist(int idx);
    void copyToolConfig(QList<int> indexs);
    void pasteToolConfig();
    void deleteAssist(int idx);
    // Declared for completeness of the tool's interface; the actions go through actionTrigger.
    void openDevice(int idx);
    void closeDevice(int idx);
    void sendContent(int idx);
    void autoReply(int idx);
    void autoAddition(int idx);
    void clearReceive(int idx);
    void resetCount(int idx);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void doActionTriggered(ACTIONTYPE type);

private:
    void initialize();
    void initActions();
    void retranslateActions();
    static QString defaultNodeText();

    QMap<int, QTreeWidgetItem*> nodes;
};
