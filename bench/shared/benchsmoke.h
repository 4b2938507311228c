#pragma once

// The benchmarks' smoke mode: BENCH_SMOKE=1 runs each program on a few MiB for a second
// or two with every check still made, so that ./test.sh notices a benchmark that broke.

#include <QtGlobal>

inline bool benchSmoke()
{
    return qEnvironmentVariableIntValue("BENCH_SMOKE") == 1;
}
