#pragma once

#include "FileSendWorker.h"
#include "RecentList.h"
#include "RecvFileWriter.h"
#include "RecvViewFormat.h"
#include "SendHistory.h"

#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

class AbsIoDevice;
class QElapsedTimer;
class QMessageBox;
class RecvFindBar;
class Ui_UartNetAssist;

// One debugging assistant panel: opens a serial port, a TCP server, a TCP client or a
// UDP socket, shows what arrives and sends what the user types. The assistant tool
// drives any number of panels through the public operations below.
class UartNetAssist : public QWidget
{
    Q_OBJECT
public:
    explicit UartNetAssist(QWidget* parent = nullptr);
    ~UartNetAssist() override;

    // Closes the device if there is one, without refreshing the panel.
    void release();
    // (Re)opens the device from the current settings.
    void OpenDevice();
    // Closes the device (if any) and refreshes the panel.
    void CloseDevice();
    // Sends the send box as the send button would; fills an empty box with a default text.
    void SendContent();
    // Toggle "Auto Reply" and "Auto Addition".
    void AutoReply();
    void AutoAddition();
    void ClearReceive();
    void ResetCount();

    // The whole setting as one line of seven comma-separated fields, and back.
    QString GetCurrentConfig();
    void ApplyConfig(QString config);
    // Short title of the panel's tree node, e.g. COM_ttyS0_9600-NONE-8-1.
    QString GetCurrentTitle();

    // By default the receive view keeps at most this many lines and characters; older
    // text is dropped. The scrollback preference raises both; a view beyond the default
    // bound then folds lines longer than recvViewFoldChars, as the text view lays out a
    // line whole and a megabyte line would freeze it.
    static constexpr int recvViewMaxBlocks = 50;
    static constexpr int recvViewMaxChars = 32768;
    static constexpr int recvViewFoldChars = 8192;
    // Display updates are gathered for this long and inserted at once.
    static constexpr int recvViewFlushMs = 30;
    // Periodic sending skips a tick while the device still holds more than this many
    // bytes it could not pass on, so a peer that does not read costs bounded memory.
    static constexpr qint64 periodicBacklogLimit = 1024 * 1024;
    // Remote addresses kept in the TCP client and UDP histories.
    static constexpr int historySize = 100;

signals:
    void updateNodeName(QString name, bool isOn);

protected slots:
    void receiveData_slot(QByteArray data, QString ip, int port);
    void updateCount();

protected:
    void changeEvent(QEvent* event) override;

    // Opening, closing and the panel's enabled state.
    bool openDevice();
    void updateUI();
    void enableParamSetting(bool enable);
    void handlePassiveDisconnect();
    void onProtocolChanged(int index);
    void onPortScanTimeout();
    void onSerialPortsChanged(const QStringList& ports);
    void refillPortList(const QStringList& ports);
    // The open serial port's own path is gone (an unplugged adapter, an ended socat).
    bool openPortRemoved() const;
    void onUdpSender(const QString& ip, int port);
    void onPeriodicTick();

    // Receive path.
    void DataPreprocessing(const QByteArray& data, QString& out);
    void appendToRecvView(const QString& text, bool asNewParagraph);
    void flushRecvView();

    // Sending.
    bool checkSendableStatus();
    void sendData();
    void sendDataWithDevice(const QByteArray& data);
    void onSendButton();
    void stopPeriodicSending();

    // Fills the address combos from the history all panels share.
    void loadHistoryFile();

    // An information box that does not block; while one is open no second one opens,
    // so a flood of received data cannot stack boxes.
    void showNotice(int icon, const QString& title, const QString& text, const QString& details = QString());

    Ui_UartNetAssist* ui = nullptr;
    AbsIoDevice* device = nullptr;
    QString lastError;
    quint32 sendCount = 0;
    quint32 recvCount = 0;
    QStringList serverClients;
    QStringList serialPorts;
    QString lastSender;
    QString lastUdpPeer; // the sender last put into the UDP combo
    bool closingByUser = false;
    QTimer portScanTimer;
    QTimer* periodicTimer = nullptr;
    bool showHex = false;
    bool wrapLines = true;
    bool recvToFile = false;
    bool sendFromFile = false;
    QMutex sendMutex;

