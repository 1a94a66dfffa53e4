#!/bin/bash
# Checks the desktop integration and the Debian package of a configured and built tree:
#   1. the AppStream metadata passes `appstreamcli validate` and the desktop entry
#      `desktop-file-validate`;
#   2. `cpack -G DEB` builds the package; its contents are listed (dpkg-deb -c) and must hold the
#      program, jettool, the desktop entry, the metadata and the icons; its control fields are
#      printed.
# The package is built in a temporary folder and removed afterwards.
#
# Usage: tools/check-package.sh BUILD_DIR
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
app_id=ru.znatokar.Znatokar

echo "== appstreamcli validate"
appstreamcli validate --no-net --explain "$build/packaging/$app_id.metainfo.xml"
echo "== desktop-file-validate"
desktop-file-validate "$repo/packaging/$app_id.desktop"
echo "OK"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== cpack -G DEB"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log" >&2
    exit 1
}
deb=$(ls "$work"/*.deb)
echo "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

echo "== dpkg-deb -c"
dpkg-deb -c "$deb" | tee "$work/contents" | awk '{print $1, $6}'
missing=0
for path in \
    ./usr/bin/znatokar \
    ./usr/bin/jettool \
    "./usr/share/applications/$app_id.desktop" \
    "./usr/share/metainfo/$app_id.metainfo.xml" \
    ./usr/share/icons/hicolor/16x16/apps/znatokar.png \
    ./usr/share/icons/hicolor/48x48/apps/znatokar.png \
    ./usr/share/icons/hicolor/256x256/apps/znatokar.png \
    ./usr/share/icons/hicolor/scalable/apps/znatokar.svg; do
    if ! awk '{print $6}' "$work/contents" | grep -qxF "$path"; then
        echo "missing in the package: $path" >&2
        missing=1
    fi
done
[[ $missing -eq 0 ]]

echo "== dpkg-deb -f"
dpkg-deb -f "$deb" Package Version Architecture Section Depends Recommends
# The libraries the program loads: Qt Widgets (linked) and the SVG icon engine (a plugin).
for dep in libqt6widgets6 libqt6svg6; do
    dpkg-deb -f "$deb" Depends | grep -qw "$dep" || {
        echo "the package does not depend on $dep" >&2
        exit 1
    }
done
echo "package check passed"
