// bench_discovery: the simulator answers as 1000 devices (BENCH_DEVICES) in one burst;
// reports the rows shown, the time from the last answer to a complete, formatted table, and
// GUI stalls. BENCH_SMOKE=1: a handful of devices, only to show that the program still runs.
//
// Needs the test network; run as root. Without it, the program re-runs itself through
// tests/IPManager/netns.sh.
#include "IPManager.h"
#include "../../tests/IPManager/simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTimer>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (!Simulator::available()) {
        const QByteArray script = VXA_SOURCE_DIR "/tests/IPManager/netns.sh";
        const QByteArray devsim = VXA_BIN_DIR "/vxa-devsim";
        std::fprintf(stderr, "bench_discovery: starting the test network through %s\n", script.constData());
        execl(script.constData(), script.constData(), devsim.constData(), argv[0], static_cast<char*>(nullptr));
        std::perror("exec netns.sh");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool smoke = qEnvironmentVariableIntValue("BENCH_SMOKE") == 1;
    const int devices = smoke ? 20 : qEnvironmentVariableIsSet("BENCH_DEVICES") ? qEnvironmentVariableIntValue("BENCH_DEVICES") : 1000;

    Simulator sim({QStringLiteral("--devices"), QString::number(devices)});
    if (!sim.isReady()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    IPManager panel;
    panel.resize(1200, 800);
    panel.show();
    auto* table = panel.findChild<QTableWidget*>(QStringLiteral("tableWidget"));
    auto* columnFit = panel.findChild<QTimer*>(QStringLiteral("columnFitTimer"));

    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> lastAnswerNs{0};
    // Direct connection: stamped on the search thread at the moment the answer is stored.
    QObject::connect(&panel, &IPManager::addDevMsg_signal, &panel, [&](int) { lastAnswerNs = clock.nsecsElapsed(); },
                     Qt::DirectConnection);

    std::vector<double> stalls;
    qint64 lastTick = clock.nsecsElapsed();
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &panel, [&] {
        const qint64 now = clock.nsecsElapsed();
        stalls.push_back(std::max(0.0, (now - lastTick) / 1e6 - 10.0));
        lastTick = now;
    });

    qint64 completeNs = -1;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, &panel, [&] {
        // Complete: every row in and the columns fitted to them.
        if (completeNs < 0 && table->rowCount() == devices && columnFit && !columnFit->isActive())
            completeNs = clock.nsecsElapsed();
    });

    bool done = false;
    QObject::connect(&panel, &IPManager::searchDone_signal, &panel, [&] { done = true; });
    lastTick = clock.nsecsElapsed();
    ticker.start();
    watch.start();
    panel.findChild<QPushButton*>(QStringLiteral("btn_serach"))->click();
    QElapsedTimer limit;
    limit.start();
    while (!done && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ticker.stop();
    watch.stop();

    std::sort(stalls.begin(), stalls.end());
    const double p99 = stalls.empty() ? 0.0 : stalls[std::min(stalls.size() - 1, size_t(stalls.size() * 0.99))];
    const double maxStall = stalls.empty() ? 0.0 : stalls.back();
    const double toTableMs = completeNs < 0 ? -1.0 : (completeNs - lastAnswerNs.load()) / 1e6;
    std::printf("devices answering:            %d\n", devices);
    std::printf("rows shown:                   %d (target: all)\n", table->rowCount());
    std::printf("last answer -> full table:    %.1f ms (target <= 1000 ms)\n", toTableMs);
    std::printf("GUI stall p99 / max:          %.1f ms / %.1f ms over %zu ticks (target p99 <= 50 ms, max <= 100 ms)\n", p99,
                maxStall, stalls.size());
    const bool ok = table->rowCount() == devices && toTableMs >= 0 && toTableMs <= 1000 && p99 <= 50 && maxStall <= 100;
    std::printf("%s\n", ok ? "targets met" : "targets NOT met");
    return ok ? 0 : 1;
}
