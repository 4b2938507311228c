#pragma once

// GUI responsiveness for the benchmarks: how much later than its 10 ms period each tick of
// a timer on the GUI thread comes, with the percentiles the figures quote.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

// The value at quantile p (0..1) of v, rounded to the nearest sample.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

class StallProbe : public QObject
{
public:
    // onTick runs at every tick, e.g. to sample the memory in use meanwhile.
    explicit StallProbe(std::function<void()> onTick = {})
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, this, [this, onTick]() {
            const qint64 now = clock.nsecsElapsed();
            if (last >= 0)
                lateMs.push_back(std::max(0.0, (now - last) / 1e6 - 10.0));
            last = now;
            if (onTick)
                onTick();
        });
    }
    void start()
    {
        lateMs.clear();
        last = -1;
        clock.start();
        timer.start();
    }
    void stop() { timer.stop(); }
    double p99() const { return percentile(lateMs, 0.99); }
    double worst() const { return lateMs.empty() ? 0 : *std::max_element(lateMs.begin(), lateMs.end()); }

    std::vector<double> lateMs;

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = -1;
};
