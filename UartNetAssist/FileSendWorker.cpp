#include "FileSendWorker.h"
#include "assistlog.h"

#include <QIODevice>

#include <algorithm>
#include <chrono>
#include <limits>

namespace {
// A block is read into one QByteArray; keep it well inside its size limit.
constexpr qint64 maxBlockSize = qint64(1) << 30;
// Idle step while paused, while the send check fails or while no block size is set.
constexpr int idleStepMs = 10;
} // namespace

FileSendWorker::FileSendWorker(QObject* parent)
    : QObject(parent)
{
}

FileSendWorker::~FileSendWorker()
{
    {
        std::lock_guard<std::mutex> g(lock);
        stopRequested = true;
    }
    wake.notify_all();
    if (thread.joinable())
        thread.join();
}

bool FileSendWorker::start(const QString& path)
{
    {
        std::lock_guard<std::mutex> g(lock);
        if (running) {
            errorText = tr("A file is already being sent.");
            return false;
        }
    }
    join();
    file.close();
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorText = file.errorString();
        return false;
    }
    fileSize = file.size();
    errorText.clear();
    {
        std::lock_guard<std::mutex> g(lock);
        running = true;
        holding = false;
        stopRequested = false;
        paused = false;
        inFlightSizes.clear();
        inFlightChunks = 0;
        inFlightBytes = 0;
        peakInFlight = 0;
    }
    thread = std::thread(&FileSendWorker::run, this);
    return true;
}

bool FileSendWorker::stop(int waitMs)
{
    std::unique_lock<std::mutex> g(lock);
    stopRequested = true;
    wake.notify_all();
    const bool ended = wake.wait_for(g, std::chrono::milliseconds(std::max(waitMs, 0)),
                                     [this] { return !running; });
    g.unlock();
    if (ended)
        join();
    return ended;
}

void FileSendWorker::join()
{
    {
        std::lock_guard<std::mutex> g(lock);
        if (running)
            return;
    }
    if (thread.joinable())
        thread.join();
    if (file.isOpen())
        file.close();
}

bool FileSendWorker::isRunning() const
{
    std::lock_guard<std::mutex> g(lock);
    return running;
}

void FileSendWorker::setPaused(bool p)
{
    {
        std::lock_guard<std::mutex> g(lock);
        paused = p;
    }
    wake.notify_all();
}

bool FileSendWorker::isPaused() const
{
    std::lock_guard<std::mutex> g(lock);
    return paused;
}

bool FileSendWorker::isHolding() const
{
    std::lock_guard<std::mutex> g(lock);
    return running && holding;
}

void FileSendWorker::setSettings(const FileSendSettings& s)
{
    {
        std::lock_guard<std::mutex> g(lock);
        current = s;
    }
    wake.notify_all();
}

FileSendSettings FileSendWorker::settings() const
{
    std::lock_guard<std::mutex> g(lock);
    return current;
}

void FileSendWorker::releaseChunks(int n)
{
    if (n <= 0)
        return;
    {
        std::lock_guard<std::mutex> g(lock);
        // Blocks are written in order, so the oldest credits come back first.
        for (int i = 0; i < n && !inFlightSizes.empty(); ++i) {
            inFlightBytes -= inFlightSizes.front();
            inFlightSizes.pop_front();
        }
        inFlightChunks = static_cast<int>(inFlightSizes.size());
    }
    wake.notify_all();
}

int FileSendWorker::chunksInFlight() const
{
    std::lock_guard<std::mutex> g(lock);
    return inFlightChunks;
}

qint64 FileSendWorker::bytesInFlight() const
{
    std::lock_guard<std::mutex> g(lock);
    return inFlightBytes;
}

qint64 FileSendWorker::peakBytesInFlight() const
{
    std::lock_guard<std::mutex> g(lock);
    return peakInFlight;
}

void FileSendWorker::setFlowLimit(int maxChunks, qint64 maxBytes)
{
    {
        std::lock_guard<std::mutex> g(lock);
        maxChunksInFlight = std::max(1, maxChunks);
        maxBytesInFlight = std::max<qint64>(1, maxBytes);
    }
    wake.notify_all();
}

