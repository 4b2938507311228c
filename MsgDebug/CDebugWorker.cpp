#include "CDebugWorker.h"

#include "CCirQueue.h"
#include "tcpClientSocket_.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <chrono>

namespace {
constexpr unsigned char Head = 0x7D;
constexpr unsigned char Tail = 0x7F;
constexpr int RecordFlushSize = 1 << 20;
constexpr int RelayIntervalMs = 25;
// Largest block read from the socket per notification, so the GUI thread's work per
// event stays small however fast the device sends.
constexpr qint64 SocketReadChunk = 1 << 20;

inline int be16(const char* p)
{
    return (static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1]);
}

inline bool isHead(const char* p)
{
    return static_cast<unsigned char>(p[0]) == Head && static_cast<unsigned char>(p[1]) == Head
        && static_cast<unsigned char>(p[2]) == Head;
}

inline bool isTail(const char* p)
{
    return static_cast<unsigned char>(p[0]) == Tail && static_cast<unsigned char>(p[1]) == Tail
        && static_cast<unsigned char>(p[2]) == Tail;
}

QByteArray hexText(const QByteArray& data)
{
    static const char digits[] = "0123456789abcdef";
    QByteArray out;
    out.resize(data.size() * 3);
    char* o = out.data();
    for (char c : data) {
        const auto b = static_cast<unsigned char>(c);
        *o++ = digits[b >> 4];
        *o++ = digits[b & 0xf];
        *o++ = ' ';
    }
    return out;
}
} // namespace

void registerCommandMetaTypes()
{
    qRegisterMetaType<Command>("Debug command structure");
    qRegisterMetaType<QList<Command>>("Command list");
    qRegisterMetaType<Command>();
    qRegisterMetaType<QList<Command>>();
}

CDebugWorker::CDebugWorker(QObject* parent)
    : QObject(parent)
{
    cmdBuffer[0] = Head;
    cmdBuffer[1] = Head;
    cmdBuffer[2] = Head;
    registerCommandMetaTypes();
    initialize();
}

CDebugWorker::~CDebugWorker()
{
    // The device's last signals must not reach a half-destroyed owner.
    if (tcpDevice)
        disconnect(tcpDevice, nullptr, this, nullptr);
    if (running.load())
        stop();
    joinParser();
    if (tcpDevice) {
        // Closing aborts the socket; the stop command must leave before that.
        QTcpSocket* socket = tcpDevice->tcpSocket();
        if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
            socket->flush();
            if (socket->bytesToWrite() > 0)
                socket->waitForBytesWritten(100);
        }
        tcpDevice->close();
    }
    delete tcpDevice;
    tcpDevice = nullptr;
    cirQueue.reset();
}

void CDebugWorker::initialize()
{
    cirQueue = std::make_shared<CCirQueue>();
    cirQueue->Initial(QueueSize, MaxFrontSize);
    tcpDevice = new tcpClientSocket_;
    tcpDevice->tcpSocket()->setReadBufferSize(SocketReadChunk);
    connect(tcpDevice, &AbsIoDevice::receiveData, this,
            [this](const QByteArray& data, const QString&, int) { receiveBlock(data); }, Qt::DirectConnection);
    connect(tcpDevice, &tcpClientSocket_::connected_signal, this, &CDebugWorker::connected);
    connect(tcpDevice, &tcpClientSocket_::disConnect_signal, this, &CDebugWorker::disconnected);
    connect(&heartbeatTimer, &QTimer::timeout, this, &CDebugWorker::sendHeartBeatCmd);
}

void CDebugWorker::connectToHost(QString ip, int port)
{
    tcpDevice->connectServer(ip, port);
}

bool CDebugWorker::isValid() const
{
    return tcpDevice && tcpDevice->isValid();
}

