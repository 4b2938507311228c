#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack, checks its file list and
# control data, validates the shipped desktop entry and AppStream metadata and runs lintian.
# Needs root (CPack's install step, installing the validators); exit code 77 = skipped.
# Everything it makes stays in one temporary folder below the build tree, removed on exit.
set -euo pipefail

build=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root (installs validators with apt-get)"
    exit 77
fi

work=$(mktemp -d "$build/tests/package-XXXXXX")
trap 'rm -rf "$work"' EXIT

need_tool() { # command package
    command -v "$1" >/dev/null 2>&1 && return 0
    echo "Installing $2 for $1"
    if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$2" >/dev/null; then
        echo "SKIP: could not install $2 (no package mirror?)"
        exit 77
    fi
}
need_tool desktop-file-validate desktop-file-utils
need_tool appstreamcli appstream
need_tool lintian lintian

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"; exit 1; }
shopt -s nullglob
debs=("$work"/out/vxa_*_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one vxa_<version>_<arch>.deb, got: ${debs[*]:-none}"; exit 1; }
deb=${debs[0]}
echo "Built $(basename "$deb")"

fail=0
listing=$(dpkg-deb -c "$deb")
for path in \
    ./usr/lib/vxa/vxa \
    ./usr/lib/vxa/config/version.ini \
    ./usr/lib/vxa/languages/zh_CN/app_zh_CN.qm \
    "./usr/bin/vxa -> ../lib/vxa/vxa" \
    ./usr/bin/vxa-devsim \
    ./usr/bin/vxa-dbgsim \
    ./usr/share/applications/com.example.vxa.desktop \
    ./usr/share/metainfo/com.example.vxa.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/com.example.vxa.svg \
    ./usr/share/icons/hicolor/48x48/apps/com.example.vxa.png \
    ./usr/share/icons/hicolor/256x256/apps/com.example.vxa.png \
    ./usr/share/man/man1/vxa.1.gz \
    ./usr/share/polkit-1/actions/com.example.vxa.policy \
    ./usr/share/doc/vxa/copyright; do
    if ! grep -qF -- " $path" <<<"$listing"; then
        echo "FAIL: missing $path"
        fail=1
    fi
done
# Nothing set-user-ID, nothing from the build tree's tests or benchmarks.
if grep -E '^-..s|^-.....s' <<<"$listing"; then echo "FAIL: set-ID file in the package"; fail=1; fi
if grep -E '/(tst_|bench_)' <<<"$listing"; then echo "FAIL: test or benchmark in the package"; fail=1; fi

depends=$(dpkg-deb -f "$deb" Depends)
for dep in socat libqt5widgets5 libpcap0.8 libc6; do
    grep -q "\b$dep\b" <<<"$depends" || { echo "FAIL: Depends lacks $dep: $depends"; fail=1; }
done
dpkg-deb -e "$deb" "$work/control"
grep -q 'setcap cap_net_raw+ep /usr/lib/vxa/vxa' "$work/control/postinst" || {
    echo "FAIL: postinst does not grant cap_net_raw"; fail=1; }

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/com.example.vxa.desktop" || fail=1
# --no-net: the screenshot and home page addresses are not fetched.
appstreamcli validate --no-net "$work/root/usr/share/metainfo/com.example.vxa.metainfo.xml" || fail=1
grep -q 'org.freedesktop.policykit.exec.path">/usr/lib/vxa/vxa<' \
    "$work/root/usr/share/polkit-1/actions/com.example.vxa.policy" || { echo "FAIL: polkit action path"; fail=1; }

# Errors only; warnings and notes are shown but do not fail the test.
rc=0
lintian --allow-root "$deb" >"$work/lintian.log" 2>&1 || rc=$?
cat "$work/lintian.log"
if [ $rc -gt 1 ]; then echo "FAIL: lintian could not check the package"; fail=1; fi
if grep -q '^E: ' "$work/lintian.log"; then echo "FAIL: lintian reports errors"; fail=1; fi

[ $fail -eq 0 ] && echo "PASS"
exit $fail
