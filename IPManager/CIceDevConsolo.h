#pragma once

#include <QMutex>
#include <QString>
#include <QTabWidget>

#include <atomic>
#include <thread>

class Ui_DevConsolo;

// Round LED style sheets shared by every console.
extern const QString m_red_sheetStyle;
extern const QString m_green_sheetStyle;

// The console of one device: login row, command row and output. The login, command and
// monitor routines are hooks without a transport; their threads, flags and signals are real.
class CIceDevConsolo : public QTabWidget
{
    Q_OBJECT
public:
    explicit CIceDevConsolo(QWidget* parent = nullptr);
    ~CIceDevConsolo() override;

    void SetDeviceInfo(QString devIp, QString name);
    QString deviceIp() const { return devIp; }
    QString deviceName() const { return devName; }

    void OnConnectStatusChanged(bool connected);
    void StartMonitorThread();
    void StopMonitorThread();
    void ThreadMonitorConnectionStatus();
    void SetupSshProxy();
    void SetupWebEngine();

    bool isConnected() const { return connected; }
    bool isMonitorRunning() const { return monitorRunning; }
    int sessionHandle() const { return session; }

public slots:
    void DoLoginDevice();
    void DoExecuteCmd();

signals:
    void UpdateConnectionStatus(bool isConnect);
    void Warning(QString msg);
    void LoginResult(bool success);

protected:
    void changeEvent(QEvent* event) override;

private:
    void joinWorker();

    Ui_DevConsolo* ui = nullptr;
    QString devIp;
    QString devName;
    QMutex pendingMutex;
    QString pendingMessage; // output of a failed login, shown on LoginResult(false)
    std::atomic<int> session{-1};
    std::atomic<bool> connected{false};
    std::atomic<bool> monitorRunning{false};
    std::atomic<bool> busy{false};
    std::thread monitorThread;
    std::thread workerThread;
};
