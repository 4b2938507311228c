// vxa-dbgsim: a stand-in for a device that reports its internal messages as debug
// frames over TCP. It waits for the start command, then streams frames until the stop
// command; heartbeats are acknowledged on stdout. Faults can be injected on request.
// Every command frame received is printed as "cmd <hex>"; the port as "listening <port>".

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void say(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString hex(const QByteArray& b)
{
    return QString::fromLatin1(b.toHex(' '));
}

struct Options
{
    int rate = 10;          // frames per second, 0 = as fast as possible
    long long count = 0;    // frames per start, 0 = unlimited
    int code = 0;
    QStringList types{QStringLiteral("TYPE_A"), QStringLiteral("TYPE_B")};
    QStringList sources{QStringLiteral("SRC1")};
    int distinctSources = 0; // when set, sources SRC1..SRCn in turn instead of the list
    QStringList destinations{QStringLiteral("DST1")};
    QStringList messages{QStringLiteral("message")};
    int contentSize = 8;
    int frameSize = 0;      // when set, the content is sized to give frames of this length
    bool unknown = false;
    QStringList faults;     // garbage, checksum, tail, split, short-length, zero-length, long-length
    int faultEvery = 1;
    int garbageBytes = 1;
    long long dropAfter = 0; // close the first connection after this many frames
};

void appendElement(QByteArray& body, int type, const QByteArray& value)
{
    body.append(static_cast<char>(type >> 8));
    body.append(static_cast<char>(type));
    body.append(static_cast<char>(value.size() >> 8));
    body.append(static_cast<char>(value.size()));
    body.append(value);
}

QByteArray buildFrame(int code, const QByteArray& body)
{
    const int length = body.size() + 11;
    QByteArray f;
    f.reserve(length);
    f.append("\x7d\x7d\x7d", 3);
    f.append(static_cast<char>(length >> 8));
    f.append(static_cast<char>(length));
    f.append(static_cast<char>(code >> 8));
    f.append(static_cast<char>(code));
    f.append(body);
    unsigned char sum = 0;
    for (char c : f)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    f.append(static_cast<char>(sum));
    f.append("\x7f\x7f\x7f", 3);
    return f;
}

class Client : public QObject
{
public:
    Client(QTcpSocket* s, const Options& o, bool first)
        : socket(s), opt(o), firstConnection(first)
    {
        connect(socket, &QTcpSocket::readyRead, this, [this]() { onRead(); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this]() {
            if (streaming && opt.rate == 0)
                pump();
        });
        // A gone client takes nothing more: writing on would spin on a closed socket.
        connect(socket, &QTcpSocket::disconnected, this, [this]() { stopStreaming(); });
        connect(socket, &QAbstractSocket::errorOccurred, this, [this]() {
            if (socket && socket->state() != QAbstractSocket::ConnectedState)
                stopStreaming();
        });
        connect(&timer, &QTimer::timeout, this, [this]() { onTick(); });
    }

    QPointer<QTcpSocket> socket;

private:
    QByteArray frameAt(long long k) const
    {
        auto pick = [k](const QStringList& l) { return l.isEmpty() ? QByteArray() : l.at(int(k % l.size())).toLocal8Bit(); };
        const QByteArray type = pick(opt.types), dst = pick(opt.destinations), msg = pick(opt.messages);
        const QByteArray src = opt.distinctSources > 0 ? "SRC" + QByteArray::number(k % opt.distinctSources + 1)
                                                       : pick(opt.sources);
        int contentSize = opt.contentSize;
        if (opt.frameSize > 0) {
            const int fixed = 11 + 4 * 5 + type.size() + src.size() + dst.size() + msg.size() + (opt.unknown ? 6 : 0);
            contentSize = qMax(0, opt.frameSize - fixed);
        }
        QByteArray content(contentSize, Qt::Uninitialized);
        for (int i = 0; i < contentSize; ++i)
            content[i] = static_cast<char>((k + i) & 0xff);
        QByteArray body;
        if (opt.unknown)
            appendElement(body, 0x2222, QByteArray("xy", 2));
        appendElement(body, 0x1000, type);
        appendElement(body, 0x1100, src);
        appendElement(body, 0x1101, dst);
        appendElement(body, 0x1200, content);
        appendElement(body, 0x1201, msg);
        return buildFrame(opt.code, body);
    }

    bool faultDue(long long k, const char* name) const
    {
        return opt.faults.contains(QLatin1String(name)) && (k + 1) % opt.faultEvery == 0;
    }

    // Writes frame number k with the faults that are due for it.
    void sendFrame(long long k)
    {
        QByteArray f = frameAt(k);
        QByteArray out;
        if (faultDue(k, "garbage"))
            out.append(QByteArray(opt.garbageBytes, '\0'));
        if (faultDue(k, "short-length"))
            out.append("\x7d\x7d\x7d\x00\x05", 5);
        if (faultDue(k, "zero-length"))
            out.append("\x7d\x7d\x7d\x00\x00\x00\x00", 7);
        if (faultDue(k, "long-length")) {
            f[3] = '\xff';
            f[4] = '\xff';
        }
        if (faultDue(k, "checksum"))
            f[f.size() - 4] = static_cast<char>(f.at(f.size() - 4) + 1);
        if (faultDue(k, "tail"))
            f[f.size() - 1] = '\x00';
        out.append(f);
        if (!connectedSocket())
            return;
        if (faultDue(k, "split")) {
            const int half = out.size() / 2;
            if (!writeOrStop(out.left(half)))
                return;
            socket->flush();
            // Nothing else goes out until the rest has, so the frame arrives whole, late.
            splitPending = true;
            const QByteArray rest = out.mid(half);
            QTimer::singleShot(100, this, [this, rest]() {
                splitPending = false;
                if (!connectedSocket() || !writeOrStop(rest))
                    return;
                if (streaming && opt.rate == 0)
                    pump();
            });
        } else if (!writeOrStop(out)) {
            return;
        }
        ++sent;
        ++totalSent;
        if (opt.count > 0 && sent >= opt.count)
            stopStreaming();
        if (firstConnection && opt.dropAfter > 0 && totalSent >= opt.dropAfter) {
            firstConnection = false;
            stopStreaming();
            say(QStringLiteral("dropping connection"));
            socket->disconnectFromHost();
        }
    }

    void pump()
    {
        // Keep a few MiB queued in the socket; bytesWritten brings us back.
        if (batch.isEmpty() && opt.faults.isEmpty()) {
            for (int k = 0; k < 1000; ++k)
                batch += frameAt(k);
        }
        while (streaming && !splitPending && connectedSocket() && socket->bytesToWrite() < (4 << 20)) {
            if (opt.faults.isEmpty() && opt.count == 0 && opt.dropAfter == 0 && opt.distinctSources == 0) {
                if (!writeOrStop(batch))
                    return;
                sent += 1000;
                totalSent += 1000;
            } else {
                sendFrame(sent);
            }
        }
    }

    // Paced by the time since the start, not by timer ticks: a tick that comes late, or a
    // rate that is not a multiple of the tick, no longer lowers the rate.
    void onTick()
    {
        if (!streaming || !connectedSocket())
            return;
        const long long due = static_cast<long long>(opt.rate) * pace.elapsed() / 1000;
        while (streaming && !splitPending && sent < due)
            sendFrame(sent);
    }

    bool connectedSocket() const { return socket && socket->state() == QAbstractSocket::ConnectedState; }

    bool writeOrStop(const QByteArray& data)
    {
        if (socket->write(data) < 0) {
            say(QStringLiteral("write failed: %1").arg(socket->errorString()));
            stopStreaming();
            return false;
        }
        return true;
    }

    void startStreaming()
    {
        sent = 0;
        streaming = true;
        pace.start();
        if (opt.rate == 0) {
            pump();
        } else {
            timer.start(qBound(1, 1000 / opt.rate, 10));
        }
    }

    void stopStreaming()
    {
        if (streaming)
            say(QStringLiteral("sent %1").arg(sent));
        streaming = false;
        timer.stop();
    }

    void onRead()
    {
        rx += socket->readAll();
        while (rx.size() >= 7) {
            if (!rx.startsWith("\x7d\x7d\x7d")) {
                rx.remove(0, 1);
                continue;
            }
            const int length = (static_cast<unsigned char>(rx[3]) << 8) | static_cast<unsigned char>(rx[4]);
            if (length < 11 || length > 1024) {
                rx.remove(0, 1);
                continue;
            }
            if (rx.size() < length)
                break;
            const QByteArray frame = rx.left(length);
            rx.remove(0, length);
            say(QStringLiteral("cmd %1").arg(hex(frame)));
            const int code = (static_cast<unsigned char>(frame[5]) << 8) | static_cast<unsigned char>(frame[6]);
            if (code == 0x8000)
                startStreaming();
            else if (code == 0x8001)
                stopStreaming();
            else if (code == 0x8100)
                say(QStringLiteral("heartbeat"));
        }
    }

    const Options& opt;
    bool firstConnection;
    QTimer timer;
    QByteArray rx;
    QByteArray batch;
    QElapsedTimer pace;
    bool streaming = false;
    bool splitPending = false;
    long long sent = 0;
    long long totalSent = 0;
};

constexpr long long MaxFrameLength = 0xffff;

long long longestOf(const QStringList& l)
{
    long long n = 0;
    for (const QString& s : l)
        n = qMax<long long>(n, s.toLocal8Bit().size());
    return n;
}

// The longest frame the options can produce (header, five elements, checksum, tail).
long long longestFrame(const Options& o)
{
    const long long source = o.distinctSources > 0 ? 3 + QByteArray::number(o.distinctSources).size()
                                                   : longestOf(o.sources);
    const long long fixed = 11 + 4 * 5 + longestOf(o.types) + source + longestOf(o.destinations)
        + longestOf(o.messages) + (o.unknown ? 6 : 0);
    return o.frameSize > 0 ? qMax<long long>(o.frameSize, fixed) : fixed + o.contentSize;
}

QStringList splitList(const QString& s)
{
    return s.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vxa-dbgsim"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulated device for the Message Debug tool."));
    p.addHelpOption();
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("TCP port (0 = any free port)."), QStringLiteral("n"), QStringLiteral("60000"));
    const QCommandLineOption hostOpt(QStringLiteral("host"), QStringLiteral("Loopback address to listen on."), QStringLiteral("addr"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption rateOpt(QStringLiteral("rate"), QStringLiteral("Frames per second, 0 = as fast as possible."), QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("Frames per start command, 0 = unlimited."), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption codeOpt(QStringLiteral("code"), QStringLiteral("Message code of the frames."), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption typesOpt(QStringLiteral("types"), QStringLiteral("Comma-separated types, used in turn."), QStringLiteral("list"));
    const QCommandLineOption srcOpt(QStringLiteral("sources"), QStringLiteral("Comma-separated sources."), QStringLiteral("list"));
    const QCommandLineOption dstOpt(QStringLiteral("destinations"), QStringLiteral("Comma-separated destinations."), QStringLiteral("list"));
    const QCommandLineOption msgOpt(QStringLiteral("messages"), QStringLiteral("Comma-separated messages."), QStringLiteral("list"));
    const QCommandLineOption contentOpt(QStringLiteral("content-size"), QStringLiteral("Bytes of content per frame."), QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption frameOpt(QStringLiteral("frame-size"), QStringLiteral("Total frame length; sizes the content."), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption unknownOpt(QStringLiteral("unknown"), QStringLiteral("Add an element of unknown type to each frame."));
    const QCommandLineOption faultOpt(QStringLiteral("fault"), QStringLiteral("Inject: garbage, checksum, tail, split, short-length, zero-length, long-length (repeatable)."), QStringLiteral("kind"));
    const QCommandLineOption everyOpt(QStringLiteral("fault-every"), QStringLiteral("Inject the faults into every n-th frame."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption garbageOpt(QStringLiteral("garbage-bytes"), QStringLiteral("Garbage bytes per injection."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption dropOpt(QStringLiteral("drop-after"), QStringLiteral("Close the first connection after n frames."), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption distinctOpt(QStringLiteral("distinct-sources"), QStringLiteral("Use n generated sources SRC1..SRCn in turn."), QStringLiteral("n"), QStringLiteral("0"));
    p.addOptions({portOpt, hostOpt, rateOpt, countOpt, codeOpt, typesOpt, srcOpt, dstOpt, msgOpt, contentOpt,
                  frameOpt, unknownOpt, faultOpt, everyOpt, garbageOpt, dropOpt, distinctOpt});
    p.process(app);

    Options opt;
    opt.rate = qMax(0, p.value(rateOpt).toInt());
    opt.count = qMax(0LL, p.value(countOpt).toLongLong());
    opt.code = p.value(codeOpt).toInt(nullptr, 0);
    if (p.isSet(typesOpt))
        opt.types = splitList(p.value(typesOpt));
    if (p.isSet(srcOpt))
        opt.sources = splitList(p.value(srcOpt));
    if (p.isSet(dstOpt))
        opt.destinations = splitList(p.value(dstOpt));
    if (p.isSet(msgOpt))
        opt.messages = splitList(p.value(msgOpt));
    bool contentOk = false, frameOk = false, distinctOk = false;
    opt.contentSize = p.value(contentOpt).toInt(&contentOk);
    opt.frameSize = p.value(frameOpt).toInt(&frameOk);
    opt.distinctSources = p.value(distinctOpt).toInt(&distinctOk);
    if (!contentOk || opt.contentSize < 0 || !frameOk || opt.frameSize < 0 || opt.frameSize > MaxFrameLength
        || !distinctOk || opt.distinctSources < 0) {
        say(QStringLiteral("error: --content-size, --frame-size and --distinct-sources take a number from 0 "
                           "(frames at most %1 bytes)").arg(MaxFrameLength));
        return 2;
    }
    opt.unknown = p.isSet(unknownOpt);
    // The length field has 16 bits: a longer frame would go out with a wrapped length.
    const long long longest = longestFrame(opt);
    if (longest > MaxFrameLength) {
        say(QStringLiteral("error: frames of %1 bytes do not fit the 16-bit length field (at most %2)")
                .arg(longest)
                .arg(MaxFrameLength));
        return 2;
    }
    opt.faults = p.values(faultOpt);
    opt.faultEvery = qMax(1, p.value(everyOpt).toInt());
    opt.garbageBytes = qBound(1, p.value(garbageOpt).toInt(), 65536);
    opt.dropAfter = qMax(0LL, p.value(dropOpt).toLongLong());

    const QHostAddress host(p.value(hostOpt));
    if (!host.isLoopback()) {
        say(QStringLiteral("error: only loopback addresses are allowed"));
        return 2;
    }
    QTcpServer server;
    if (!server.listen(host, static_cast<quint16>(p.value(portOpt).toUInt()))) {
        say(QStringLiteral("error: %1").arg(server.errorString()));
        return 1;
    }
    say(QStringLiteral("listening %1").arg(server.serverPort()));

    std::vector<std::unique_ptr<Client>> clients;
    bool first = true;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&]() {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            say(QStringLiteral("connected"));
            clients.push_back(std::make_unique<Client>(s, opt, first));
            first = false;
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QTcpSocket::disconnected, &server, []() { say(QStringLiteral("disconnected")); });
        }
    });
    return app.exec();
}
