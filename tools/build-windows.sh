#!/bin/bash
# Builds the editor for 64-bit Windows on this Debian machine and packs it:
#   1. Qt 6.4.2 for Windows (qtbase: Core, Gui, Widgets, PrintSupport, the Windows platform and
#      style plugins and the image format plugins; qtsvg for the icons where the mirror has its
#      source, else the icons are drawn as PNG files here) from Debian's own source packages,
#      with the mingw-w64 cross compiler, Debian's Qt 6.4.2 as the host Qt (moc, rcc, uic) and
#      our fixes for a Qt without Direct2D and OpenGL (tools/windows/qtbase-*.patch).
#      Built once per machine into a cache outside the checkout; a later run reuses it, and a
#      run that was stopped goes on where it stopped.
#   2. The editor and znbank, cross-built into build-windows/ of the checkout.
#   3. dist/znatokar-VERSION-windows-x64.zip (the programs, the DLLs they import, the plugins,
#      Qt's Russian texts, the preview's background pictures and a README in Russian) and
#      dist/znatokar-VERSION-windows-x64-setup.exe, an NSIS installer with the same files that
#      adds a Start-menu entry and offers the editor for opening .mdb files.
#
#   tools/build-windows.sh           (as root, or as a user who may use sudo)
#   tools/build-windows.sh --qt      only step 1
#   tools/build-windows.sh --check   all three, then the smoke test of the packed editor under
#                                    Wine and Xvfb (tools/windows/check.sh)
#
# ZN_WINDOWS_CACHE moves the cache (default: ${XDG_CACHE_HOME:-$HOME/.cache}/znatokar-windows).
# The first run takes long (Qt: see the README); every build runs under nice with two jobs at
# most (ZN_WINDOWS_JOBS changes that).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

only_qt=0
check=0
for arg in "$@"; do
    case "$arg" in
        --qt) only_qt=1 ;;
        --check) check=1 ;;
        *)
            echo "build-windows.sh: unknown option $arg" >&2
            exit 2
            ;;
    esac
done

qt_version=6.4.2
cache="${ZN_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/znatokar-windows}"
qt_prefix="$cache/qt-$qt_version"
src="$cache/src"
jobs="${ZN_WINDOWS_JOBS:-2}"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
build="$root/build-windows"
version="$(sed -n 's/^project(znatokar VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
package="znatokar-$version-windows-x64"

step() { printf '\n== %s\n' "$*"; }

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# The cross compiler, Wine, NSIS and the host tools come with the project's setup.
"$root/tools/setup.sh" --windows

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
# Our fixes to Debian's source, applied after its own patches (tools/windows/*.patch).
qt_patches=("$root"/tools/windows/qtbase-*.patch)
qt_stamp_want="$(
    {
        printf '%s\n' "$qt_version" "${qt_options[@]}"
        cat "${qt_patches[@]}"
    } | sha256sum | cut -d' ' -f1
)"

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

# Fetches and unpacks Debian's source package $1 into $src/$2 (Debian's patches applied).
unpack_source() {
    local pkg="$1" dir="$2"
    [ -d "$src/$dir" ] && return
    step "fetching Debian's source of $pkg $qt_version"
    (cd "$src" && apt-get source --download-only "$pkg" >/dev/null) || return 1
    rm -rf "$src/$dir-tmp"
    (cd "$src" && dpkg-source -x "${pkg}"_*.dsc "$dir-tmp" >/dev/null && mv "$dir-tmp" "$dir")
}

