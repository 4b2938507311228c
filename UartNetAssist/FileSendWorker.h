#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QIODevice;

// What the worker needs to know about the panel's controls. The GUI thread keeps it
// current; the worker copies it once per block and never looks at a widget.
struct FileSendSettings
{
    qint64 blockSize = 2048; // bytes per block; 0 or less sends nothing
    int intervalMs = 1000;   // pause after each block
    bool repeat = false;     // start again from the beginning at the end of the file
    bool sendable = true;    // result of the panel's send check
};

// Sends a file in blocks from a thread of its own. Each block leaves as the queued
// signal sendData_signal; the receiver hands it to the device and gives the block's
// credit back with releaseChunks() once the device has drained it, so that no more
// than a few blocks are ever queued or unwritten, whatever the file size.
class FileSendWorker : public QObject
{
    Q_OBJECT
public:
    explicit FileSendWorker(QObject* parent = nullptr);
    // Stops and joins a running worker.
    ~FileSendWorker() override;

    // Opens the file and starts the thread. False (with errorText) when the file cannot
    // be opened or a send is already running.
    bool start(const QString& path);
    // Asks the worker to end and waits up to waitMs for it; true when it has ended.
    bool stop(int waitMs);
    // Joins a worker that has ended by itself; does nothing while it still runs.
    void join();
    bool isRunning() const;

    void setPaused(bool paused);
    bool isPaused() const;
    // True once the worker has seen the pause (or a failing send check) and reads
    // nothing more until that changes; every block it read before is already emitted.
    bool isHolding() const;

    void setSettings(const FileSendSettings& s);
    FileSendSettings settings() const;

    // Gives back the credits of n blocks that the receiver has written and drained.
    void releaseChunks(int n = 1);
    int chunksInFlight() const;
    qint64 bytesInFlight() const;
    qint64 peakBytesInFlight() const;

    // Flow limit: the worker waits while this many blocks, or this many bytes, are
    // still unreleased. One block is always allowed, however large.
    void setFlowLimit(int maxChunks, qint64 maxBytes);

    // Serial block when no block size is given: about one second of line time.
    static int serialDefaultBlock(const QString& baudText, const QString& dataBitsText);
    // Block size for the protocol (0 = serial) and the "Single Bytes" text.
    static qint64 blockSizeFor(int protocolIndex, const QString& singleBytes, const QString& baudText,
                               const QString& dataBitsText);

    QString errorText;

signals:
    void sendData_signal(QByteArray data);
    // Bytes sent in the current pass of the file, and the file size.
    void progress_signal(qint64 sent, qint64 total);
    // The worker has ended (end of file, stop, or a read error).
    void finished_signal();

private:
    void run();
    // Waits up to ms or until stop is requested; false when stop was requested.
    bool idle(int ms);
    // Waits for a free credit; false when stop was requested.
    bool acquireCredit();

    QFile file; // used by the worker thread only while it runs
    qint64 fileSize = 0;
    std::thread thread;

    mutable std::mutex lock;
    std::condition_variable wake;
    FileSendSettings current;
    bool running = false;
    bool stopRequested = false;
    bool paused = false;
    bool holding = false;
    std::deque<qint64> inFlightSizes; // sizes of the blocks not yet given back, oldest first
    int inFlightChunks = 0;
    qint64 inFlightBytes = 0;
    qint64 peakInFlight = 0;
    int maxChunksInFlight = 4;
    qint64 maxBytesInFlight = 4 * 1024 * 1024;
};

// Returns a worker's credits once the device it writes to has handed its bytes to
// the operating system (backlog at or below lowWater). The backlog is asked through
// a function, because each device kind keeps its buffer in a different place;
// bytesWritten of the watched devices and a short timer trigger the check.
class FileSendDrain : public QObject
{
    Q_OBJECT
public:
    explicit FileSendDrain(QObject* parent = nullptr);

    void setWorker(FileSendWorker* w) { worker = w; }
    void setBacklogFunction(std::function<qint64()> f) { backlog = std::move(f); }
    // Rechecks on every bytesWritten of dev (several devices may be watched).
    void watch(QIODevice* dev);
    qint64 lowWater = 256 * 1024;

    // One block has been handed to the device.
    void chunkWritten();
    // Gives back every credit now if the backlog allows it.
    void check();
    // Forgets blocks not yet returned (a new send starts).
    void reset();
    int pending() const { return unreleased; }

private:
    QPointer<FileSendWorker> worker;
    std::function<qint64()> backlog;
    int unreleased = 0;
    QTimer poll;
};
