#!/bin/sh
# Installs everything the build, the tests and the GUI need on Debian 12:
# the GTK platform theme, its dark and high-contrast themes and xdotool to
# try the window as on a GNOME desktop, the accessibility bus and its Python
# client to read it as a screen reader does, what makes and checks the Debian package and its desktop files,
# and what the package recommends (a font for the Korean headline of one
# message), as cmake/OrvexPackage.cmake names it.
# Safe to run again: apt-get skips what is already there.
set -eu
recommends=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_RECOMMENDS \(.*\))$/\1/p' \
    "$(dirname "$0")/../cmake/OrvexPackage.cmake" | tr ',' ' ')
[ -n "$recommends" ] || { echo "no CPACK_DEBIAN_PACKAGE_RECOMMENDS line in cmake/OrvexPackage.cmake"; exit 1; }
PKGS="build-essential cmake ninja-build pkg-config git
      googletest libgtest-dev libgmock-dev
      qt6-base-dev qt6-base-private-dev qt6-base-dev-tools libgl-dev libudev-dev
      xvfb xauth x11-utils fonts-dejavu-core
      qt6-gtk-platformtheme xdotool gnome-themes-extra
      at-spi2-core dbus dbus-x11 python3-gi gir1.2-atspi-2.0
      clang libclang-rt-14-dev
      g++-mingw-w64-x86-64-posix wine wine64 xz-utils nsis icoutils zip
      locales
      dpkg-dev lintian file man-db librsvg2-bin
      desktop-file-utils appstream shared-mime-info libglib2.0-bin libxml2-utils
      $recommends"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq -o DPkg::Lock::Timeout=300
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 $missing
fi
# A locale with a decimal comma, so the test that the radio's frequencies
# ignore the process locale has one to switch to.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
