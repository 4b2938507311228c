#!/usr/bin/env bash
# Runs a test program at the end of a slow link: two throw-away network namespaces joined
# by a veth pair, 198.18.1.1 on the server side and 198.18.1.2 on the test side. The test
# side sends through a tbf queue of 200 kbit/s that the test keeps filled with filler
# datagrams, so every handshake waits behind the queue (the kernel here has no netem).
# A TCP echo server (socat) listens on 198.18.1.1:7001, a UDP one on 7002. The test side has hosts and
# resolv.conf files of its own (vxa-loop.test is 127.0.0.1, name queries go to the
# namespace's own loopback), so no name lookup ever leaves it. Everything is removed on
# every exit path.
#
# usage: slowlink.sh <test program> [test arguments...]
# Exit code 77 (skip) when not root or when namespaces, tc or socat are not available.
set -u

skip() {
    echo "SKIP: $*"
    exit 77
}

[ $# -ge 1 ] || { echo "usage: $0 <test program> [args]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || skip "the slow link needs root (network namespaces, tc)"
command -v ip >/dev/null 2>&1 || skip "the 'ip' command (iproute2) is not installed"
command -v tc >/dev/null 2>&1 || skip "the 'tc' command (iproute2) is not installed"
command -v socat >/dev/null 2>&1 || skip "socat is not installed"
ip netns list >/dev/null 2>&1 || skip "'ip netns' is not available"

TEST=$1
shift

# Unique per run, so parallel runs cannot clash; interface names stay within 15 characters.
NS_PEER="vxa-slp-$$"
NS_TEST="vxa-slt-$$"
IF_PEER="vsp$$"
IF_TEST="vst$$"

NETNS_ETC=/etc/netns
MADE_NETNS_ETC=0
[ -d "$NETNS_ETC" ] || MADE_NETNS_ETC=1

. "$(dirname "$0")/../../scripts/netpair.sh"
cleanup() {
    rm -rf "${NETNS_ETC:?}/$NS_TEST"
    [ "$MADE_NETNS_ETC" -eq 1 ] && rmdir "$NETNS_ETC" 2>/dev/null
    vxa_netpair_down
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# 'ip netns exec' puts these over /etc inside the namespace.
mkdir -p "$NETNS_ETC/$NS_TEST" || exit 1
printf '127.0.0.1 localhost\n127.0.0.1 vxa-loop.test\n' > "$NETNS_ETC/$NS_TEST/hosts" || exit 1
printf 'nameserver 127.0.0.1\n' > "$NETNS_ETC/$NS_TEST/resolv.conf" || exit 1

vxa_netpair_up "$NS_PEER" "$NS_TEST" "$IF_PEER" "$IF_TEST" 198.18.1.1/24 198.18.1.2/24
case $? in
    0) ;;
    1) skip "cannot create a network namespace here (no privilege in this container?)" ;;
    *) exit 1 ;;
esac
# A deep queue (8 s at this rate), so filler and handshakes wait in it instead of being dropped.
tc -n "$NS_TEST" qdisc add dev "$IF_TEST" root tbf rate 200kbit burst 1600 limit 200000 \
    || skip "the tbf queue discipline is not available"

ip netns exec "$NS_PEER" socat TCP-LISTEN:7001,bind=198.18.1.1,reuseaddr,fork EXEC:cat </dev/null >/dev/null 2>&1 &
for _ in $(seq 1 200); do
    ip netns exec "$NS_PEER" ss -ltn 2>/dev/null | grep -q '198.18.1.1:7001' && break
    sleep 0.05
done
ip netns exec "$NS_PEER" ss -ltn 2>/dev/null | grep -q '198.18.1.1:7001' || { echo "echo server did not start" >&2; exit 1; }

# A UDP echo beside it (datagrams up to 64 KiB), for the UDP bridge.
ip netns exec "$NS_PEER" socat -b 65536 UDP4-LISTEN:7002,bind=198.18.1.1 PIPE </dev/null >/dev/null 2>&1 &

export VXA_SLOWLINK_SERVER=198.18.1.1
export VXA_SLOWLINK_UDP_PORT=7002
export VXA_SLOWLINK_PORT=7001
export VXA_SLOWLINK_RATE=25000 # bytes per second of the tbf queue
# Bounded here, below CTest's own timeout, so that the clean-up above always runs.
timeout -k 5 "${VXA_NETNS_TIMEOUT:-100}" ip netns exec "$NS_TEST" "$TEST" "$@"
