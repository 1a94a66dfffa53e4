#!/bin/bash
# Builds the editor for 64-bit Windows on this Debian machine:
#   1. Qt 6.4.2 for Windows (qtbase: Core, Gui, Widgets, PrintSupport, Test, the Windows
#      platform plugin and the image format plugins) from Debian's own source package, with the
#      mingw-w64 cross compiler and Debian's Qt 6.4.2 as the host Qt (moc, rcc, uic). Built once
#      per machine into a cache outside the checkout; a later run reuses it.
#   2. The editor, znbank and jettool, cross-built into build-windows/ of the checkout.
#
#   tools/build-windows.sh          (as root, or as a user who may use sudo)
#   tools/build-windows.sh --qt     only step 1
#
# ZN_WINDOWS_CACHE moves the cache (default: ${XDG_CACHE_HOME:-$HOME/.cache}/znatokar-windows).
# The first run takes long (Qt: see the README); the build runs under nice with two jobs at
# most (ZN_WINDOWS_JOBS changes that).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

only_qt=0
for arg in "$@"; do
    case "$arg" in
        --qt) only_qt=1 ;;
        *)
            echo "build-windows.sh: unknown option $arg" >&2
            exit 2
            ;;
    esac
done

qt_version=6.4.2
cache="${ZN_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/znatokar-windows}"
qt_prefix="$cache/qt-$qt_version"
jobs="${ZN_WINDOWS_JOBS:-2}"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

step() { printf '\n== %s\n' "$*"; }

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# The cross compiler, Wine and the host tools come with the project's setup.
"$root/tools/setup.sh"

# What Qt is configured with. A change here rebuilds Qt: the stamp in the prefix keeps it.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_pkg_config=OFF
    # Only what the editor uses: no SQL, network, D-Bus, OpenGL or Vulkan.
    -DFEATURE_sql=OFF
    -DFEATURE_network=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_opengl=OFF
    -DFEATURE_vulkan=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_direct2d=OFF
    # Debian's source leaves out the Wintab headers tablet input needs.
    -DFEATURE_tabletevent=OFF
    # Windows draws fonts itself (DirectWrite); no FreeType or zstd needed.
    -DFEATURE_freetype=OFF
    -DFEATURE_zstd=OFF
    # The libraries Qt bundles, not the build machine's.
    -DFEATURE_system_zlib=OFF
    -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_png=OFF
    -DFEATURE_system_jpeg=OFF
    -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_doubleconversion=OFF
)
qt_stamp_want="$(printf '%s\n' "$qt_version" "${qt_options[@]}" | sha256sum | cut -d' ' -f1)"

ensure_deb_src() {
    if apt-cache showsrc qt6-base 2>/dev/null | grep -q "^Version: $qt_version"; then return; fi
    # Source packages of the same suite as the installed Qt.
    echo "build-windows.sh: adding the source packages of bookworm to apt"
    "${sudo[@]}" tee /etc/apt/sources.list.d/znatokar-deb-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    "${sudo[@]}" apt-get update -qq
}

build_qt() {
    if [ -f "$qt_prefix/.znatokar-stamp" ] && [ "$(cat "$qt_prefix/.znatokar-stamp")" = "$qt_stamp_want" ]; then
        echo "Qt $qt_version for Windows: $qt_prefix (built before)"
        return
    fi
    local start=$SECONDS
    ensure_deb_src
    local src="$cache/src"
    mkdir -p "$src"
    if [ ! -d "$src/qtbase" ]; then
        step "fetching Debian's source of Qt $qt_version"
        (cd "$src" && apt-get source --download-only qt6-base >/dev/null)
        (cd "$src" && dpkg-source -x qt6-base_*.dsc qtbase-tmp >/dev/null && mv qtbase-tmp qtbase)
    fi

    step "configuring Qt $qt_version for Windows"
    rm -rf "$src/build-qtbase" "$qt_prefix"
    # The host Qt's tools (moc, rcc, uic) are Debian's own, of the same version.
    cmake -S "$src/qtbase" -B "$src/build-qtbase" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
        "${qt_options[@]}" >"$src/configure-qtbase.log" 2>&1 ||
        {
            tail -n 40 "$src/configure-qtbase.log" >&2
            exit 1
        }

    step "building Qt $qt_version for Windows (long the first time)"
    nice -n 10 cmake --build "$src/build-qtbase" -j "$jobs" >"$src/build-qtbase.log" 2>&1 ||
        {
            tail -n 40 "$src/build-qtbase.log" >&2
            exit 1
        }
    cmake --install "$src/build-qtbase" >/dev/null

    # Qt's own Russian texts (standard buttons, file dialogs). Debian ships them compiled from
    # its qt6-translations source in qt6-translations-l10n; the files are the same on every
    # system.
    mkdir -p "$qt_prefix/translations"
    cp /usr/share/qt6/translations/qtbase_ru.qm /usr/share/qt6/translations/qt_ru.qm \
        "$qt_prefix/translations/"

    echo "$((SECONDS - start))" >"$qt_prefix/.build-seconds"
    echo "$qt_stamp_want" >"$qt_prefix/.znatokar-stamp"
    echo "Qt $qt_version for Windows built in $((SECONDS - start)) s: $qt_prefix"
}

step "Qt $qt_version for Windows"
build_qt
[ "$only_qt" -eq 0 ] || exit 0

step "the editor for Windows (build-windows/)"
cmake -S "$root" -B "$root/build-windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DZN_BENCH=OFF -DZN_TESTS=OFF >/dev/null
nice -n 10 cmake --build "$root/build-windows" -j "$jobs"
