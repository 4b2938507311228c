// Throughput, latency, memory and GUI responsiveness of a VCOM TCP client bridge,
// next to socat alone bridging a pseudo-terminal to the same kind of TCP sink.
// Everything runs on loopback; needs root for the links under /dev.
//
//   bench_bridge [--mib 256] [--messages 1000] [--rss-seconds 15] [--only a|b|c|d|abcd|r]
//   (BENCH_SMOKE=1: --mib 4 --messages 100 --rss-seconds 2)
//
// (a) throughput both ways, median of three runs, target >= 0.8 x socat;
// (b) latency of 32-byte requests with the default packing interval, (b') with
//     packing interval 0 (target median <= 1 ms, p99 <= 5 ms), next to socat alone;
// (c) memory against a slow sink; (d) throughput with the data monitor open;
// r: one reverse bridge run alone, to profile (perf record -g --inherit ...).

#include "ConnectionUnit.h"
#include "VSPConnectionMsg.h"
#include "VSPortFunction.h"

#include "benchsmoke.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0, Clock::time_point t1)
{
    return std::chrono::duration<double>(t1 - t0).count();
}

qint64 rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Runs the event loop until cond() holds or timeoutMs passed.
bool waitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&]() {
        if (cond() || t.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(1);
    if (!cond())
        loop.exec();
    return cond();
}

int openRawPty(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

bool writeAll(int fd, const char* data, size_t size, const std::atomic<bool>* stop = nullptr)
{
    while (size > 0) {
        if (stop && stop->load())
            return false;
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 50);
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A loopback TCP peer on its own thread: counts what arrives (optionally at a
// limited rate), or sends a given amount, or records arrival times of fixed-size messages.
class TcpPeer
{
public:
    enum Mode { Count, Send, Latency };

    TcpPeer(Mode mode, qint64 amount, qint64 rateBytesPerSec = 0)
        : mode(mode)
        , amount(amount)
        , rate(rateBytesPerSec)
    {
        listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listenFd, 4);
        socklen_t len = sizeof addr;
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        worker = std::thread([this]() { run(); });
    }
    ~TcpPeer()
    {
        stop = true;
        ::shutdown(listenFd, SHUT_RDWR);
        if (connFd >= 0)
            ::shutdown(connFd, SHUT_RDWR);
        worker.join();
        if (connFd >= 0)
            ::close(connFd);
        ::close(listenFd);
    }

    quint16 port = 0;
    std::atomic<bool> accepted{false};
    std::atomic<qint64> received{0};
    std::atomic<bool> stop{false};
    Clock::time_point doneAt;
    std::atomic<bool> done{false};
    std::vector<Clock::time_point> arrivals;
    int messageSize = 32;

private:
    void run()
    {
        connFd = ::accept(listenFd, nullptr, nullptr);
        if (connFd < 0)
            return;
        accepted = true;
        if (mode == Send) {
            std::vector<char> block(64 * 1024, 'r');
            qint64 left = amount;
            while (left > 0 && !stop) {
                const size_t n = static_cast<size_t>(std::min<qint64>(left, qint64(block.size())));
                if (!writeAll(connFd, block.data(), n, &stop))
                    return;
                left -= qint64(n);
            }
            return;
        }
        std::vector<char> buf(256 * 1024);
        auto windowStart = Clock::now();
        qint64 windowBytes = 0;
        while (!stop) {
            size_t want = buf.size();
            if (rate > 0) {
                const qint64 budget = rate / 10 - windowBytes; // per 100 ms
                if (budget <= 0) {
                    std::this_thread::sleep_until(windowStart + std::chrono::milliseconds(100));
                    windowStart = Clock::now();
                    windowBytes = 0;
                    continue;
                }
                want = std::min<size_t>(want, size_t(budget));
            }
            const ssize_t n = ::recv(connFd, buf.data(), want, 0);
            if (n <= 0)
                return;
            windowBytes += n;
            const qint64 total = received += n;
            if (mode == Latency) {
                while (qint64(arrivals.size()) < total / messageSize)
                    arrivals.push_back(Clock::now());
            }
            if (amount > 0 && total >= amount && !done) {
                doneAt = Clock::now();
                done = true;
            }
        }
    }

    Mode mode;
    qint64 amount;
    qint64 rate;
    int listenFd = -1;
    int connFd = -1;
    std::thread worker;
};

// Samples the GUI thread's timer lateness and the process's RSS while alive.
class GuiProbe
{
public:
    GuiProbe()
    {
        last.start();
        QObject::connect(&timer, &QTimer::timeout, &timer, [this]() {
            const qint64 gap = last.restart();
            stalls.push_back(std::max<qint64>(0, gap - 10));
            peakRss = std::max(peakRss, rssKiB());
        });
        timer.start(10);
    }
    qint64 stallPercentile(double p) const
    {
        if (stalls.empty())
            return 0;
        std::vector<qint64> s = stalls;
        std::sort(s.begin(), s.end());
        return s[std::min(s.size() - 1, size_t(p * double(s.size())))];
    }
    QTimer timer;
    QElapsedTimer last;
    std::vector<qint64> stalls;
    qint64 peakRss = 0;
};

struct Bridge
{
    std::unique_ptr<VSPConnectionMsg> panel;
    QString userPort;
};

int freeNumber()
{
    VSPortFunction probe;
    const QStringList offered = offeredComNames(probe.LoadBusyNames());
    for (int n = 250; n >= 200; --n) {
        const QString a = QStringLiteral("/dev/ttyS%1").arg(n);
        const QString b = QStringLiteral("/dev/ttyS%1").arg(n + 256);
        if (offered.contains(QStringLiteral("ttyS%1").arg(n)) && !QFileInfo(a).isSymLink() && !QFileInfo::exists(a)
            && !QFileInfo(b).isSymLink() && !QFileInfo::exists(b))
            return n;
    }
    return 0;
}

class Bench
{
public:
    Bench(int mib, int messages, int rssSeconds)
        : total(qint64(mib) * 1024 * 1024)
        , messages(messages)
        , rssSeconds(rssSeconds)
    {
    }

    int run()
    {
        number = freeNumber();
        if (!number) {
            std::printf("no free connection number\n");
            return 1;
        }
        std::printf("connection ttyS%d, %lld MiB per throughput run\n\n", number, total / (1024 * 1024));

        if (parts == QLatin1String("r")) {
            // one reverse run of the bridge alone, for a profiler
            std::printf("(a) TCP -> port, bridge only: %.1f MB/s\n", throughput(true, true, false));
            return 0;
        }
        if (parts.contains(QLatin1Char('a'))) {
            // Median of three runs each, interleaved, so one noisy run does not decide.
            for (bool reverse : {false, true}) {
                std::vector<double> bridgeRuns, socatRuns, pairRuns;
                for (int run = 0; run < 3; ++run) {
                    bridgeRuns.push_back(throughput(true, reverse, false));
                    socatRuns.push_back(throughput(false, reverse, false));
                    pairRuns.push_back(throughput(false, reverse, false, true));
                }
                const double b = median(bridgeRuns), s = median(socatRuns);
                std::printf("(a) %s  bridge %.1f MB/s (runs %.1f %.1f %.1f), socat %.1f MB/s (runs %.1f %.1f %.1f), "
                            "ratio %.2f, target >= 0.80: %s\n",
                            reverse ? "TCP -> port:" : "port -> TCP:", b, bridgeRuns[0], bridgeRuns[1], bridgeRuns[2],
                            s, socatRuns[0], socatRuns[1], socatRuns[2], b / s, b >= 0.8 * s ? "met" : "NOT met");
                std::printf("    ceiling of any bridge behind the pair (pair + socat port<->TCP): %.1f MB/s, "
                            "ratio %.2f; bridge / ceiling %.2f\n",
                            median(pairRuns), median(pairRuns) / s, b / median(pairRuns));
                std::fflush(stdout);
            }
            std::printf("\n");
        }

        if (parts.contains(QLatin1Char('b'))) {
            latency(true, 50);
            latency(true, 0);
            latency(false, 0);
        }
        if (parts.contains(QLatin1Char('c')))
            memory();
        if (parts.contains(QLatin1Char('d')))
            throughput(true, false, true);
        return 0;
    }

private:
    bool createPair()
    {
        const QString name = QStringLiteral("ttyS%1").arg(number);
        return pairs.CreatePair(name, PairedComName(name));
    }
    void deletePair() { pairs.DeletePair(QStringLiteral("ttyS%1").arg(number)); }

    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }

    std::unique_ptr<VSPConnectionMsg> makeBridge(quint16 port, int packMs = 50)
    {
        VSP_CONNECTION_PARAMS p;
        p.type = QStringLiteral("Client");
        p.com_name1 = QStringLiteral("ttyS%1").arg(number);
        p.com_name2 = PairedComName(p.com_name1);
        p.name = QStringLiteral("bench");
        p.client_ip_addr = QStringLiteral("127.0.0.1");
        p.client_port = QString::number(port);
        p.pack_ms = QString::number(packMs);
        return std::make_unique<VSPConnectionMsg>(CONNECTION_CLIENT, p, number);
    }

    // Starts socat alone: a pseudo-terminal at link, connected to the TCP peer.
    std::unique_ptr<QProcess> startSocat(const QString& link, quint16 port)
    {
        auto proc = std::make_unique<QProcess>();
        proc->start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(link),
                                             QStringLiteral("tcp:127.0.0.1:%1").arg(port)});
        waitUntil([&]() { return QFileInfo(link).isSymLink(); }, 5000);
        return proc;
    }

    void stopSocat(std::unique_ptr<QProcess>& proc)
    {
        proc->terminate();
        if (!proc->waitForFinished(3000))
            proc->kill();
        proc->waitForFinished(3000);
    }

    // MB/s of one run of `total` bytes; the reverse run sends from the TCP peer.
    // viaPair (with bridge false): the VCOM pair with plain socat on its bridge side, the
    // most any bridge behind a socat pair can reach.
    double throughput(bool bridge, bool reverse, bool withMonitor, bool viaPair = false)
    {
        QTemporaryDir tmp;
        TcpPeer peer(reverse ? TcpPeer::Send : TcpPeer::Count, total);
        std::unique_ptr<VSPConnectionMsg> panel;
        std::unique_ptr<QProcess> socat;
        QString port;
        if (bridge) {
            if (!createPair()) {
                std::printf("pair creation failed: %s\n", qPrintable(pairs.lastError()));
                return 0;
            }
            panel = makeBridge(peer.port);
            port = QStringLiteral("/dev/ttyS%1").arg(number);
            if (withMonitor)
                panel->findChild<QPushButton*>(QStringLiteral("data_monitor"))->click();
        } else if (viaPair) {
            if (!createPair())
                return 0;
            port = QStringLiteral("/dev/ttyS%1").arg(number);
            socat = std::make_unique<QProcess>();
            socat->start(QStringLiteral("socat"), {QStringLiteral("/dev/ttyS%1,raw,echo=0").arg(number + 256),
                                                  QStringLiteral("tcp:127.0.0.1:%1").arg(peer.port)});
        } else {
            port = tmp.filePath(QStringLiteral("pty"));
            socat = startSocat(port, peer.port);
        }
        waitUntil([&]() { return peer.accepted.load(); }, 10000);

        const qint64 idleRss = rssKiB();
        GuiProbe probe;
        std::atomic<bool> finished{false};
        std::atomic<qint64> got{0};
        Clock::time_point start = Clock::now();
        Clock::time_point end;
        std::thread io([&]() {
            const int fd = openRawPty(port);
            if (fd < 0)
                return;
            if (!reverse) {
                std::vector<char> block(64 * 1024);
                for (size_t i = 0; i < block.size(); ++i)
                    block[i] = char(i * 7);
                start = Clock::now();
                for (qint64 left = total; left > 0; left -= qint64(block.size())) {
                    if (!writeAll(fd, block.data(), block.size(), &finished))
                        break;
                }
            } else {
                std::vector<char> buf(256 * 1024);
                start = Clock::now();
                while (got < total && !finished) {
                    pollfd p{fd, POLLIN, 0};
                    if (::poll(&p, 1, 50) <= 0)
                        continue;
                    const ssize_t n = ::read(fd, buf.data(), buf.size());
                    if (n < 0 && (errno == EAGAIN || errno == EINTR))
                        continue;
                    if (n <= 0)
                        break;
                    got += n;
                }
                end = Clock::now();
            }
            ::close(fd);
        });
        const bool ok = waitUntil([&]() { return reverse ? got.load() >= total : peer.done.load(); }, 600000);
        if (!reverse)
            end = peer.doneAt;
        finished = true;
        io.join();
        const double mbps = ok ? double(total) / 1e6 / secondsSince(start, end) : 0;
        if (withMonitor) {
            std::printf("(d) port -> TCP with the data monitor open: %.1f MB/s, GUI stall p50 %lld ms, p99 %lld ms, "
                        "max %lld ms; RSS idle %lld MiB, peak %lld MiB\n",
                        mbps, probe.stallPercentile(0.5), probe.stallPercentile(0.99), probe.stallPercentile(1.0),
                        idleRss / 1024, probe.peakRss / 1024);
        } else if (bridge && !reverse) {
            std::printf("    (GUI stall without monitor: p99 %lld ms, peak RSS %lld MiB)\n",
                        probe.stallPercentile(0.99), probe.peakRss / 1024);
        }
        if (!ok)
            std::printf("    run did not complete (%s, %s)\n", bridge ? "bridge" : "socat", reverse ? "reverse" : "forward");
        panel.reset();
        if (socat)
            stopSocat(socat);
        if (bridge || viaPair)
            deletePair();
        return mbps;
    }

    // (b) with the default packing interval, (b') with none, next to socat alone.
    void latency(bool bridge, int packMs)
    {
        QTemporaryDir tmp;
        TcpPeer peer(TcpPeer::Latency, 0);
        std::unique_ptr<VSPConnectionMsg> panel;
        std::unique_ptr<QProcess> socat;
        QString port;
        if (bridge) {
            if (!createPair())
                return;
            panel = makeBridge(peer.port, packMs);
            port = QStringLiteral("/dev/ttyS%1").arg(number);
        } else {
            port = tmp.filePath(QStringLiteral("pty"));
            socat = startSocat(port, peer.port);
        }
        waitUntil([&]() { return peer.accepted.load(); }, 10000);
        std::vector<Clock::time_point> sent;
        std::atomic<bool> finished{false};
        std::thread writer([&]() {
            const int fd = openRawPty(port);
            if (fd < 0)
                return;
            const QByteArray msg(32, 'm');
            auto next = Clock::now();
            for (int i = 0; i < messages && !finished; ++i) {
                std::this_thread::sleep_until(next);
                sent.push_back(Clock::now());
                writeAll(fd, msg.constData(), size_t(msg.size()), &finished);
                next += std::chrono::milliseconds(100);
            }
            ::close(fd);
        });
        waitUntil([&]() { return peer.received.load() >= qint64(messages) * 32; }, messages * 100 + 10000);
        finished = true;
        writer.join();
        std::vector<double> ms;
        for (size_t i = 0; i < std::min(sent.size(), peer.arrivals.size()); ++i)
            ms.push_back(std::chrono::duration<double, std::milli>(peer.arrivals[i] - sent[i]).count());
        std::sort(ms.begin(), ms.end());
        if (ms.empty()) {
            std::printf("(b) no messages arrived\n");
        } else {
            const double med = ms[ms.size() / 2];
            const double p99 = ms[std::min(ms.size() - 1, size_t(0.99 * double(ms.size())))];
            if (!bridge)
                std::printf("(b) socat alone: %zu messages of 32 bytes, latency median %.2f ms, p99 %.2f ms\n",
                            ms.size(), med, p99);
            else if (packMs > 0)
                std::printf("(b) bridge, pack_ms %d: %zu messages of 32 bytes, latency median %.2f ms, p99 %.2f ms\n",
                            packMs, ms.size(), med, p99);
            else
                std::printf("(b') bridge, pack_ms 0: %zu messages of 32 bytes, latency median %.2f ms, p99 %.2f ms; "
                            "target median <= 1 ms, p99 <= 5 ms: %s\n",
                            ms.size(), med, p99, med <= 1.0 && p99 <= 5.0 ? "met" : "NOT met");
        }
        std::fflush(stdout);
        panel.reset();
        if (bridge)
            deletePair();
        else
            stopSocat(socat);
    }

    // A sink that takes 1 MB/s while the writer pushes as fast as it can.
    void memory()
    {
        TcpPeer peer(TcpPeer::Count, 0, 1000000);
        if (!createPair())
            return;
        auto panel = makeBridge(peer.port);
        waitUntil([&]() { return peer.accepted.load(); }, 10000);
        const qint64 idle = rssKiB();
        GuiProbe probe;
        std::atomic<bool> finished{false};
        std::atomic<qint64> written{0};
        const QString port = QStringLiteral("/dev/ttyS%1").arg(number);
        std::thread writer([&]() {
            const int fd = openRawPty(port);
            if (fd < 0)
                return;
            std::vector<char> block(64 * 1024, 'w');
            while (!finished) {
                if (!writeAll(fd, block.data(), block.size(), &finished))
                    break;
                written += qint64(block.size());
            }
            ::close(fd);
        });
        QElapsedTimer t;
        t.start();
        waitUntil([&]() { return t.elapsed() > rssSeconds * 1000; }, rssSeconds * 1000 + 1000);
        finished = true;
        writer.join();
        std::printf("\n(c) sink at 1 MB/s for %d s: writer got %.1f MB in, sink took %.1f MB; RSS idle %lld MiB, "
                    "peak %lld MiB, growth %lld MiB\n",
                    rssSeconds, double(written.load()) / 1e6, double(peer.received.load()) / 1e6, idle / 1024,
                    probe.peakRss / 1024, (probe.peakRss - idle) / 1024);
        std::fflush(stdout);
        panel.reset();
        deletePair();
    }

public:
    QString parts = QStringLiteral("abcd");

private:
    VSPortFunction pairs;
    qint64 total;
    int messages;
    int rssSeconds;
    int number = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (::geteuid() != 0) {
        std::printf("bench_bridge needs root for the links under /dev\n");
        return 1;
    }
    int mib = 256, messages = 1000, rssSeconds = 15;
    if (benchSmoke()) {
        mib = 4;
        messages = 20;
        rssSeconds = 2;
    }
    QString only;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--mib"))
            mib = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--messages"))
            messages = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rss-seconds"))
            rssSeconds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--only"))
            only = args[i + 1];
    }
    Bench bench(mib, messages, rssSeconds);
    if (!only.isEmpty())
        bench.parts = only;
    return bench.run();
}
