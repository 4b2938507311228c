#pragma once

#include "ipframes.h"

#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <optional>
#include <thread>

class QAction;
class QCheckBox;
class QMenu;
class QPoint;
class QTimer;
class Ui_IPManager;
class CaptureHandle;
class CDeviceListManager;
class CIceDevConsolo;
class MyQHeaderView;

// One usable network adapter. The capture device is kept as its libpcap name and netmask
// (a copy, not a pointer into libpcap's list) so worker threads can use a plain snapshot.
struct NetCardInfo {
    QString name;
    QString macText;
    QStringList addresses;        // IPv4, dotted, in the system's order
    bool hasCaptureDevice = false;
    QString captureName;
    quint32 captureNetmaskRaw = 0;
    bool macValid = false;        // the MAC text split into six hex parts
    ipframes::MacBytes mac{};     // all zero when macValid is false
};

struct DeviceMsg {
    QString name;
    QString serial;
    int id = 0;
    int uartNumber = 0;
    ipframes::MacBytes mac{};
    ipframes::Ip4Bytes ip{};
    ipframes::Ip4Bytes mask{};
    ipframes::Ip4Bytes gateway{};
    // Made when the row first comes into view (thousands of cell widgets would make every
    // layout of the table slow); until then the row's state is `checked` alone.
    QPointer<QCheckBox> checkBox;
    bool checked = false;
};

// The IP manager panel: adapter choice, device search, address configuration, consoles.
class IPManager : public QWidget
{
    Q_OBJECT
public:
    explicit IPManager(QWidget* parent = nullptr);
    ~IPManager() override;

    // The device tree for the tool box, or nothing once it has been destroyed elsewhere.
    QWidget* GetManagerWidget();

    void initialize();
    void startSearchThread();
    void addDeviceMsgIntoTable(int idx);
    void lightControl(bool on);
    const NetCardInfo* findCardInfoFromIp(QString ip) const;
    const NetCardInfo* findCardInfoFromName(QString name) const;
    void ClearSearchResult();

    int currentRow() const { return curRow; }
    void setCurrentRow(int row) { curRow = row; }
    int adapterCount() const { return cards.size(); }
    // The row's check box, made now if the row has not been in view yet; nothing for no row.
    QCheckBox* rowCheckBox(int row);

signals:
    void addDevMsg_signal(int idx);
    void searchDone_signal();
    void configDone_signal(int row, int ret);
    void AddLog_signal(QString msg);
    // Capturing was refused for lack of rights; the reason the capture library gave.
    void captureRefused_signal(QString reason);
    // The configuration thread has sent its last result and is about to return.
    void configEnded_signal();
    void alarmTableRowSelected(int row);
    void alarmTableRowCanceled(int row);
    void SwitchDevice(int idx);
    void OpenConsolo(int idx, QString devIp, QString name);

public slots:
    void addLog(QString msg);
    void doOpenConsolo(int idx, QString devIp, QString name);
    void doSwitchDevice(int idx);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ConfigRow {
        int row = 0;
        QString macText;
    };
    struct ConfigJob {
        std::optional<NetCardInfo> card;
        bool temporary = false;
        ipframes::Ip4Bytes mask{};
        ipframes::Ip4Bytes ip{};
        ipframes::Ip4Bytes gateway{};
        QVector<ConfigRow> rows;
    };

    void setupSignals();
    void createActions();
    void setupDevieListTable();
    void setHeaderLabels(bool blankFirst = true);
    void onAdapterSelected(int index);
    void onDoConfig();
    void onConfigDone(int row, int ret);
    void onHeadCheckBoxToggled(bool checked);
    void onTableContextMenu(const QPoint& pos);
    void showConsolesTab(bool show);
    void flushPendingRows(); // every pending row now, columns fitted
    void insertPendingRows(qint64 budgetNs); // 0: no time limit
    void addRow(int row, const ipframes::SearchAnswer& answer);
    void resizeColumnsNow();
    void addVisibleCheckBoxes();
    void scheduleCheckBoxes();
    void updateButtons();
    std::optional<NetCardInfo> currentCard() const;

    bool openNetDeviceSetFilter(const std::optional<NetCardInfo>& card, CaptureHandle* handle, int bufferBytes = 0);
    void showRightsMessage(const QString& reason);
    void thrSearchDevices(std::optional<NetCardInfo> card);
    void thrSendConfigMsg(ConfigJob job);
    void joinThreads();

    Ui_IPManager* ui = nullptr;
    MyQHeaderView* header = nullptr;
    QPointer<CDeviceListManager> deviceTree;
    QPointer<QWidget> rightsBox; // one at a time, however often the search is tried
    QMap<int, NetCardInfo> cards;
    QMap<int, DeviceMsg*> devices;
    QMap<int, CIceDevConsolo*> consoles;
    int curRow = 1;
    QAction* actLogonWeb = nullptr;
    QAction* actOpenConsolo = nullptr;
    QAction* actIndicatorOn = nullptr;
    QAction* actIndicatorOff = nullptr;
    QMenu* menu = nullptr;
    QMap<int, int> treeItemConsole; // device tree item number -> console row key

    QMutex rawMutex;
    QMap<int, QByteArray> rawAnswers;

    std::thread searchThread;
    std::thread configThread;
    std::atomic<bool> stopping{false};

    bool searching = false;
    bool configRunning = false; // btn_config stays disabled until the thread has ended
    bool initializing = false;
    bool autoRefreshed = false; // one automatic refresh for a 0.0.0.0 adapter, never a loop
    bool flushPending = false;
    QTimer* resizeTimer = nullptr;
    bool checkBoxesPending = false;
    QVector<int> pendingRows; // raw answers waiting for the next slice of table rows
    int tableGeneration = 0;   // bumped by every search, so late results never hit new rows
    int configGeneration = -1;
    QStringList configTexts;   // IP, mask and gateway texts of the running configuration
};
