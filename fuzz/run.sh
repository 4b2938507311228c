#!/usr/bin/env bash
# Builds every libFuzzer target (CMake targets named fuzz_*) with clang into build-fuzz/
# and runs each for FUZZ_SECONDS seconds (default 60), then prints the executions and
# findings of each. Seeds are taken from fuzz/<module>/corpus/<target>/ when present;
# the growing corpus lives in build-fuzz/corpus/<target>/, crashes in build-fuzz/artifacts/<target>/.
#
# usage: fuzz/run.sh [target...]      (default: all fuzz_* targets)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${VXA_FUZZ_BUILD:-$ROOT/build-fuzz}
SECS=${FUZZ_SECONDS:-60}

command -v clang >/dev/null && command -v clang++ >/dev/null || { echo "clang and clang++ are needed" >&2; exit 1; }

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT}
    fi
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVXA_FUZZ=ON "${launcher[@]}"
fi

if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(cmake --build "$BUILD" --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | grep -v '_autogen' | sort -u)
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz_* targets found" >&2; exit 1; }

cmake --build "$BUILD" -j 2 --target "${targets[@]}"

summary=()
failed=0
for t in "${targets[@]}"; do
    bin=$(find "$BUILD" -type f -name "$t" -perm -u+x | head -n 1)
    [ -n "$bin" ] || { echo "$t: binary not found" >&2; failed=1; continue; }
    corpus="$BUILD/corpus/$t"
    artifacts="$BUILD/artifacts/$t"
    mkdir -p "$corpus" "$artifacts"
    seeds=()
    for s in "$ROOT"/fuzz/*/corpus/"$t"; do
        [ -d "$s" ] && seeds+=("$s")
    done
    log="$BUILD/$t.log"
    echo "== $t: ${SECS}s"
    rc=0
    "$bin" -max_total_time="$SECS" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1 || rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    findings=$(find "$artifacts" -type f | wc -l)
    [ "$rc" -eq 0 ] || failed=1
    summary+=("$t: executions=${execs:-?} findings=$findings exit=$rc corpus=$(find "$corpus" -type f | wc -l) log=$log")
done

echo
echo "Fuzzing summary (${SECS}s per target):"
printf '  %s\n' "${summary[@]}"
exit $failed
