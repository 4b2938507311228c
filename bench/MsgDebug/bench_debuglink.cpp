// bench_debuglink: the simulator streams 60-byte frames as fast as it can.
//  (a) raw loopback byte rate read and discarded by a plain socket, next to the frames/s
//      decoded by a headless CDebugWorker (counters checked);
//  (b) a winDebug offscreen with saving on: frames/s, GUI stall p99/max, peak RSS,
//      rows shown, and every decoded frame in rs1.txt.
// Usage: bench_debuglink [seconds-per-phase] (default 10; 1 with BENCH_SMOKE=1).

#include "CCirQueue.h"
#include "CDebugWorker.h"
#include "benchwindow.h"
#include "simprocess.h"
#include "testutil.h"
#include "winDebug.h"

#include "benchsmoke.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardItemModel>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
const QStringList SimArgs{QStringLiteral("--rate"), QStringLiteral("0"), QStringLiteral("--frame-size"),
                          QStringLiteral("60"), QStringLiteral("--types"), QStringLiteral("TYPE_A,TYPE_B,TYPE_C")};
const QByteArray StartCmd("\x7d\x7d\x7d\x00\x0b\x80\x00\x02\x7f\x7f\x7f", 11);
const QByteArray StopCmd("\x7d\x7d\x7d\x00\x0b\x80\x01\x03\x7f\x7f\x7f", 11);

long rssKiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool rawPhase(int seconds)
{
    SimProcess sim(SimArgs);
    if (!sim.isValid())
        return false;
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, quint16(sim.port()));
    if (!s.waitForConnected(5000))
        return false;
    long long bytes = 0;
    QObject::connect(&s, &QTcpSocket::readyRead, &s, [&]() { bytes += s.readAll().size(); });
    s.write(StartCmd);
    QElapsedTimer t;
    t.start();
    runFor(seconds * 1000);
    const double secs = t.elapsed() / 1000.0;
    s.write(StopCmd);
    s.waitForBytesWritten(1000);
    std::printf("(a) raw socket     : %.1f MB/s = %.0f frames/s of 60 bytes\n", bytes / secs / 1e6,
                bytes / secs / 60.0);
    return true;
}

bool workerPhase(int seconds)
{
    SimProcess sim(SimArgs);
    if (!sim.isValid())
        return false;
    CDebugWorker w;
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QElapsedTimer c;
    c.start();
    while (!w.isValid() && c.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!w.start())
        return false;
    QElapsedTimer t;
    t.start();
    runFor(seconds * 1000);
    w.stop();
    const double secs = t.elapsed() / 1000.0;
    const int decoded = w.nextIndex() - 1;
    // Every received byte is a decoded frame, a counted error, a block the full queue
    // refused, or still queued.
    const long long accounted = (long long)decoded * 60 + w.formatErrBytes() + w.errSize() + w.droppedBytes()
        + w.queue()->Used();
    const bool ok = w.history().size() == 100 && w.history().last().index == decoded
        && accounted == w.contentBytes();
    std::printf("(a) CDebugWorker   : %.0f frames/s decoded (%d frames = %.1f MB/s; %.1f MB received, %.1f MB "
                "refused by the full queue, format err %lld, err %d, history %d, byte accounting %s)\n",
                decoded / secs, decoded, decoded * 60 / secs / 1e6, w.contentBytes() / 1e6, w.droppedBytes() / 1e6,
                w.formatErrBytes(), w.errSize(), w.history().size(), ok ? "exact" : "INCONSISTENT");
    return ok;
}

bool windowPhase(int seconds)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    SimProcess sim(SimArgs);
    if (!sim.isValid())
        return false;
    winDebug* w = startedDebugWindow(sim.port(), QStringLiteral("&Yes"));
    if (!w)
        return false;

    // GUI responsiveness, and the resident size sampled every tenth tick.
    long peakRss = 0;
    int ticks = 0;
    StallProbe stalls([&]() {
        if (++ticks % 10 == 0)
            peakRss = std::max(peakRss, rssKiB("VmRSS:"));
    });
    stalls.start();
    QElapsedTimer t;
    t.start();
    runFor(seconds * 1000);
    stalls.stop();
    w->doStop();
    const double secs = t.elapsed() / 1000.0;
    runFor(200); // let the last hand-over reach the table
    CDebugWorker* worker = w->debugWorker();
    const int decoded = worker->nextIndex() - 1;
    const long long p99 = stalls.at(0.99);
    const long long maxStall = stalls.max();
    QFile rs(QStringLiteral("rs1.txt"));
    long long records = 0;
    qint64 fileSize = 0;
    if (rs.open(QIODevice::ReadOnly)) {
        fileSize = rs.size();
        QByteArray carry; // a record start may straddle two reads
        while (!rs.atEnd()) {
            const QByteArray chunk = carry + rs.read(1 << 20);
            records += chunk.count("Type::");
            carry = chunk.right(5);
        }
    }
    const int rows = w->frameModel()->rowCount();
    const QString lastLabel = w->frameModel()->verticalHeaderItem(rows - 1)->text();
    std::printf("(b) winDebug       : %.0f frames/s decoded (%d frames), GUI stall p99 %lld ms, max %lld ms, "
                "peak RSS %.1f MiB (HWM %.1f MiB)\n",
                decoded / secs, decoded, (long long)p99, (long long)maxStall, peakRss / 1024.0,
                rssKiB("VmHWM:") / 1024.0);
    std::printf("    table rows %d (last label %s), history %d, frames shed from display %lld, "
                "rs1.txt records %lld (%.1f MB), %.1f MB refused by the full queue, err %d, format err %lld\n",
                rows, qPrintable(lastLabel), worker->history().size(), worker->shedFrames(), records,
                fileSize / 1e6, worker->droppedBytes() / 1e6, worker->errSize(), worker->formatErrBytes());
    const bool ok = rows == 100 && lastLabel.toInt() == decoded && records == decoded && p99 <= 100;
    delete w;
    QDir::setCurrent(previous);
    return ok;
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : benchSmoke() ? 1 : 10;
    bool ok = rawPhase(seconds);
    ok = workerPhase(seconds) && ok;
    ok = windowPhase(seconds) && ok;
    std::printf("%s\n", ok ? "checks passed" : "CHECKS FAILED");
    return ok ? 0 : 1;
}
