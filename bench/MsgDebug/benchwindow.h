#pragma once
// Shared by the debug window benchmarks: a winDebug offscreen, connected to the
// simulator and started, with the record-file question answered.

#include "testutil.h"
#include "winDebug.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Null when the window could not connect or start.
inline winDebug* startedDebugWindow(quint16 port, const QString& recordAnswer)
{
    auto* w = new winDebug;
    w->resize(1000, 700);
    w->show();
    w->connectToHost(QStringLiteral("127.0.0.1"), port);
    QElapsedTimer c;
    c.start();
    while (!w->debugWorker()->isValid() && c.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    testutil::answerNextModal(recordAnswer);
    w->doStart();
    if (!w->debugWorker()->isRunning()) {
        delete w;
        return nullptr;
    }
    return w;
}

// GUI responsiveness: how much later than its 10 ms period each tick of a timer comes.
class StallProbe
{
public:
    explicit StallProbe(std::function<void()> onTick = {})
    {
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, &probe, [this, onTick]() {
            stalls.push_back(std::max<qint64>(0, tick.restart() - 10));
            if (onTick)
                onTick();
        });
    }
    void start()
    {
        tick.start();
        probe.start(10);
    }
    void stop()
    {
        probe.stop();
        std::sort(stalls.begin(), stalls.end());
    }
    // After stop(): the stall at quantile q (0..1) and the largest, in ms.
    long long at(double q) const { return stalls.empty() ? 0 : stalls[size_t(stalls.size() * q)]; }
    long long max() const { return stalls.empty() ? 0 : stalls.back(); }

private:
    QTimer probe;
    QElapsedTimer tick;
    std::vector<qint64> stalls;
};
