#!/usr/bin/env bash
# Runs a test program inside a throw-away test network: two network namespaces joined
# by a veth pair (198.18.0.1 on the simulator side, 198.18.0.2 on the test side).
# The test starts the device simulator in the other namespace through the variables
# below. Everything is removed on every exit path.
#
# usage: netns.sh <vxa-devsim> <test program> [test arguments...]
# Exit code 77 (skip) when not root or when network namespaces are not available.
set -u

skip() {
    echo "SKIP: $*"
    exit 77
}

[ $# -ge 2 ] || { echo "usage: $0 <vxa-devsim> <test program> [args]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || skip "the test network needs root (network namespaces, raw frames)"
command -v ip >/dev/null 2>&1 || skip "the 'ip' command (iproute2) is not installed"
ip netns list >/dev/null 2>&1 || skip "'ip netns' is not available"

DEVSIM=$1
TEST=$2
shift 2

# Unique per run, so parallel runs cannot clash; interface names stay within 15 characters.
NS_SIM="vxa-sim-$$"
NS_TEST="vxa-tst-$$"
IF_SIM="vxs$$"
IF_TEST="vxt$$"

cleanup() {
    local ns pid
    for ns in "$NS_SIM" "$NS_TEST"; do
        if ip netns list 2>/dev/null | grep -qw "$ns"; then
            # Only processes inside our own namespaces: what this run started.
            for pid in $(ip netns pids "$ns" 2>/dev/null); do
                kill "$pid" 2>/dev/null
            done
            ip netns del "$ns" 2>/dev/null
        fi
    done
    ip link del "$IF_SIM" 2>/dev/null
    true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$NS_SIM" 2>/dev/null || skip "cannot create a network namespace here (no privilege in this container?)"
ip netns add "$NS_TEST" || exit 1
ip link add "$IF_SIM" type veth peer name "$IF_TEST" || exit 1
ip link set "$IF_SIM" netns "$NS_SIM" || exit 1
ip link set "$IF_TEST" netns "$NS_TEST" || exit 1
ip -n "$NS_SIM" addr add 198.18.0.1/24 dev "$IF_SIM" || exit 1
ip -n "$NS_TEST" addr add 198.18.0.2/24 dev "$IF_TEST" || exit 1
ip -n "$NS_SIM" link set lo up
ip -n "$NS_TEST" link set lo up
ip -n "$NS_SIM" link set "$IF_SIM" up || exit 1
ip -n "$NS_TEST" link set "$IF_TEST" up || exit 1

export VXA_NETNS_SIM="$NS_SIM"
export VXA_SIM_IFACE="$IF_SIM"
export VXA_TEST_IFACE="$IF_TEST"
export VXA_DEVSIM="$DEVSIM"
# Bounded here, below CTest's own timeout, so that the clean-up above always runs.
timeout -k 5 "${VXA_NETNS_TIMEOUT:-200}" ip netns exec "$NS_TEST" "$TEST" "$@"
