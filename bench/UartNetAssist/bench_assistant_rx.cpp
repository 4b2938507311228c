// bench_assistant_rx: how fast one assistant panel (TCP server on loopback, shown
// offscreen) takes a flood, compared with a plain QTcpSocket reader that only counts.
//
// For each display mode (text, hex, hex with time stamps) and each scrollback (the
// default 50 lines, and 100000) a sender thread writes the same amount as fast as it
// can, first to the plain reader, then to the panel. Reported:
// MB/s of each and their ratio, the GUI event loop's stall (lateness of a 10 ms timer:
// p99 and max), peak RSS growth while the panel receives, and whether the panel's
// receive counter equals the bytes sent.
//
// Usage: bench_assistant_rx [MiB per run, default 256] [only this mode: text|hex|stamps, or all]
//   (BENCH_SMOKE=1: 4 MiB, one round)
//                           [rounds per mode, default 3] [scrollback lines, default 50,100000]

#include "AssistPrefs.h"
#include "UartNetAssist.h"
#include "appdir.h"
#include "benchsmoke.h"
#include "stallprobe.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

long rssKiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Printable text with a line feed every 100 bytes, so the text view sees real lines.
QByteArray makeBlock()
{
    QByteArray b(64 * 1024, Qt::Uninitialized);
    for (int i = 0; i < b.size(); ++i)
        b[i] = (i % 100 == 99) ? '\n' : char(0x20 + (i * 7) % 95);
    return b;
}

// Writes `total` bytes to 127.0.0.1:port from its own thread, as fast as the socket takes them.
class Sender
{
public:
    Sender(quint16 port, qint64 total)
    {
        thread = std::thread([port, total, this]() {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(port);
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
                failed = true;
                if (fd >= 0)
                    ::close(fd);
                return;
            }
            const QByteArray block = makeBlock();
            qint64 left = total;
            while (left > 0) {
                const qint64 n = std::min<qint64>(left, block.size());
                const ssize_t w = ::send(fd, block.constData(), size_t(n), 0);
                if (w <= 0) {
                    failed = true;
                    break;
                }
                left -= w;
                sent += w;
            }
            ::shutdown(fd, SHUT_WR);
            char c;
            while (::recv(fd, &c, 1, 0) > 0) { } // until the reader closes
            ::close(fd);
        });
    }
    ~Sender() { thread.join(); }
    std::atomic<qint64> sent{0};
    std::atomic<bool> failed{false};

private:
    std::thread thread;
};

// The plain reader: accepts one connection and counts what it reads. Returns MB/s.
double runPlain(qint64 total, std::vector<double>& lateMs)
{
    StallProbe probe;
    probe.start();
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    qint64 got = 0;
    QElapsedTimer t;
    QTcpSocket* sock = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&]() {
        sock = server.nextPendingConnection();
        QObject::connect(sock, &QTcpSocket::readyRead, &server, [&]() {
            if (!t.isValid())
                t.start(); // timed from the first byte, as the panel is
            got += sock->readAll().size();
        });
    });
    double secs = 0;
    {
        Sender sender(server.serverPort(), total);
        while (got < total && !sender.failed)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        secs = t.nsecsElapsed() / 1e9;
        probe.stop();
        if (sock)
            sock->close();
    }
    lateMs.insert(lateMs.end(), probe.lateMs.begin(), probe.lateMs.end());
    return total / 1048576.0 / secs;
}

struct PanelResult
{
    double mbps = 0;
    std::vector<double> lateMs; // every lateness sample of the 10 ms timer
    double rssGrowthMiB = 0;
    bool exact = false;
    quint64 counted = 0;
};

