#!/usr/bin/env bash
# Remakes the README's screenshots (docs/screenshots/*.png) after user-interface changes.
#
# Starts a virtual X server and, in two throw-away network namespaces joined by a veth
# pair (198.18.0.1 simulator side, 198.18.0.2 program side), the device simulator for
# the IP Manager's raw frames and the debug simulator on the program side's loopback.
# The program (driven by vxa-shots) runs inside the program namespace, so no frame ever
# reaches a real adapter. Needs root for the namespaces, the raw frames and the VCOM
# links. Installs Xvfb, ImageMagick and the X utilities when they are missing.
#
# usage: tools/screenshots.sh [output directory]
set -euo pipefail

. "$(dirname "$0")/../scripts/common.sh"
OUT=${1:-$VXA_ROOT/docs/screenshots}
BIN=$VXA_BUILD/bin

[ "$(id -u)" -eq 0 ] || { echo "screenshots.sh: run as root (network namespaces, raw frames, /dev links)" >&2; exit 1; }

# Only for this script, not for building or testing: a virtual X server and tools.
need=()
command -v Xvfb >/dev/null 2>&1 || need+=(xvfb)
command -v mogrify >/dev/null 2>&1 || need+=(imagemagick)
command -v xdpyinfo >/dev/null 2>&1 || need+=(x11-utils)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

vxa_install_deps
[ -f "$VXA_BUILD/CMakeCache.txt" ] || vxa_build
cmake --build "$VXA_BUILD" --target vxa-shots vxa-devsim vxa-dbgsim

NS_SIM="vxa-shot-sim-$$"
NS_APP="vxa-shot-app-$$"
IF_SIM="vss$$"
IF_APP="vsa$$"
XPID=""

. "$VXA_ROOT/scripts/netpair.sh"
cleanup() {
    vxa_netpair_down
    [ -n "$XPID" ] && kill "$XPID" 2>/dev/null || true
    true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

vxa_netpair_up "$NS_SIM" "$NS_APP" "$IF_SIM" "$IF_APP" 198.18.0.1/24 198.18.0.2/24 \
    || { echo "screenshots.sh: the test network could not be made" >&2; exit 1; }

# A display number nobody uses; the server listens on its socket file only, which the
# program reaches from inside its namespace.
DISP=99
while [ -e "/tmp/.X11-unix/X$DISP" ] || [ -e "/tmp/.X$DISP-lock" ]; do DISP=$((DISP + 1)); done
Xvfb ":$DISP" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
XPID=$!
for _ in $(seq 100); do
    xdpyinfo -display ":$DISP" >/dev/null 2>&1 && break
    sleep 0.1 # polling the server's start; no event to wait on
done
xdpyinfo -display ":$DISP" >/dev/null 2>&1 || { echo "screenshots.sh: Xvfb did not start" >&2; exit 1; }

DEVICES=6
OUT_LOG=${VXA_SHOTS_SIMLOG:-/dev/null}
ip netns exec "$NS_SIM" "$BIN/vxa-devsim" --iface "$IF_SIM" --devices "$DEVICES" --name SERVER --log /dev/null &
ip netns exec "$NS_APP" "$BIN/vxa-dbgsim" --host 127.0.0.1 --port 60000 --rate 50 \
    --types REQUEST,RESPONSE,NOTIFY --sources gateway,meter-01,meter-02 --destinations host,gateway \
    --messages "read register,register value,link up" >"$OUT_LOG" 2>&1 &

mkdir -p "$OUT"
ip netns exec "$NS_APP" env DISPLAY=":$DISP" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
    timeout -k 10 90 "$BIN/vxa-shots" --out "$OUT" --adapter "$IF_APP" --devices "$DEVICES"
mogrify -strip "$OUT"/*.png
ls -l "$OUT"