int FileSendWorker::serialDefaultBlock(const QString& baudText, const QString& dataBitsText)
{
    const double baud = baudText.toDouble();
    const double bits = dataBitsText.toDouble();
    const double block = baud / (bits + 3.0);
    if (!(block > 0) || block > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(block);
}

qint64 FileSendWorker::blockSizeFor(int protocolIndex, const QString& singleBytes, const QString& baudText,
                                    const QString& dataBitsText)
{
    if (protocolIndex == 0 && singleBytes.isEmpty())
        return serialDefaultBlock(baudText, dataBitsText);
    return singleBytes.toLongLong();
}

bool FileSendWorker::idle(int ms)
{
    std::unique_lock<std::mutex> g(lock);
    return !wake.wait_for(g, std::chrono::milliseconds(ms), [this] { return stopRequested; });
}

bool FileSendWorker::acquireCredit()
{
    std::unique_lock<std::mutex> g(lock);
    wake.wait(g, [this] {
        return stopRequested || inFlightChunks == 0
            || (inFlightChunks < maxChunksInFlight && inFlightBytes < maxBytesInFlight);
    });
    return !stopRequested;
}

void FileSendWorker::run()
{
    qint64 total = 0;
    if (!file.seek(0))
        qCDebug(lcAssist) << "file send seek failed:" << file.errorString();
    while (true) {
        FileSendSettings s;
        bool isPausedNow;
        {
            std::lock_guard<std::mutex> g(lock);
            if (stopRequested)
                break;
            s = current;
            isPausedNow = paused;
            holding = isPausedNow || !s.sendable || s.blockSize <= 0;
        }
        if (file.atEnd())
            break;
        if (isPausedNow || !s.sendable || s.blockSize <= 0) {
            if (!idle(idleStepMs))
                break;
            continue;
        }
        if (!acquireCredit())
            break;
        const qint64 want = std::min({s.blockSize, maxBlockSize, std::max<qint64>(fileSize - file.pos(), 1)});
        const QByteArray chunk = file.read(want);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError) {
            qCDebug(lcAssist) << "file send read failed:" << file.errorString();
            break;
        }
        if (!chunk.isEmpty()) {
            {
                std::lock_guard<std::mutex> g(lock);
                inFlightSizes.push_back(chunk.size());
                ++inFlightChunks;
                inFlightBytes += chunk.size();
                peakInFlight = std::max(peakInFlight, inFlightBytes);
            }
            total += chunk.size();
            emit sendData_signal(chunk);
        }
        emit progress_signal(total, fileSize);
        if (s.intervalMs > 0 && !idle(s.intervalMs))
            break;
        if (file.atEnd()) {
            bool again;
            {
                std::lock_guard<std::mutex> g(lock);
                again = current.repeat && !stopRequested;
            }
            if (!again)
                break;
            file.seek(0);
            total = 0;
            emit progress_signal(0, fileSize);
        }
    }
    {
        std::lock_guard<std::mutex> g(lock);
        running = false;
    }
    wake.notify_all();
    emit finished_signal();
}

FileSendDrain::FileSendDrain(QObject* parent)
    : QObject(parent)
{
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, &FileSendDrain::check);
}

void FileSendDrain::watch(QIODevice* dev)
{
    if (dev)
        connect(dev, &QIODevice::bytesWritten, this, &FileSendDrain::check, Qt::UniqueConnection);
}

void FileSendDrain::chunkWritten()
{
    ++unreleased;
    check();
}

void FileSendDrain::check()
{
    if (unreleased == 0) {
        poll.stop();
        return;
    }
    const qint64 b = backlog ? backlog() : 0;
    if (b <= lowWater) {
        if (worker)
            worker->releaseChunks(unreleased);
        unreleased = 0;
        poll.stop();
    } else if (!poll.isActive()) {
        poll.start();
    }
}

void FileSendDrain::reset()
{
    unreleased = 0;
    poll.stop();
}
