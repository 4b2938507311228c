#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test through CTest, offscreen.
set -euo pipefail
. "$(dirname "$0")/scripts/common.sh"

vxa_install_deps
vxa_build

cd "$VXA_BUILD"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure "$@"