# Configures (unless a build folder of the same options is there), builds and installs one Qt
# module from $src/$1 into the prefix. A stopped build is taken up where it stopped.
build_module() {
    local module="$1"
    shift
    local dir="$src/build-$module" log="$src/build-$module.log"
    if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$dir/.znatokar-options" 2>/dev/null)" != "$qt_stamp_want" ]; then
        step "configuring $module $qt_version for Windows"
        rm -rf "$dir"
        cmake -S "$src/$module" -B "$dir" -G Ninja "$@" >"$src/configure-$module.log" 2>&1 ||
            {
                tail -n 40 "$src/configure-$module.log" >&2
                exit 1
            }
        echo "$qt_stamp_want" >"$dir/.znatokar-options"
    fi
    step "building $module $qt_version for Windows (long the first time; log: $log)"
    local start=$SECONDS ok=1
    nice -n 10 cmake --build "$dir" -j "$jobs" >>"$log" 2>&1 || ok=0
    # The build's time, added up over the runs a stopped build took.
    echo $(($(cat "$src/.build-seconds" 2>/dev/null || echo 0) + SECONDS - start)) >"$src/.build-seconds"
    if [ "$ok" -eq 0 ]; then
        tail -n 40 "$log" >&2
        exit 1
    fi
    cmake --install "$dir" >/dev/null
}

build_qt() {
    if [ -f "$qt_prefix/.znatokar-stamp" ] && [ "$(cat "$qt_prefix/.znatokar-stamp")" = "$qt_stamp_want" ]; then
        echo "Qt $qt_version for Windows: $qt_prefix (built before in $(cat "$qt_prefix/.build-seconds") s)"
        return
    fi
    ensure_deb_src
    mkdir -p "$src"
    unpack_source qt6-base qtbase
    local svg=1
    # Not every mirror carries qt6-svg's source: without it the icons are drawn here as PNG
    # files instead (see below).
    unpack_source qt6-svg qtsvg || {
        svg=0
        echo "build-windows.sh: no source of qt6-svg; building without Qt Svg" >&2
    }
    for p in "${qt_patches[@]}"; do
        # Applied once: a patch that reverses cleanly is in already.
        if ! patch -d "$src/qtbase" -p1 -R --dry-run -s -f <"$p" >/dev/null 2>&1; then
            patch -d "$src/qtbase" -p1 -s -f <"$p"
        fi
    done

    # The host Qt's tools (moc, rcc, uic) are Debian's own, of the same version.
    build_module qtbase -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$qt_prefix" "${qt_options[@]}"
    # The SVG module and its icon engine plugin, on the Qt just installed.
    [ "$svg" -eq 0 ] || build_module qtsvg -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF

    # Qt's own Russian texts (standard buttons, file dialogs). Debian compiles them from its
    # qt6-translations source into qt6-translations-l10n (installed by the setup); the files
    # are the same on every system.
    mkdir -p "$qt_prefix/translations"
    cp /usr/share/qt6/translations/qtbase_ru.qm "$qt_prefix/translations/"

    local seconds
    seconds="$(cat "$src/.build-seconds")"
    mv "$src/.build-seconds" "$qt_prefix/.build-seconds"
    echo "$qt_stamp_want" >"$qt_prefix/.znatokar-stamp"
    echo "Qt $qt_version for Windows built in $seconds s: $qt_prefix"
}

step "Qt $qt_version for Windows"
build_qt
[ "$only_qt" -eq 0 ] || exit 0

step "the editor and znbank for Windows (build-windows/)"
# The icon, from the sizes the Linux build draws for the desktop (packaging/).
[ -f "$root/build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 10 cmake --build "$root/build" -j "$jobs" --target zn_icons >/dev/null
mkdir -p "$build"
convert "$root"/build/packaging/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,256x256}/apps/znatokar.png \
    "$build/znatokar.ico"
