#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class CCirQueue;
class tcpClientSocket_;

// One decoded debug frame.
struct Command
{
    int index = 0;
    QDateTime time;
    int kind = 0;
    QString type;
    QString source;
    QString destination;
    QByteArray content;
    QString message;
};
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(QList<Command>)

// Registers Command as "Debug command structure" and its list as "Command list".
void registerCommandMetaTypes();

// One TCP debug link: sends the start, stop and heartbeat commands, queues the received
// stream and cuts it into checked frames on a parser thread. Decoded frames reach the
// GUI thread in coalesced batches (at most one pending hand-over, newest 100 frames),
// so a device faster than the window cannot grow the event queue without bound.
class CDebugWorker : public QObject
{
    Q_OBJECT
public:
    static constexpr long long QueueSize = 0x2000000;
    static constexpr int MaxFrontSize = 0x100000;
    static constexpr int HistorySize = 100;
    static constexpr int MinFrameSize = 11;

    explicit CDebugWorker(QObject* parent = nullptr);
    ~CDebugWorker() override;

    void initialize();
    void connectToHost(QString ip, int port);
    bool isValid() const;
    bool start();
    void stop();
    bool isRunning() const { return running.load(); }
    void clearHistory();

    int fillCmd(unsigned short code, unsigned char* payload, int n);
    int executeCommand(const char* data, int n, int timeout);
    int sendStartDebugCmd();
    int sendStopDebugCmd();
    int sendHeartBeatCmd();
    const unsigned char* commandBuffer() const { return cmdBuffer; }

    // The receive handler: queues one received block (GUI thread).
    void receiveBlock(const QByteArray& data);
    // Runs the parser loop on the calling thread until no whole frame is held; for use
    // without the parser thread (tests, fuzzing). Returns the frame candidates examined.
    int parsePending();

    // Frames to be appended to a record file while parsing; empty stops recording.
    // Every decoded frame reaches the file, even when the display sheds frames.
    void setRecordFile(const QString& path);
    static QByteArray formatRecord(const Command& cmd);
    static void appendRecord(QByteArray& out, const Command& cmd, const QByteArray& date, const QByteArray& time);
    static int kindOfCode(int code);

    QList<Command> history() const;
    // The counters are kept in 64 bits and reported saturated to the 32-bit range.
    int contentSize() const { return saturated(contentSizeValue.load()); }
    int errSize() const { return saturated(errSizeValue.load()); }
    int formatErrSize() const { return saturated(formatErrSizeValue.load()); }
    long long contentBytes() const { return contentSizeValue.load(); }
    long long formatErrBytes() const { return formatErrSizeValue.load(); }
    // Bytes of received blocks the full queue refused (lost, but counted as received).
    long long droppedBytes() const { return droppedSizeValue.load(); }
    int nextIndex() const;
    QString lastError() const;
    long long shedFrames() const { return shedFrameCount.load(); }
    tcpClientSocket_* device() const { return tcpDevice; }
    std::shared_ptr<CCirQueue> queue() const { return cirQueue; }

public slots:
    void parseMsgIntoCommand(QByteArray data);

signals:
    void connected();
    void disconnected();
    void updateContentSize(int size);
    void updateFrameInner(int index, QDateTime time, QString type, QString src, QString dst,
                          QByteArray content, QString msg);
    void updateFrame(int index, QDateTime time, QString type, QString src, QString dst,
                     QByteArray content, QString msg);
    void updateErrSize(int size, QString msg);
    void updateFormatErrSize(int size);
    // The record file refused the frames (once per file set): its path and the reason.
    void recordFailed(QString path, QString reason);

private:
    static int saturated(long long v) { return v > 0x7fffffffLL ? 0x7fffffff : static_cast<int>(v); }
    QDateTime decodeTime();

    enum class Step { NeedMore, Incomplete, Progress };

    void thrParseDebugMsg();
    Step parseStep();
    void reject(const QString& text, int size);
    void addFormatError(int size);
    void scheduleRelay();
    void relayFrames();
    void flushRecords();
    void joinParser();

    unsigned char cmdBuffer[512] = {};
    tcpClientSocket_* tcpDevice = nullptr;
    std::shared_ptr<CCirQueue> cirQueue;
    std::atomic<bool> running{false};
    std::thread parserThread;
    std::mutex wakeMutex;
    std::condition_variable wake;
    QTimer heartbeatTimer;

    mutable std::mutex mutex; // history, pending frames, index, last error, records
    QList<Command> historyList;
    QList<Command> pendingFrames;
    int nextIndexValue = 1;
    QString lastErrorText;
    QString recordPath;
    bool recordFailReported = false;
    QByteArray recordBuffer;

    std::atomic<long long> contentSizeValue{0};
    std::atomic<long long> errSizeValue{0};
    std::atomic<long long> formatErrSizeValue{0};
    std::atomic<long long> droppedSizeValue{0};
    std::atomic<long long> shedFrameCount{0};
    std::atomic<bool> relayScheduled{false};
    std::atomic<bool> errDirty{false};
    std::atomic<bool> formatErrDirty{false};
    QElapsedTimer lastRelay;

    // Decode time, refreshed at most once per millisecond: reading the local clock
    // costs more than decoding a small frame. Parsing thread only.
    QDateTime cachedTime;
    std::chrono::steady_clock::time_point cachedTimeAt;
    bool recordTextStale = true;
    QByteArray cachedDateText;
    QByteArray cachedTimeText;
};
