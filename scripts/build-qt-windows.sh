#!/bin/sh
# Builds Qt for 64-bit Windows (qtbase, the host's version) from Debian's own
# source package with the mingw-w64 cross compilers, and installs it into a
# cache outside the clone, so that later runs on the same machine take it
# from there. Prints the installed prefix on its last line.
#
# ORVEX_QT_WINDOWS: the prefix (default ~/.cache/orvex/qt6-windows-<version>).
set -eu
cd "$(dirname "$0")/.."
version=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/[+-].*//')
prefix=${ORVEX_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/orvex/qt6-windows-$version}
stamp="$prefix/.orvex-complete"
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi

work="$prefix.work"
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/sources"
# A private apt configuration: the machine's own sources stay as they are.
cat >"$work/apt/sources/orvex-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_private="-o Dir::Etc::SourceParts=$work/apt/sources -o Dir::Etc::SourceList=/dev/null -o Dir::State::Lists=$work/apt/lists"
# shellcheck disable=SC2086
apt-get $apt_private update -qq
(cd "$work" && apt-get $apt_private source --download-only -qq "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)")
tar -xf "$work"/qt6-base_*.orig.tar.xz -C "$work"
src=$(find "$work" -maxdepth 1 -type d -name 'qtbase*' | head -n 1)
# Without OpenGL, 6.4.2's Windows platform plugin still reaches for the
# dynamic OpenGL loader in two places: they are left out with it.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-compilers.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_jpeg=OFF \
    -DFEATURE_sql=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_icu=OFF \
    -DFEATURE_accessibility=ON
cmake --build "$work/build" -j "$jobs"
cmake --install "$work/build"
touch "$stamp"
rm -rf "$work"
echo "$prefix"
