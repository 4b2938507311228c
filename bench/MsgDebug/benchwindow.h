#pragma once
// Shared by the debug window benchmarks: a winDebug offscreen, connected to the
// simulator and started, with the record-file question answered.

#include "testutil.h"
#include "winDebug.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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