# A Qt without Qt Svg cannot draw the SVG icons: they are drawn here as PNG files instead, at
# the sizes the windows show them, into a resource for the image list (frame/CMakeLists.txt).
png_images=""
if [ ! -d "$qt_prefix/lib/cmake/Qt6Svg" ]; then
    icons="$build/imagespng"
    rm -rf "$icons"
    mkdir -p "$icons"
    {
        echo '<!DOCTYPE RCC><RCC version="1.0"><qresource prefix="/imagespng">'
        for svg in "$root"/frame/images/*.svg; do
            name="$(basename "$svg" .svg)"
            "$root/build/packaging/zn_render_icon" "$svg" "$icons" "$name" 16 24 32 48
            for size in 16 24 32 48; do
                echo "<file alias=\"$size/$name.png\">${size}x$size/apps/$name.png</file>"
            done
        done
        echo '</qresource></RCC>'
    } >"$icons/imagespng.qrc"
    png_images="$icons/imagespng.qrc"
fi
# Optimised as the Linux build is (-O2): at -O3 GCC 12 warns falsely about std::string's copies
# (-Wrestrict).
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DZN_BENCH=OFF -DZN_TESTS=OFF -DZN_WINDOWS_ICON="$build/znatokar.ico" \
    -DZN_PNG_IMAGES="$png_images" >/dev/null
nice -n 10 cmake --build "$build" -j "$jobs" --target znatokar znbank

step "packing dist/$package.zip"
stage="$root/dist/$package"
rm -rf "$stage"
mkdir -p "$stage"/{platforms,styles,imageformats,iconengines,translations,data}
cp "$build/app/znatokar.exe" "$build/tools/znbank.exe" "$stage/"
cp "$qt_prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# The preview's backgrounds are GIF files and question pictures JPEG, PNG or BMP (Qt Gui).
cp "$qt_prefix/plugins/imageformats/qgif.dll" "$qt_prefix/plugins/imageformats/qjpeg.dll" \
    "$stage/imageformats/"
if [ -f "$qt_prefix/plugins/iconengines/qsvgicon.dll" ]; then
    cp "$qt_prefix/plugins/iconengines/qsvgicon.dll" "$stage/iconengines/"
else
    rmdir "$stage/iconengines"
fi
cp "$qt_prefix/translations/qtbase_ru.qm" "$stage/translations/"
cp "$root"/app/demo/bg[123].gif "$stage/data/"
# Qt finds its plugins and texts beside the program.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$stage/qt.conf"
# README in Russian, UTF-8 with a byte-order mark and CR LF so that Notepad shows it right.
{
    printf '\xef\xbb\xbf'
    sed "s/@VERSION@/$version/g; s/\$/\r/" "$root/tools/windows/README.txt"
} >"$stage/README.txt"

# The DLLs the programs and plugins import that come with Qt or the compiler, and theirs in
# turn; the rest (KERNEL32, USER32, ...) is Windows' own.
dll_dirs=("$qt_prefix/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
queue=("$stage"/*.exe "$stage"/*/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
    file="${queue[0]}"
    queue=("${queue[@]:1}")
    for dll in $(imports "$file"); do
        [ -z "${seen[$dll]:-}" ] || continue
        seen[$dll]=1
        for dir in "${dll_dirs[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$stage/"
                queue+=("$stage/$dll")
                break
            fi
        done
    done
done
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

rm -f "$root/dist/$package.zip"
(cd "$root/dist" && zip -qr9 "$package.zip" "$package")

step "the installer dist/$package-setup.exe"
# What the uninstaller removes: exactly the files installed, folders last.
{
    (cd "$stage" && find . -type f | sort) | sed 's|^\./|Delete "$INSTDIR\\|; s|/|\\|g; s|$|"|'
    (cd "$stage" && find . -mindepth 1 -type d | sort -r) | sed 's|^\./|RMDir "$INSTDIR\\|; s|/|\\|g; s|$|"|'
} >"$build/uninstall.nsh"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DICON="$build/znatokar.ico" \
    -DUNINSTALL_LIST="$build/uninstall.nsh" \
    -DOUTFILE="$root/dist/$package-setup.exe" "$root/tools/windows/znatokar.nsi"

du -h "$root/dist/$package.zip" "$root/dist/$package-setup.exe"

if [ "$check" -eq 1 ]; then
    step "smoke test under Wine and Xvfb"
    "$root/tools/windows/check.sh" "$stage" "$build"
fi
