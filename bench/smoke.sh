#!/usr/bin/env bash
# Runs every benchmark program in its smoke mode (BENCH_SMOKE=1: a few MiB, a second or
# two, every check still made), so that a benchmark that no longer works is noticed.
# Programs that need root are skipped, with a note, when not run as root.
#
# usage: smoke.sh <build/bench directory>
set -u
dir=$(cd "${1:?usage: $0 <bench directory>}" && pwd) || exit 1
# What the programs write into the current directory (rs1.txt) goes with this folder.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export BENCH_SMOKE=1
export QT_QPA_PLATFORM=offscreen
failed=()
for bench in "$dir"/bench_*; do
    [ -x "$bench" ] || continue
    name=$(basename "$bench")
    case $name in
        bench_bridge | bench_discovery)
            if [ "$(id -u)" -ne 0 ]; then
                echo "== $name: skipped (needs root)"
                continue
            fi ;;
    esac
    echo "== $name"
    start=$(date +%s%N)
    timeout -k 5 120 "$bench" </dev/null 2>&1 | grep -v 'does not support propagateSizeHints'
    rc=${PIPESTATUS[0]}
    echo "== $name: exit $rc after $(( ($(date +%s%N) - start) / 1000000 )) ms"
    [ "$rc" -eq 0 ] || failed+=("$name")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "all benchmarks ran"
