#!/bin/bash
# Installs what building, testing and checking the project needs on a fresh
# Debian 12 machine: compilers and build tools, Qt 6, test and benchmark
# libraries, the reference Jet readers (mdbtools; mdb-reader from npm into
# tools/oracle/node_modules), poppler's tools that read printed PDFs back, an X
# server for headless GUI runs and screenshots, GNU time and fonts, Qt's Russian
# translations and the tools that build and check the Debian package. Safe to run again: it only asks apt and npm
# for what is missing and says nothing when everything is there.
#
#   tools/setup.sh          (as root, or as a user who may use sudo)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(
    # building, and the house style's formatter
    g++ cmake ninja-build pkg-config clang-format
    # clang with its runtime: libFuzzer and the sanitizers
    clang libclang-rt-14-dev
    # Qt 6 Widgets, SVG icons, JPEG/GIF/... image plugins, OpenGL headers Qt's CMake files want
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl1-mesa-dev
    # Qt's own Russian texts (file dialogs, standard buttons): qtbase_ru.qm
    qt6-translations-l10n
    # the Debian package and the desktop metadata: cpack's dpkg-shlibdeps and file, AppStream
    # and desktop entry validators
    dpkg-dev file appstream desktop-file-utils
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # reference reader of Jet files (mdb-export, mdb-schema, mdb-tables)
    mdbtools
    # reading printed PDFs back in the tests (pdftotext, pdfimages, pdftoppm)
    poppler-utils
    # headless GUI runs; screenshots as `xwd -root | convert xwd:- shot.png`
    xvfb xauth x11-apps imagemagick
    # /usr/bin/time -f %M for peak memory
    time
    # fonts the GUI tests and screenshots render with
    fonts-liberation fonts-dejavu-core
)

# Debian's npm cannot be installed next to a nodejs from another source, so
# Node is only installed when there is none at all.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "setup.sh: run as root or install sudo" >&2
        exit 1
    fi
    sudo=(sudo)
fi

# One dpkg-query for all; a package it does not know prints nothing on stdout.
declare -A installed=()
while read -r name state; do
    [ "$state" = "install ok installed" ] && installed["$name"]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
    [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup.sh: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# npm packages of the reference readers, exactly as the lock file says. A stamp
# inside node_modules remembers which lock file they came from.
oracle="$here/oracle"
stamp="$oracle/node_modules/.package-lock.sha256"
want="$(sha256sum "$oracle/package-lock.json" | cut -d' ' -f1)"
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
    echo "setup.sh: npm ci in tools/oracle"
    (cd "$oracle" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    echo "$want" >"$stamp"
fi
