#!/bin/sh
# Installs what is needed, builds, and runs every test: the normal build,
# the Windows cross build with its tests under Wine, the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded link code under
# ThreadSanitizer, and the fuzz targets.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
JOBS=$(nproc 2>/dev/null || echo 2)

run_build() {  # dir, ctest-args, cmake-args...
    dir=$1; shift
    ctest_args=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    # shellcheck disable=SC2086
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" $ctest_args
}

echo "== build and test"
run_build build ""
echo "== Windows (mingw-w64 cross build, tests under Wine)"
# The Windows port tests talk to the native build's simulator. The Wine
# prefix lives in the build folder, so every clean build starts a fresh one.
export ORVEX_WINEPREFIX="$PWD/build-win/wineprefix"
bash -c '. tests/wine/prefix.sh && orvex_wine_prefix'
run_build build-win "" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DORVEX_BUILD_GUI=OFF -DORVEX_HOST_BUILD="$PWD/build"
WINEPREFIX="$ORVEX_WINEPREFIX" wineserver -k 2>/dev/null || true
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_build build-asan "" -DORVEX_SANITIZE="address;undefined" -DORVEX_BUILD_GUI=OFF
echo "== ThreadSanitizer (link)"
TSAN_OPTIONS=halt_on_error=1 run_build build-tsan "-L link" -DORVEX_SANITIZE=thread -DORVEX_BUILD_GUI=OFF
echo "== fuzzing (libFuzzer with AddressSanitizer + UndefinedBehaviorSanitizer, ${ORVEX_FUZZ_SECONDS:-30} s a target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_FUZZ=ON \
    -DORVEX_SANITIZE="address;undefined" -DORVEX_BUILD_GUI=OFF -DORVEX_FUZZ_SECONDS="${ORVEX_FUZZ_SECONDS:-30}" >/dev/null
cmake --build build-fuzz -j "$JOBS" --target fuzz_kvx_open fuzz_port_file fuzz_engine fuzz_paste
ctest --test-dir build-fuzz --output-on-failure -j "$JOBS" -L fuzz
echo "== all tests passed"
