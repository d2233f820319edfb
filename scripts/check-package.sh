#!/bin/sh
# Builds the Debian package, checks it with lintian, installs it with apt-get,
# tries the installed programs and desktop files, then removes it and
# whatever it pulled in, and checks that nothing of it is left.
# Run as root on Debian 12 (it installs and removes packages), from anywhere.
#
# The package gets its own optimised build without the tests: the test
# builds are unoptimised and unhardened, and what users install should be
# built the way Debian builds its packages (dpkg-buildflags). Each target is
# compiled as one file, which reads the Qt headers once, not once a source.
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

# Set while the package this check installed is on the machine, so that a
# run that stopped half-way is cleaned up by the next one, and a package the
# user installed is never taken for it.
marker=/var/tmp/orvex-package-check.installed
is_installed() {
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"
}
remove_package() {  # the package and what its installation pulled in
    if is_installed; then
        # shellcheck disable=SC2086
        $SUDO apt-get remove --purge -y -qq -o DPkg::Lock::Timeout=300 "$package" ${pulled_in:-} >/dev/null
    fi
    $SUDO rm -f "$marker"
}
installed_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" { print $2 }' | sort
}

echo "-- building the package in $dir"
pulled_in=""
if is_installed; then
    if [ -f "$marker" ]; then
        pulled_in=$(cat "$marker")
        echo "   removing the package a check that stopped half-way left installed"
        remove_package
    else
        echo "$package is installed on this machine, not by this check, which installs and removes it."
        echo "Remove it first (apt-get remove $package), or run the check on another machine."
        exit 1
    fi
fi
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
rm -f "$dir"/*.deb
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF -DCMAKE_UNITY_BUILD=ON \
    -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$dir" -j "$JOBS"
(cd "$dir" && cpack -G DEB >/dev/null)
set -- "$dir"/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "cpack made no single package: $*"; exit 1; }
deb=$(realpath "$1")
echo "-- $deb"
dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Recommends\|Section\):/  \1:/p'

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
echo "" | $SUDO tee "$marker" >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" >/dev/null
pulled_in=$(installed_packages | comm -13 "$before" - | grep -vx "$package" || true)
echo "$pulled_in" | $SUDO tee "$marker" >/dev/null
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
# The window itself comes up with the installed platform plugins and keeps
# running until it is stopped; its folders are the check's own.
check "orvex starts its window" sh -c "mkdir -p '$work/gui' && cd '$work/gui' &&
    HOME='$work/gui' XDG_DATA_HOME='$work/gui/data' XDG_CONFIG_HOME='$work/gui/config' QT_QPA_PLATFORM=offscreen \
    timeout 5 /usr/bin/orvex; [ \$? -eq 124 ]"
check "orvex refuses an unknown option with exit status 2" sh -c \
    "QT_QPA_PLATFORM=offscreen /usr/bin/orvex --no-such-option; [ \$? -eq 2 ]"
icon=$(sed -n 's/^Icon=//p' "$(grep '^/usr/share/applications/.*\.desktop$' "$work/files" | head -n 1)")
mime=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$(grep '^/usr/share/mime/packages/' "$work/files")")
mime_icon=$(echo "$mime" | tr / -)
for name in apps/$icon mimetypes/$mime_icon; do
    check "the icon $name is installed scalable and at 48x48" sh -c \
        "grep -qx '/usr/share/icons/hicolor/scalable/$name.svg' '$work/files' &&
         grep -qx '/usr/share/icons/hicolor/48x48/$name.png' '$work/files'"
done
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