bool CDebugWorker::start()
{
    if (running.load())
        return false;
    running = true;
    joinParser();
    cirQueue->Reset();
    parserThread = std::thread(&CDebugWorker::thrParseDebugMsg, this);
    heartbeatTimer.start(1000);
    if (sendStartDebugCmd() != 0) {
        // Leave nothing half-running, so that Start can simply be pressed again.
        running = false;
        joinParser();
        heartbeatTimer.stop();
        return false;
    }
    return true;
}

void CDebugWorker::stop()
{
    running = false;
    joinParser();
    sendStopDebugCmd();
    heartbeatTimer.stop();
}

void CDebugWorker::joinParser()
{
    if (!parserThread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
    }
    wake.notify_all();
    parserThread.join();
}

void CDebugWorker::clearHistory()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        historyList.clear();
        pendingFrames.clear();
        nextIndexValue = 1;
    }
    contentSizeValue = 0;
    errSizeValue = 0;
    formatErrSizeValue = 0;
    droppedSizeValue = 0;
}

int CDebugWorker::fillCmd(unsigned short code, unsigned char* payload, int n)
{
    if (n < 0 || n > static_cast<int>(sizeof(cmdBuffer)) - MinFrameSize)
        return 0;
    const int length = n + MinFrameSize;
    cmdBuffer[3] = static_cast<unsigned char>(length >> 8);
    cmdBuffer[4] = static_cast<unsigned char>(length);
    cmdBuffer[5] = static_cast<unsigned char>(code >> 8);
    cmdBuffer[6] = static_cast<unsigned char>(code);
    if (n > 0 && payload)
        memcpy(cmdBuffer + 7, payload, static_cast<size_t>(n));
    unsigned char sum = 0;
    for (int k = 0; k <= n + 6; ++k)
        sum = static_cast<unsigned char>(sum + cmdBuffer[k]);
    cmdBuffer[n + 7] = sum;
    cmdBuffer[n + 8] = Tail;
    cmdBuffer[n + 9] = Tail;
    cmdBuffer[n + 10] = Tail;
    return length;
}

int CDebugWorker::executeCommand(const char* data, int n, int /*timeout*/)
{
    if (!tcpDevice || !tcpDevice->isValid() || n <= 0)
        return -1;
    tcpDevice->write(QByteArray(data, n));
    return 0;
}

int CDebugWorker::sendStartDebugCmd()
{
    const int n = fillCmd(0x8000, nullptr, 0);
    return executeCommand(reinterpret_cast<const char*>(cmdBuffer), n, 500);
}

int CDebugWorker::sendStopDebugCmd()
{
    const int n = fillCmd(0x8001, nullptr, 0);
    return executeCommand(reinterpret_cast<const char*>(cmdBuffer), n, 500);
}

int CDebugWorker::sendHeartBeatCmd()
{
    const int n = fillCmd(0x8100, nullptr, 0);
    return executeCommand(reinterpret_cast<const char*>(cmdBuffer), n, 500);
}

void CDebugWorker::receiveBlock(const QByteArray& data)
{
    if (!data.isEmpty()) {
        // A block the full queue refuses is lost, but still counted as received.
        if (cirQueue->Push(data.constData(), data.size()) != 0)
            droppedSizeValue += data.size();
        wake.notify_one();
    }
    contentSizeValue += data.size();
    emit updateContentSize(contentSize());
}

CDebugWorker::Step CDebugWorker::parseStep()
{
    const char* view = nullptr;
    if (cirQueue->Front(view, 7) != 0)
        return Step::NeedMore;
    const int length = be16(view + 3);
    // A bad head, or a length that cannot be a frame, is skipped one byte at a time.
    if (!isHead(view) || length < MinFrameSize || length > MaxFrontSize) {
        cirQueue->Pop(1);
        addFormatError(1);
        return Step::Progress;
    }
    if (cirQueue->Front(view, length) != 0)
        return Step::Incomplete;
    if (isTail(view + length - 3)) {
        // Decoded in place; the view stays valid until the Pop.
        parseMsgIntoCommand(QByteArray::fromRawData(view, length));
        cirQueue->Pop(length);
    } else {
        cirQueue->Pop(length);
        addFormatError(length);
    }
    return Step::Progress;
}

