# Shared by run.sh and test.sh: install what is missing, then configure and build.
# Sourced, not run.

VXA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VXA_BUILD=${VXA_BUILD:-$VXA_ROOT/build}

# Debian packages the build, the program and the tests need.
VXA_PACKAGES=(
    build-essential cmake ninja-build pkg-config ccache
    qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools
    libqt5svg5 qttranslations5-l10n
    libpcap-dev socat ser2net iproute2 procps
    libssh-dev openssh-server
    file
)

vxa_missing_packages() {
    local missing=() p
    for p in "${VXA_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]}"
}

vxa_install_deps() {
    local missing
    missing=$(vxa_missing_packages)
    [ -z "$missing" ] && return 0
    echo "Installing missing packages: $missing"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "Missing packages ($missing) and neither root nor sudo: install them and run again." >&2
            return 1
        fi
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    # shellcheck disable=SC2086
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends $missing
}

vxa_build() {
    local launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$VXA_ROOT}
    fi
    if [ ! -f "$VXA_BUILD/CMakeCache.txt" ]; then
        cmake -S "$VXA_ROOT" -B "$VXA_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
    fi
    cmake --build "$VXA_BUILD" -j "$(nproc)"
}
