#pragma once

#include <QMap>
#include <QTreeWidget>

class QAction;

// The tree of debug sessions in the tool box: one top-level node per session, holding
// the session number under Qt::WhatsThisRole of column 0.
class plugMDManager : public QTreeWidget
{
    Q_OBJECT
public:
    explicit plugMDManager(QWidget* parent = nullptr);

    bool newNode(QString name, int idx);
    void removeNode(int idx);

    QAction* newSessionAction() const { return actionNew; }

signals:
    void newAssist();
    void deleteAssist(int idx);
    void switchAssist(int idx);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QAction* actionNew = nullptr;
    QAction* actionDelete = nullptr;
    QMap<int, QTreeWidgetItem*> items;
};
