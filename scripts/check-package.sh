#!/bin/sh
# Builds the Debian package, checks it with lintian, installs it with apt-get,
# tries the installed programs and desktop files, then removes it and
# whatever it pulled in, and checks that nothing of it is left.
# Run as root on Debian 12 (it installs and removes packages), from anywhere.
#
# The package gets its own optimised build without the tests: the test
# builds are unoptimised and unhardened, and what users install should be
# built the way Debian builds its packages (dpkg-buildflags).
set -eu
cd "$(dirname "$0")/.."
dir=${ORVEX_PACKAGE_BUILD:-build-package}
JOBS=$(nproc 2>/dev/null || echo 2)
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Tags lintian may report without failing the check, each with its reason.
# initial-upload-closes-no-bugs: the package is not uploaded to Debian, so
#   there is no ITP bug for its first change-log entry to close.
accepted="initial-upload-closes-no-bugs"

package=$(sed -n 's/^set(CPACK_PACKAGE_NAME \([a-z0-9.+-]*\))$/\1/p' cmake/OrvexPackage.cmake)
[ -n "$package" ] || { echo "no package name in cmake/OrvexPackage.cmake"; exit 1; }

remove_package() {  # the package and what its installation pulled in
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        # shellcheck disable=SC2086
        $SUDO apt-get remove --purge -y -qq "$package" ${pulled_in:-} >/dev/null
    fi
}
installed_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" { print $2 }' | sort
}

echo "-- building the package in $dir"
# A run that stopped half-way may have left the package installed.
pulled_in=""
remove_package
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
rm -f "$dir"/*.deb
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$dir" -j "$JOBS"
(cd "$dir" && cpack -G DEB >/dev/null)
set -- "$dir"/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "cpack made no single package: $*"; exit 1; }
deb=$(realpath "$1")
echo "-- $deb"
dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Section\):/  \1:/p'

echo "-- lintian"
lintian --fail-on error,warning --suppress-tags "$accepted" --info "$deb" 2>&1 |
    grep -v 'running with root privileges is not recommended' || true
lintian --fail-on error,warning --suppress-tags "$accepted" "$deb" >/dev/null 2>&1 ||
    { echo "lintian reports errors or warnings (above)"; exit 1; }

echo "-- installing with apt-get"
work=$(mktemp -d)
before=$work/before
installed_packages >"$before"
trap 'remove_package; rm -rf "$work"' EXIT
$SUDO apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
pulled_in=$(installed_packages | comm -13 "$before" - | grep -vx "$package" || true)
[ -z "$pulled_in" ] || echo "   it pulled in: $(echo $pulled_in)"
dpkg -L "$package" >"$work/files"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # description, command...
    what=$1
    shift
    if "$@" >"$work/out" 2>&1; then echo "   ok: $what"; else fail "$what"; cat "$work/out"; fi
}
version=$(dpkg-query -W -f='${Version}' "$package")
check "orvex-cli --version names ${version%-*}" sh -c "[ \"\$(/usr/bin/orvex-cli --version)\" = 'orvex-cli ${version%-*}' ]"
check "orvex-cli new writes a file and show shows it" sh -c \
    "/usr/bin/orvex-cli new '$work/x.kvx' && /usr/bin/orvex-cli show '$work/x.kvx'"
# The window program starts with the libraries the package depends on.
check "orvex --version names ${version%-*}" sh -c \
    "QT_QPA_PLATFORM=offscreen /usr/bin/orvex --version | grep -q '${version%-*}'"
check "orvex-radio-sim --help" /usr/bin/orvex-radio-sim --help
for desktop in $(grep '^/usr/share/applications/.*\.desktop$' "$work/files"); do
    check "desktop-file-validate $desktop" desktop-file-validate "$desktop"
done
for metainfo in $(grep '^/usr/share/metainfo/.*\.xml$' "$work/files"); do
    check "appstreamcli validate --no-net $metainfo" appstreamcli validate --no-net "$metainfo"
done
for page in orvex orvex-cli orvex-radio-sim; do
    check "man finds $page(1)" sh -c "man -w $page | grep -q '^/usr/share/man/man1/$page.1.gz$'"
done
check "the cable rule is in the system's udev rules folder" test -f /usr/lib/udev/rules.d/60-orvex-cable.rules
# The file type as installed, through the system's MIME database the dpkg
# trigger rebuilt: by name, and by content for a file renamed away from .kvx.
mime=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$(grep '^/usr/share/mime/packages/' "$work/files")")
cp "$work/x.kvx" "$work/renamed.bin"
for file in x.kvx renamed.bin; do
    check "$file is $mime" sh -c "mkdir -p '$work/home' && XDG_DATA_HOME='$work/home' gio info -a standard::content-type '$work/$file' | grep -q 'content-type: $mime\$'"
done

echo "-- removing"
remove_package
trap 'rm -rf "$work"' EXIT
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" && fail "$package is still installed"
while IFS= read -r path; do
    [ -d "$path" ] && continue
    [ -e "$path" ] || [ -L "$path" ] && fail "$path is left after removal"
done <"$work/files"
installed_packages | cmp -s "$before" - || {
    fail "the installed packages differ from before:"
    installed_packages | diff "$before" - || true
}
[ $failures -eq 0 ] || { echo "the package check failed ($failures)"; exit 1; }
echo "-- the package builds, passes lintian, installs, works and leaves nothing behind"