    // ---- File sending and receive-to-file.
public:
    // How the panel asks for a file (title, start directory, filter); the defaults show
    // file dialogs, tests answer with a path. An empty answer cancels.
    std::function<QString(const QString&, const QString&, const QString&)> chooseOpenFile;
    std::function<QString(const QString&, const QString&, const QString&)> chooseSaveFile;
    // Time the GUI thread waits at most for the worker after Stop.
    int stopWaitMs = 1000;

signals:
    void updateSendFileProgress(int val);
    void resetFileSendUI_signal();
    void sendData_signal(QByteArray data);

protected slots:
    void startFileSend_slot();
    void stopFileSend_slot();
    void resetFileSendUI_slot();

protected:
    void setupFileTransfer();
    void sendFromFileClicked(bool checked);
    void pauseFileSend();
    void receiveToFileClicked(bool checked);
    // Writes received data into the receive file when that mode is on; false otherwise.
    bool WriteDataToFile(const QByteArray& data);
    void leaveReceiveToFile();
    // Ends receive-to-file after a failed open or write, naming the file and the reason.
    void receiveFileFailed(const QString& text, const QString& file, const QString& reason);
    void saveRecvData();
    void loadSendFile();
    // Copies the controls the worker needs into its snapshot.
    void updateFileSendSettings();
    // Bytes handed to the device and not yet passed on to the system.
    qint64 deviceBacklog() const;
    void watchDeviceDrain();
    void appendSendLog(const QString& line);

    bool fileSending = false;
    bool fileSendPaused = false;
    QString sendFilePath;
    QString sendDialogDir;
    QFile sendFile;
    QString recvFilePath;
    QString recvDialogDir;
    RecvFileWriter recvFile;
    int progressShift = 0;      // progress bar values are bytes >> progressShift (int range)
    QTimer fileSettingsTimer;   // keeps the worker's snapshot current while it runs
    FileSendDrain fileDrain;
    FileSendWorker fileSendThread; // the destructor stops and joins it before anything else goes

    // ---- Optional view and send features (preferences shared by all panels).
protected:
    void setupOptions();
    void applyViewPrefs();
    void showRecvContextMenu(const QPoint& pos);
    RecvViewFormat::Options viewOptions() const;
    bool recvViewAtLineStart() const;
    // The frame of the send box with the chosen checksum appended.
    QByteArray withChecksum(const QByteArray& frame) const;
    void rememberSent(const QString& payload);
    void onHistoryAdded(const QString& payload, int previousIndex);
    void fillHistoryCombo();
    bool eventFilter(QObject* watched, QEvent* event) override;

    // A view beyond the default bound takes received chunks through a queue: they are
    // formatted and shown in steps within a time budget, and chunks certain to scroll out
    // before they could be seen are dropped unformatted.
    struct DisplayJob
    {
        bool isText = false; // a line of its own (a header) instead of data
        QString text;
        QByteArray data;
        QString stamp;
        int done = 0; // bytes of data already formatted
        bool atLineStart = true;
        qint64 minChars = 0;
        qint64 minBreaks = 0;
    };
    bool usesDisplayQueue() const;
    // The sender's header (empty when the sender did not change) and the chunk.
    void queueReceived(const QString& header, const QByteArray& data);
    void queueForDisplay(DisplayJob job);
    void clearDisplayQueue();
    // Formats queued pieces into the pending text until the budget is spent.
    void formatQueuedPieces(const QElapsedTimer& spent, int budgetMs);

    int viewMaxBlocks = recvViewMaxBlocks;
    int viewMaxChars = recvViewMaxChars;
    std::deque<DisplayJob> displayQueue;
    qint64 queuedChars = 0;
    qint64 queuedBreaks = 0;
    int foldColumn = 0; // length of the last line given to the view, for folding
    SendHistoryRecall historyRecall;
    RecvFindBar* findBar = nullptr;

    // ---- Saved commands run on the panel (UartNetAssistCommands.cpp).
public:
    bool isDeviceOpen() const;
    // Sends what a command asks through the panel's send path, or raw (without the
    // checksum and "Auto Addition"); false with the reason when the panel cannot send.
    bool sendForCommand(const QByteArray& bytes, bool raw, QByteArray* sent, QString* error);
    // False while the device still holds more than it should take on top.
    bool commandSendReady() const;

signals:
    void dataReceived(const QByteArray& data);

protected:
    QByteArray withAddition(const QByteArray& frame) const;
    // Writes to the device, to the chosen client(s) or the UDP destination.
    void writeFrame(const QByteArray& frame);

private:
    void setupSignals();
    // Scrolling settings column, readable colours, font-sized widths, send key.
    void setupDesktopFit();
    void closeOwnDevice();
    void onClientOpened(const QString& remote);
    void onClientOpenFailed(const QString& reason);

    // Text waiting for the next display update, already cut to what would stay visible.
    QString pendingView;
    int pendingBreaks = 0;
    bool pendingReplacesView = false;
    QTimer recvViewTimer;
    QPointer<QMessageBox> noticeBox;
    bool selfClosing = false; // while the panel closes its own device
    bool clientConnecting = false; // a TCP client attempt is under way
};
