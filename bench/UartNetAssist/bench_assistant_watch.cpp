// bench_assistant_watch: what the serial port watch and the UDP sender history cost the
// GUI thread.
//
// 1. 64 assistant panels on the serial page, run for a while; reported: lateness of a
//    10 ms timer (p99 and max). For comparison the same with 64 timers that each list
//    the ports the old way (a synchronous "ls /dev | grep ttyS" every 5 s).
// 2. The UDP sender history: 2000 datagrams from senders drawn out of 20000, through the
//    bounded history, and through an unbounded list searched linearly for comparison.
//
// Usage: bench_assistant_watch [seconds per run, default 12; 1 with BENCH_SMOKE=1]

#include "RecentList.h"
#include "UartNetAssist.h"
#include "appdir.h"
#include "serialPortDevice_.h"

#include "benchsmoke.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Lateness
{
    qint64 p99 = 0;
    qint64 max = 0;
};

// Runs the event loop for `ms` and measures how late a 10 ms timer fires.
Lateness runLoop(int ms)
{
    std::vector<qint64> late;
    QElapsedTimer clock;
    clock.start();
    qint64 expected = 10;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        const qint64 now = clock.elapsed();
        late.push_back(std::max<qint64>(0, now - expected));
        expected = now + 10;
    });
    tick.start(10);
    QTimer::singleShot(ms, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    std::sort(late.begin(), late.end());
    Lateness l;
    if (!late.empty()) {
        l.p99 = late.at(late.size() * 99 / 100);
        l.max = late.back();
    }
    return l;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(6, atoi(argv[1])) : benchSmoke() ? 1 : 12;
    QTemporaryDir dir;
    setAppDirPath(dir.path());

    {
        std::vector<std::unique_ptr<QTimer>> oldWatches;
        for (int i = 0; i < 64; ++i) {
            auto t = std::make_unique<QTimer>();
            QObject::connect(t.get(), &QTimer::timeout, [] { (void)getSerialPortList(); });
            t->start(5000 + i); // spread a little, as panels made one after another
            oldWatches.push_back(std::move(t));
        }
        const Lateness l = runLoop(seconds * 1000);
        std::printf("64 per-panel synchronous port listings: timer late p99 %lld ms, max %lld ms\n",
                    static_cast<long long>(l.p99), static_cast<long long>(l.max));
    }
    {
        std::vector<std::unique_ptr<UartNetAssist>> panels;
        for (int i = 0; i < 64; ++i)
            panels.push_back(std::make_unique<UartNetAssist>());
        const Lateness l = runLoop(seconds * 1000);
        std::printf("64 panels on the shared port watch:     timer late p99 %lld ms, max %lld ms\n",
                    static_cast<long long>(l.p99), static_cast<long long>(l.max));
    }

    QStringList senders;
    for (int i = 0; i < 20000; ++i)
        senders << QStringLiteral("10.%1.%2.1:%3").arg(i / 250).arg(i % 250).arg(4000 + i % 7);
    std::vector<int> order;
    for (int i = 0; i < 22000; ++i)
        order.push_back(static_cast<int>(QRandomGenerator::global()->bounded(20000)));
    {
        RecentList history(100);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 22000; ++i) {
            if (i == 20000)
                t.restart(); // the last 2000 datagrams, on a full history
            history.touch(senders.at(order.at(static_cast<size_t>(i))));
        }
        std::printf("bounded history (100): 2000 datagrams in %.3f ms\n", t.nsecsElapsed() / 1e6);
    }
    {
        QStringList history;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 22000; ++i) {
            if (i == 20000)
                t.restart();
            const QString& key = senders.at(order.at(static_cast<size_t>(i)));
            history.removeAll(key);
            history.append(key);
        }
        std::printf("unbounded list (%d):  2000 datagrams in %.3f ms\n", int(history.size()), t.nsecsElapsed() / 1e6);
    }
    setAppDirPath(QString());
    return 0;
}
