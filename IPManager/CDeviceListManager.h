#pragma once

#include <QAction>
#include <QPointer>
#include <QTreeWidget>

// The IP manager's page in the tool box: one item per device console opened.
class CDeviceListManager : public QTreeWidget
{
    Q_OBJECT
public:
    explicit CDeviceListManager(QWidget* parent = nullptr);
    ~CDeviceListManager() override;

    void AddDeviceMsg(QString devIp, QString name);
    void ReleaseItems();

    QAction* openConsoloAction() const { return actOpenConsolo; }
    QAction* reSearchAction() const { return actReSearch; }

signals:
    void SwitchDevice(int idx);
    void OpenConsolo(int idx, QString devIp, QString name);
    void ReSearchDevices();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QPointer<QAction> actOpenConsolo;
    QPointer<QAction> actReSearch;
};
