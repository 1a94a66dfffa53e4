#!/bin/bash
# Installs what is missing, builds everything and runs every test:
#   0. the formatting of every C++ file against the committed .clang-format;
#   1. the whole project (engine, tools, editor) and all its tests;
#   2. the engine, the data module, the bulk commands, the problem check and the file formats
#      again with AddressSanitizer and UndefinedBehaviorSanitizer, and their tests (the fuzz
#      targets' regression corpus among them);
#   3. every fuzz target over its seeds and regression corpus, then a bounded number of
#      mutations with a fixed seed (ZN_FUZZ_RUNS, default 3000 per target), so that the same
#      commit passes or fails the same way every time. Long fuzzing is fuzz/run.sh's.
#   4. the engine, jettool and the engine's tests cross-built for Windows (mingw-w64) and run
#      under Wine.
# Safe to run again; an unchanged tree rebuilds nothing. Exits non-zero when anything fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

"$root/tools/setup.sh"

step() { printf '\n== %s\n' "$*"; }

step "formatting (.clang-format)"
"$root/tools/check-format.sh"

step "build (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

step "tests (build/)"
(cd build && ctest --output-on-failure -j "$jobs")

step "engine, data module, bulk, problem check and file format tests with sanitizers (build-asan/)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZN_GUI=OFF \
    -DZN_SANITIZE=ON -DZN_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
# The random write test runs shorter here; the full run is in build/.
(cd build-asan && ZN_RANDOM_OPS=600 ZN_RANDOM_SEEDS=2 \
    ctest -L 'engine|store|bulk|problems|formats|fuzz' --output-on-failure -j "$jobs")

step "fuzz targets, bounded, fixed seed (build-fuzz/)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZN_ENGINE_ONLY=OFF -DZN_GUI=OFF -DZN_FUZZ=ON -DZN_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_all
"$root/fuzz/run.sh" --bounded "$root/build-fuzz" "${ZN_FUZZ_RUNS:-3000}"

step "the engine on Windows: cross-built, its tests under Wine (build-win-engine/)"
# Linked statically, so that the programs need no DLLs of the toolchain; Wine's prefix lives in
# the build folder.
cmake -S . -B build-win-engine -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DZN_ENGINE_ONLY=ON \
    -DZN_BENCH=OFF -DCMAKE_EXE_LINKER_FLAGS=-static \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=$root/tools/wine-run.sh;$root/build-win-engine/wine" >/dev/null
cmake --build build-win-engine -j "$jobs"
# The random write test runs shorter here, as with the sanitizers.
(cd build-win-engine && ZN_RANDOM_OPS=600 ZN_RANDOM_SEEDS=2 ctest --output-on-failure -j "$jobs")

step "all tests passed"
