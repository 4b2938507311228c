#pragma once

#include <QMutex>
#include <QString>
#include <QTabWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QTextDecoder;
class SshSession;
class Ui_DevConsolo;

// Round LED style sheets shared by every console.
extern const QString m_red_sheetStyle;
extern const QString m_green_sheetStyle;

// The console of one device: login row, command row and output, over SSH (port 22 of the
// device). Login and commands run on the worker thread, the keep-alive on the monitor
// thread; both reach the widgets only through the console's queued signals.
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
    bool isBusy() const { return busy; }

    // Where the keys of the devices the user has accepted are kept.
    static QString knownHostsFile();

public slots:
    void DoLoginDevice();
    void DoExecuteCmd();

signals:
    void UpdateConnectionStatus(bool isConnect);
    void Warning(QString msg);
    void LoginResult(bool success);
    // The device's key is not known yet: the user decides (fingerprint "SHA256:...").
    void hostKeyUnknown(QString fingerprint);
    void outputArrived(QByteArray chunk);
    void commandFinished(QString summary);
    void connectionLost();
    void monitorEnded(int generation);

protected:
    void changeEvent(QEvent* event) override;

private:
    void joinWorker();
    void startWorker(std::function<void()> job);
    void onHostKeyUnknown(const QString& fingerprint);
    void finishLogin(bool hostKeyAccepted);
    void authenticate(const std::shared_ptr<SshSession>& s);
    void endSession();
    void appendOutput(const QString& text);
    void setWaitCursor(bool on);

    Ui_DevConsolo* ui = nullptr;
    QString devIp;
    QString devName;
    QMutex pendingMutex;
    QString pendingMessage; // output of a failed login, shown on LoginResult(false)
    std::atomic<int> session{-1};
    std::atomic<bool> connected{false};
    std::atomic<bool> monitorRunning{false};
    std::atomic<bool> busy{false};
    std::atomic<bool> cancel{false}; // ends a login or a command early
    std::atomic<int> monitorGeneration{0};
    std::thread monitorThread;
    std::thread workerThread;
    std::shared_ptr<SshSession> ssh;
    QString loginUser;     // snapshots for the worker, taken when Login is clicked
    QByteArray loginPassword; // in memory only while a login runs
    QByteArray command;       // the command line of the running Execute
    bool waitCursor = false;
    std::unique_ptr<QTextDecoder> decoder; // output may split a character between chunks
    static std::atomic<int> sessionCounter;
};
