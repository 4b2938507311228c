#!/usr/bin/env bash
# Installs what is missing, builds (Release) into build/ and starts the program.
set -euo pipefail
. "$(dirname "$0")/scripts/common.sh"

vxa_install_deps
vxa_build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "vxa: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session." >&2
    exit 1
fi
exec "$VXA_BUILD/bin/vxa" "$@"
