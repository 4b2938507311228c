#pragma once

#include "CDebugWorker.h"

#include <QCoreApplication>

// One application object and one worker for the whole run: the worker's 32 MiB queue is
// allocated once and emptied between inputs.
inline CDebugWorker& fuzzWorker()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static CDebugWorker worker;
    return worker;
}
