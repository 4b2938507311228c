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

. "$(dirname "$0")/../../scripts/netpair.sh"
# /etc/netns/<namespace> holds files a test lays over /etc inside that namespace (a test user).
trap 'vxa_netpair_down; rm -rf "/etc/netns/$NS_SIM" "/etc/netns/$NS_TEST"; rmdir /etc/netns 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM

vxa_netpair_up "$NS_SIM" "$NS_TEST" "$IF_SIM" "$IF_TEST" 198.18.0.1/24 198.18.0.2/24
case $? in
    0) ;;
    1) skip "cannot create a network namespace here (no privilege in this container?)" ;;
    *) exit 1 ;;
esac

export VXA_NETNS_SIM="$NS_SIM"
export VXA_SIM_IFACE="$IF_SIM"
export VXA_TEST_IFACE="$IF_TEST"
export VXA_DEVSIM="$DEVSIM"
# Bounded here, below CTest's own timeout, so that the clean-up above always runs.
timeout -k 5 "${VXA_NETNS_TIMEOUT:-200}" ip netns exec "$NS_TEST" "$TEST" "$@"
