// bench_debugrules: filter rules of the debug window when a device reports many distinct
// sources.
//  (a) doUpdateFrame called directly with a new source in every frame: cost per 1000
//      frames once the rule list is full, and the rule counts (bounded per kind);
//  (b) end to end: the simulator at 2000 frames/s cycling through 20000 sources, a
//      winDebug offscreen with one chosen rule; GUI stall p50/p99/max measured by a 10 ms
//      timer. Target: no stall of 100 ms or more.
// Usage: bench_debugrules [seconds for (b)] (default 20; 2 with BENCH_SMOKE=1).

#include "MySortFilterProxyModel.h"
#include "benchwindow.h"
#include "simprocess.h"
#include "testutil.h"
#include "winDebug.h"

#include "benchsmoke.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

Command frame(int k, int sources)
{
    Command c;
    c.index = k;
    c.time = QDateTime::currentDateTime();
    c.type = QStringLiteral("TYPE_%1").arg(k % 3);
    c.source = QStringLiteral("SRC%1").arg(k % sources + 1);
    c.destination = QStringLiteral("DST1");
    c.content = QByteArray(16, char(k));
    c.message = QStringLiteral("message");
    return c;
}

bool directPhase()
{
    winDebug w;
    w.resize(1000, 700);
    w.show();
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboBox"));
    const int sources = 20000;
    QElapsedTimer t;
    double worstPer1000 = 0;
    int k = 1;
    for (int block = 0; block < 20; ++block) {
        t.start();
        for (int i = 0; i < 1000; ++i, ++k)
            w.doUpdateFrame(frame(k, sources));
        worstPer1000 = std::max(worstPer1000, t.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    const int srcRules = w.knownRules().filter(QStringLiteral("[SRC]:")).size();
    std::printf("(a) doUpdateFrame  : 20000 frames, each with a new source: worst 1000 frames %.1f ms; "
                "rules %d ([SRC] %d), combo items %d\n",
                worstPer1000, w.knownRules().size(), srcRules, combo->count());
    return srcRules == winDebug::MaxRulesPerKind && combo->count() == w.knownRules().size() + 1;
}

bool windowPhase(int seconds)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("2000"), QStringLiteral("--distinct-sources"),
                    QStringLiteral("20000"), QStringLiteral("--types"), QStringLiteral("TYPE_A,TYPE_B,TYPE_C")});
    if (!sim.isValid())
        return false;
    winDebug* w = startedDebugWindow(sim.port(), QStringLiteral("&No"));
    if (!w)
        return false;
    QElapsedTimer c;
    c.start();
    // Choose one rule early on; it has to survive the whole run.
    auto* combo = w->findChild<QComboBox*>(QStringLiteral("comboBox"));
    while (combo->findText(QStringLiteral("[TYPE]:TYPE_B")) < 0 && c.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    combo->setCurrentIndex(combo->findText(QStringLiteral("[TYPE]:TYPE_B")));

    StallProbe stalls;
    stalls.start();
    QElapsedTimer t;
    t.start();
    runFor(seconds * 1000);
    stalls.stop();
    w->doStop();
    const double secs = t.elapsed() / 1000.0;
    runFor(200);
    const int decoded = w->debugWorker()->nextIndex() - 1;
    const long long maxStall = stalls.max();
    const QStringList rules = w->knownRules();
    const bool chosenKept = w->chosenRules() == QStringList{QStringLiteral("[TYPE]:TYPE_B")};
    std::printf("(b) winDebug       : %.0f frames/s decoded (%d frames in %.1f s), frames shed from display %lld,\n"
                "                     GUI stall p50 %lld ms, p99 %lld ms, max %lld ms; rules %d ([SRC] %d), "
                "combo items %d, chosen rule kept: %s\n",
                decoded / secs, decoded, secs, w->debugWorker()->shedFrames(), stalls.at(0.5), stalls.at(0.99), maxStall,
                rules.size(), rules.filter(QStringLiteral("[SRC]:")).size(), combo->count(), chosenKept ? "yes" : "NO");
    const bool ok = maxStall < 100 && chosenKept && rules.filter(QStringLiteral("[SRC]:")).size() <= winDebug::MaxRulesPerKind;
    delete w;
    QDir::setCurrent(previous);
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : benchSmoke() ? 2 : 20;
    bool ok = directPhase();
    ok = windowPhase(seconds) && ok;
    std::printf("%s\n", ok ? "checks passed" : "CHECKS FAILED");
    return ok ? 0 : 1;
}
