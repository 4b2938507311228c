# Two throw-away network namespaces joined by a veth pair, for the tests and tools that
# need a network of their own (raw frames, slow links). Sourced, not run.
#
#   vxa_netpair_up NS_A NS_B IF_A IF_B ADDR_A/LEN ADDR_B/LEN
#       returns 1 when the first namespace cannot be made (no privilege: callers skip),
#       2 when a later step fails;
#   vxa_netpair_down
#       removes what vxa_netpair_up made, killing only processes inside those namespaces;
#       safe on every exit path, also after a partial set-up, and under set -e.

VXA_NETPAIR_NS=()
VXA_NETPAIR_IF=""

vxa_netpair_up() {
    # Remembered first, so that a set-up that stops half-way is still removed.
    VXA_NETPAIR_NS=("$1" "$2")
    VXA_NETPAIR_IF=$3
    ip netns add "$1" 2>/dev/null || return 1
    ip netns add "$2" || return 2
    ip link add "$3" type veth peer name "$4" || return 2
    ip link set "$3" netns "$1" || return 2
    ip link set "$4" netns "$2" || return 2
    ip -n "$1" addr add "$5" dev "$3" || return 2
    ip -n "$2" addr add "$6" dev "$4" || return 2
    ip -n "$1" link set lo up || return 2
    ip -n "$2" link set lo up || return 2
    ip -n "$1" link set "$3" up || return 2
    ip -n "$2" link set "$4" up || return 2
}

vxa_netpair_down() {
    local ns pid
    for ns in "${VXA_NETPAIR_NS[@]}"; do
        if ip netns list 2>/dev/null | grep -qw "$ns"; then
            for pid in $(ip netns pids "$ns" 2>/dev/null); do
                kill "$pid" 2>/dev/null || true
            done
            ip netns del "$ns" 2>/dev/null || true
        fi
    done
    # Gone with its namespace as a rule; left in the host's only if the move failed.
    [ -n "$VXA_NETPAIR_IF" ] && ip link del "$VXA_NETPAIR_IF" 2>/dev/null || true
}
