// bench_command_run: a saved command of N send/expect rounds run on an assistant panel
// (TCP client, shown offscreen) against a loopback peer that answers each line at once
// from its own thread. Reported: the run's time from start to "passed", rounds per
// second, and the GUI event loop's stall while it runs (lateness of a 10 ms timer: p99
// and max). Targets for 1000 rounds: under 2 s, stall p99 <= 50 ms.
//
// Usage: bench_command_run [rounds, default 1000] [runs, default 3]
// BENCH_SMOKE=1 runs a few rounds once, to show that the program works.

#include "CommandLibrary.h"
#include "UartNetAssist.h"
#include "appdir.h"
#include "stallprobe.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
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

// Listens on 127.0.0.1 (a free port) and answers every "PING\n" of one connection with
// "PONG\n" as soon as it is read.
class Answerer
{
public:
    Answerer()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
            || ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port = ntohs(addr.sin_port);
        thread = std::thread([this]() {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                return;
            conn = fd;
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::string pending;
            char buf[4096];
            for (;;) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0)
                    break;
                pending.append(buf, size_t(n));
                std::string reply;
                for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
                    if (pending.compare(0, nl + 1, "PING\n") == 0)
                        reply += "PONG\n";
                }
                if (!reply.empty() && ::write(fd, reply.data(), reply.size()) != ssize_t(reply.size()))
                    break;
            }
        });
    }
    ~Answerer()
    {
        ::shutdown(listener, SHUT_RDWR);
        if (conn >= 0)
            ::shutdown(conn, SHUT_RDWR);
        if (thread.joinable())
            thread.join();
        if (conn >= 0)
            ::close(conn);
        if (listener >= 0)
            ::close(listener);
    }
    int port = 0;

private:
    int listener = -1;
    std::atomic<int> conn{-1};
    std::thread thread;
};

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir appDir; // the library and the panel's files go here, not beside the program
    setAppDirPath(appDir.path());

    const bool smoke = qgetenv("BENCH_SMOKE") == "1";
    const int rounds = smoke ? 20 : (argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000);
    const int runs = smoke ? 1 : (argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);

    Answerer peer;
    if (peer.port == 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    UartNetAssist panel;
    panel.resize(1000, 700);
    panel.show();
    panel.findChild<QComboBox*>(QStringLiteral("choose_protocol"))->setCurrentIndex(2);
    panel.findChild<QComboBox*>(QStringLiteral("local_ip_list"))->setEditText(QStringLiteral("127.0.0.1"));
    panel.findChild<QComboBox*>(QStringLiteral("remote_ip_port"))->setEditText(QStringLiteral("127.0.0.1:%1").arg(peer.port));
    panel.findChild<QPushButton*>(QStringLiteral("connect"))->click();
    if (!waitFor([&panel]() { return panel.isDeviceOpen(); }, 10000)) {
        std::fprintf(stderr, "the panel did not connect\n");
        return 1;
    }

    CommandLibrary library;
    library.show();
    library.setPanel(&panel);
    QString error;
    if (!library.addCommand(QStringLiteral("ping"),
                            QStringLiteral("repeat %1\nsend PING\\n\nexpect PONG\nend").arg(rounds), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    std::printf("bench_command_run: %d send/expect rounds per run, %d run(s)%s\n", rounds, runs,
                smoke ? " (smoke)" : "");
    std::printf("%4s %10s %12s %10s %10s %s\n", "run", "time", "rounds/s", "stall p99", "stall max", "outcome");
    bool allMet = true;
    for (int r = 1; r <= runs; ++r) {
        bool done = false;
        bool passed = false;
        QString result;
        const auto c = QObject::connect(&library, &CommandLibrary::runFinished, &library,
                                        [&](QObject*, bool ok, const QString& text) {
                                            done = true;
                                            passed = ok;
                                            result = text;
                                        });
        StallProbe probe;
        probe.start();
        QElapsedTimer t;
        t.start();
        if (!library.runCommand(0)) {
            std::fprintf(stderr, "the run did not start\n");
            return 1;
        }
        waitFor([&done]() { return done; }, 60000);
        const double secs = t.nsecsElapsed() / 1e9;
        probe.stop();
        QObject::disconnect(c);
        const double p99 = probe.p99();
        const double worst = probe.worst();
        const bool met = done && passed && (smoke || (secs < 2.0 && p99 <= 50.0));
        allMet = allMet && met;
        std::printf("%4d %8.3f s %12.0f %7.1f ms %7.1f ms %s%s\n", r, secs, rounds / secs, p99, worst,
                    qPrintable(done ? result : QStringLiteral("no result within 60 s")), met ? "" : "  [target missed]");
    }
    std::printf("targets (1000 rounds < 2 s, stall p99 <= 50 ms): %s\n", allMet ? "met" : "NOT met");
    return allMet ? 0 : 1;
}