PanelResult runPanel(const QString& options, qint64 total, int scrollback)
{
    PanelResult r;
    AssistViewPrefs prefs;
    prefs.scrollback = scrollback;
    AssistShared::instance().setView(prefs); // read by the panel when it is made
    UartNetAssist panel;
    panel.resize(1000, 700);
    panel.show();
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    panel.ApplyConfig(QStringLiteral("1,127.0.0.1,%1,%2,0_0_0_1000_0_x_0_0,,").arg(port).arg(options));
    panel.findChild<QPushButton*>(QStringLiteral("connect"))->click();
    auto* recvLabel = panel.findChild<QLabel*>(QStringLiteral("recv_label"));
    const auto counted = [recvLabel]() { return recvLabel->text().mid(5).toULongLong(); };
    QCoreApplication::processEvents();

    const long rssBefore = rssKiB();
    long peakRss = rssBefore;
    StallProbe probeTimer([&peakRss]() { peakRss = std::max(peakRss, rssKiB()); });
    probeTimer.start();
    QElapsedTimer t;
    {
        Sender sender(port, total);
        // Timed from the first byte the panel counts.
        while (counted() == 0 && !sender.failed)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        t.start();
        QElapsedTimer guard;
        guard.start();
        while (qint64(counted()) < total && !sender.failed && guard.elapsed() < 600000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        r.mbps = (total / 1048576.0) / (t.nsecsElapsed() / 1e9);
        // Let the last display update through before the panel goes.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        probeTimer.stop();
        r.counted = counted();
        r.exact = qint64(r.counted) == total && sender.sent == total;
        panel.CloseDevice();
    }
    r.lateMs = probeTimer.lateMs;
    r.rssGrowthMiB = (peakRss - rssBefore) / 1024.0;
    return r;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir appDir; // the panel's history file goes here, not beside the program
    QDir(appDir.path()).mkpath(QStringLiteral("config"));
    setAppDirPath(appDir.path());

    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : benchSmoke() ? 4 : 256;
    const qint64 total = mib * 1048576;
    QList<int> scrollbacks;
    for (const QByteArray& n : (argc > 4 ? QByteArray(argv[4]) : QByteArray("50,100000")).split(','))
        scrollbacks << qBound(AssistViewPrefs::minScrollback, n.toInt(), AssistViewPrefs::maxScrollback);
    std::printf("bench_assistant_rx: %lld MiB per run; view bound: scrollback lines, and "
                "max(%d, 128 per line) characters\n",
                static_cast<long long>(mib), UartNetAssist::recvViewMaxChars);
    std::printf("%-18s %7s %10s %10s %7s %9s %9s %10s %s\n", "mode", "lines", "plain MB/s", "panel MB/s",
                "ratio", "stall p99", "stall max", "RSS +MiB", "count");
    std::fflush(stdout);

    const struct
    {
        const char* name;
        const char* options; // wrap_time_hex
    } modes[] = {{"text", "1_0_0"}, {"hex", "1_0_1"}, {"hex + time stamps", "1_1_1"}};
    QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    if (only == "all")
        only.clear();
    // The machine may be shared: each mode runs a few rounds; throughput is the median,
    // the stall is taken over the samples of all rounds, memory from the worst round.
    const int rounds = argc > 3 ? std::max(1, atoi(argv[3])) : benchSmoke() ? 1 : 3;
    bool allExact = true;
    for (const int lines : scrollbacks) {
        for (const auto& m : modes) {
            if (!only.isEmpty() && !QByteArray(m.name).startsWith(only == "stamps" ? QByteArray("hex +") : only))
                continue;
            if (only == "hex" && QByteArray(m.name) != "hex")
                continue;
            std::vector<double> plain, panel, late, plainLate;
            PanelResult worst;
            worst.exact = true;
            for (int i = 0; i < rounds; ++i) {
                plain.push_back(runPlain(total, plainLate));
                const PanelResult r = runPanel(QString::fromLatin1(m.options), total, lines);
                panel.push_back(r.mbps);
                late.insert(late.end(), r.lateMs.begin(), r.lateMs.end());
                worst.rssGrowthMiB = std::max(worst.rssGrowthMiB, r.rssGrowthMiB);
                worst.exact = worst.exact && r.exact;
                allExact = allExact && r.exact;
                worst.counted = r.counted;
            }
            std::sort(plain.begin(), plain.end());
            std::sort(panel.begin(), panel.end());
            const double plainMed = plain[plain.size() / 2];
            const double panelMed = panel[panel.size() / 2];
            std::printf("%-18s %7d %10.0f %10.0f %7.2f %6.1f ms %6.1f ms %10.1f %s (%llu of %lld)"
                        "   [plain reader stall p99 %.1f ms, max %.1f ms]\n",
                        m.name, lines, plainMed, panelMed, panelMed / plainMed, percentile(late, 0.99),
                        percentile(late, 1.0), worst.rssGrowthMiB, worst.exact ? "exact" : "WRONG",
                        static_cast<unsigned long long>(worst.counted), static_cast<long long>(total),
                        percentile(plainLate, 0.99), percentile(plainLate, 1.0));
            std::fflush(stdout);
        }
    }
    setAppDirPath(QString());
    return allExact ? 0 : 1;
}
