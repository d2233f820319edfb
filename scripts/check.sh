#!/bin/sh
# Installs what is needed, builds, and runs every test: the Windows cross
# build (the window program on a Qt for Windows built from
# Debian's source) with its tests and its installer under Wine, the whole
# suite with the window (Qt offscreen) under AddressSanitizer +
# UndefinedBehaviorSanitizer,
# the threaded link code under ThreadSanitizer, the fuzz targets, and the
# Debian package (built, checked by lintian, installed, tried and removed).
# A test that reports a skipped case fails (see orvex_add_test), so
# everything listed here ran. Each stage prints how long it took.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
JOBS=$(nproc 2>/dev/null || echo 2)
# Most tests wait on the radio's pauses, the window's timers or Wine more
# than they compute: one more at a time than there are cores.
TEST_JOBS=$((JOBS + 1))
FUZZ_SECONDS=${ORVEX_FUZZ_SECONDS:-30}
timings=""

run_build() {  # dir, target, ctest-args, cmake-args...
    dir=$1 target=$2 ctest_args=$3
    shift 3
    # Each step says its own status: set -e does not hold inside a caller's
    # "|| status=$?".
    # Each library (and test program of GoogleTest cases) compiled as one
    # file: a clean build reads the standard and Qt headers once a target.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_UNITY_BUILD=ON "$@" >/dev/null || return
    built=$(date +%s)
    cmake --build "$dir" -j "$JOBS" --target "$target" || return
    echo "-- built in $(($(date +%s) - built)) s"
    # shellcheck disable=SC2086
    ctest --test-dir "$dir" --output-on-failure -j "$TEST_JOBS" $ctest_args
}

stage() {  # title, command...
    title=$1
    shift
    echo "== $title"
    started=$(date +%s)
    "$@"
    took=$(($(date +%s) - started))
    timings="$timings$(printf '%6d s  %s' "$took" "$title")
"
}

host_tools() {
    # The simulator, the native CLI and the modem-line preload the Windows
    # tests use; the suite itself runs once, under the sanitizers below.
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
        cmake --build build -j "$JOBS" --target orvex-radio-sim orvex-cli orvex_pty_modem_lines
}

windows() {
    # Qt for Windows comes from the cache outside the clone, or is built
    # into it first (once a machine). The Windows port tests talk to the
    # native build's simulator. The Wine prefix lives in the build folder,
    # so every clean build starts a fresh one.
    qt=$(./scripts/build-qt-windows.sh | tail -n 1) || return
    ORVEX_WINEPREFIX="$PWD/build-win/wineprefix"
    export ORVEX_WINEPREFIX
    bash -c '. tests/wine/prefix.sh && orvex_wine_prefix'
    status=0
    # No debug information: it would make up most of what the cross
    # linker reads and writes, and a failure here is looked into natively.
    run_build build-win all "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g0 \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
        -DORVEX_HOST_BUILD="$PWD/build" ||
        status=$?
    WINEPREFIX="$ORVEX_WINEPREFIX" wineserver -k 2>/dev/null || true
    return $status
}

address() {
    # Leaks are reported, except those of the system libraries Qt loads
    # (fonts, platform plugins), which are theirs to keep until exit. Line
    # tables are all a report needs of the debug information.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_build build-asan orvex_tests "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
        -DORVEX_SANITIZE="address;undefined"
}

thread() {
    TSAN_OPTIONS=halt_on_error=1 run_build build-tsan orvex_tests_link "-L link" \
        -DCMAKE_BUILD_TYPE=Debug -DORVEX_SANITIZE=thread -DORVEX_BUILD_GUI=OFF
}

fuzz() {
    # The fuzz targets are listed once, in tests/fuzz.cmake.
    CC=clang CXX=clang++ run_build build-fuzz orvex_tests_fuzz "-L fuzz" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_FUZZ=ON -DORVEX_SANITIZE="address;undefined" \
        -DORVEX_BUILD_GUI=OFF -DORVEX_FUZZ_SECONDS="$FUZZ_SECONDS"
}

package() {
    ORVEX_PACKAGE_BUILD=build-package ./scripts/check-package.sh
}

all_started=$(date +%s)
stage "host tools (the simulator for the Windows tests)" host_tools
stage "Windows (Qt for Windows, mingw-w64 cross build, tests and the installer under Wine)" windows
stage "AddressSanitizer + UndefinedBehaviorSanitizer, the window included" address
stage "ThreadSanitizer (link)" thread
stage "fuzzing (libFuzzer with AddressSanitizer + UndefinedBehaviorSanitizer, $FUZZ_SECONDS s a target)" fuzz
stage "Debian package (build, lintian, install with apt-get, try, remove)" package
echo "== all tests passed"
printf '%s' "$timings"
printf '%6d s  total\n' "$(($(date +%s) - all_started))"