int CDebugWorker::parsePending()
{
    int examined = 0;
    while (parseStep() == Step::Progress)
        ++examined;
    flushRecords();
    return examined;
}

void CDebugWorker::thrParseDebugMsg()
{
    while (running.load()) {
        const Step step = parseStep();
        if (step == Step::Progress)
            continue;
        flushRecords();
        // Woken early by new data or by stop; the timeouts only bound the wait.
        std::unique_lock<std::mutex> lock(wakeMutex);
        if (!running.load())
            break;
        wake.wait_for(lock, step == Step::NeedMore ? std::chrono::milliseconds(100)
                                                   : std::chrono::milliseconds(1));
    }
    flushRecords();
}

void CDebugWorker::addFormatError(int size)
{
    formatErrSizeValue += size;
    formatErrDirty = true;
    scheduleRelay();
}

void CDebugWorker::reject(const QString& text, int size)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        lastErrorText = text;
    }
    errSizeValue += size;
    errDirty = true;
    scheduleRelay();
}

void CDebugWorker::parseMsgIntoCommand(QByteArray data)
{
    const int d = data.size();
    if (d == 0) {
        reject(tr("Received data is empty!"), d);
        return;
    }
    const char* p = data.constData();
    if (d < 6 || !isHead(p) || !isTail(p + d - 3)) {
        reject(tr("Head or tail is wrong!"), d);
        return;
    }
    const int length = be16(p + 3);
    // The length field must describe exactly this frame, or the checksum would be read
    // outside it.
    if (length < MinFrameSize || length != d) {
        reject(tr("Length is wrong!"), d);
        return;
    }
    unsigned char sum = 0;
    for (int k = 0; k <= length - 5; ++k)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(p[k]));
    if (sum != static_cast<unsigned char>(p[length - 4])) {
        reject(tr("Checksum is not equal!"), d);
        return;
    }

    Command cmd;
    cmd.time = decodeTime();
    cmd.kind = kindOfCode(be16(p + 5));
    const char* body = p + 7;
    const int bodyLength = length - MinFrameSize;
    int offset = 0;
    // An element that runs past the body ends the walk: nothing outside the frame is read.
    while (offset < bodyLength && offset + 4 <= bodyLength) {
        const int type = be16(body + offset);
        const int n = be16(body + offset + 2);
        if (offset + 4 + n > bodyLength)
            break;
        const char* value = body + offset + 4;
        switch (type) {
        case 0x1000: cmd.type = QString::fromLocal8Bit(value, n); break;
        case 0x1100: cmd.source = QString::fromLocal8Bit(value, n); break;
        case 0x1101: cmd.destination = QString::fromLocal8Bit(value, n); break;
        case 0x1200: cmd.content = QByteArray(value, n); break;
        case 0x1201: cmd.message = QString::fromLocal8Bit(value, n); break;
        default: break;
        }
        offset += 4 + n;
    }

    bool flush = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (historyList.size() >= HistorySize)
            historyList.removeFirst();
        cmd.index = nextIndexValue++;
        historyList.append(cmd);
        if (pendingFrames.size() >= HistorySize) {
            pendingFrames.removeFirst();
            ++shedFrameCount;
        }
        pendingFrames.append(cmd);
        if (!recordPath.isEmpty()) {
            if (recordTextStale) {
                cachedDateText = cmd.time.toString(QStringLiteral("yyyyMMdd")).toLatin1();
                cachedTimeText = cmd.time.toString(QStringLiteral("hh:mm:ss")).toLatin1();
                recordTextStale = false;
            }
            appendRecord(recordBuffer, cmd, cachedDateText, cachedTimeText);
            flush = recordBuffer.size() >= RecordFlushSize;
        }
    }
    emit updateFrameInner(cmd.index, cmd.time, cmd.type, cmd.source, cmd.destination, cmd.content,
                          cmd.message);
    scheduleRelay();
    if (flush)
        flushRecords();
}

QDateTime CDebugWorker::decodeTime()
{
    const auto now = std::chrono::steady_clock::now();
    if (!cachedTime.isValid() || now - cachedTimeAt >= std::chrono::milliseconds(1)) {
        cachedTime = QDateTime::currentDateTime();
        cachedTimeAt = now;
        recordTextStale = true;
    }
    return cachedTime;
}

void CDebugWorker::scheduleRelay()
{
    if (!relayScheduled.exchange(true))
        QMetaObject::invokeMethod(this, &CDebugWorker::relayFrames, Qt::QueuedConnection);
}

void CDebugWorker::relayFrames()
{
    // At most one hand-over per interval: frames gather meanwhile (newest 100 kept).
    if (lastRelay.isValid() && lastRelay.elapsed() < RelayIntervalMs) {
        QTimer::singleShot(int(RelayIntervalMs - lastRelay.elapsed()), this, &CDebugWorker::relayFrames);
        return;
    }
    lastRelay.start();
    relayScheduled = false;
    QList<Command> batch;
    QString error;
    {
        std::lock_guard<std::mutex> lock(mutex);
        batch.swap(pendingFrames);
        error = lastErrorText;
    }
    if (errDirty.exchange(false))
        emit updateErrSize(errSize(), error);
    if (formatErrDirty.exchange(false))
        emit updateFormatErrSize(formatErrSize());
    for (const Command& c : qAsConst(batch))
        emit updateFrame(c.index, c.time, c.type, c.source, c.destination, c.content, c.message);
}

void CDebugWorker::setRecordFile(const QString& path)
{
    flushRecords();
    std::lock_guard<std::mutex> lock(mutex);
    recordPath = path;
    recordFailReported = false;
}

void CDebugWorker::flushRecords()
{
    QByteArray data;
    QString path;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (recordBuffer.isEmpty())
            return;
        data.swap(recordBuffer);
        path = recordPath;
    }
    QFile file(path);
    // The frames are dropped but the session goes on; the user hears of it once.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    ok = ok && file.write(data) == data.size();
    ok = ok && file.flush();
    if (ok)
        return;
    const QString reason = file.errorString();
    bool report = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        report = !recordFailReported && path == recordPath;
        recordFailReported = true;
    }
    if (report)
        emit recordFailed(QFileInfo(path).absoluteFilePath(), reason);
}

QByteArray CDebugWorker::formatRecord(const Command& cmd)
{
    QByteArray r;
    r.reserve(128 + cmd.content.size() * 3);
    appendRecord(r, cmd, cmd.time.toString(QStringLiteral("yyyyMMdd")).toLatin1(),
                 cmd.time.toString(QStringLiteral("hh:mm:ss")).toLatin1());
    return r;
}

void CDebugWorker::appendRecord(QByteArray& r, const Command& cmd, const QByteArray& date, const QByteArray& time)
{
    r += "Type::";
    r += cmd.type.toUtf8();
    r += "  Source::";
    r += cmd.source.toUtf8();
    r += "  Destination::";
    r += cmd.destination.toUtf8();
    r += "  Data::";
    r += hexText(cmd.content);
    r += "  Date::";
    r += date;
    r += "  Time::";
    r += time;
    r += "  Description::";
    r += cmd.message.toUtf8();
    r += "\r\n\r\n";
}

int CDebugWorker::kindOfCode(int code)
{
    switch (code) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 4;
    case 3: return 8;
    case 16: return 16;
    default: return 0;
    }
}

QList<Command> CDebugWorker::history() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return historyList;
}

int CDebugWorker::nextIndex() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return nextIndexValue;
}

QString CDebugWorker::lastError() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return lastErrorText;
}
