#!/bin/sh
# desktop-files-test.sh DIST-DIR CLI MIME-TYPE
# The desktop file, the AppStream data and the file type pass their
# validators, the file type is recognised by name and by content, and every
# rendered icon has the size its folder promises.
set -u
dist=$1 cli=$2 mime=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for desktop in "$dist"/*.desktop; do
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
    grep -qx "MimeType=$mime;" "$desktop" || fail "$desktop does not claim $mime"
    grep -qx 'Exec=orvex %f' "$desktop" || fail "$desktop does not pass the file to orvex"
done
for metainfo in "$dist"/*.metainfo.xml; do
    appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate $metainfo"
done

package=$(ls "$dist"/*.xml | grep -v '\.metainfo\.xml$')
xmllint --noout "$package" || fail "xmllint $package"
mkdir -p "$out/data/mime/packages"
cp "$package" "$out/data/mime/packages/"
update-mime-database "$out/data/mime" || fail "update-mime-database refuses $package"
content_type() {
    XDG_DATA_HOME="$out/data" XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$1" |
        sed -n 's/^ *standard::content-type: //p'
}
"$cli" new "$out/radio.kvx" 2>/dev/null || fail "orvex-cli new"
cp "$out/radio.kvx" "$out/renamed.bin"
head -c 2048 /dev/zero >"$out/zeros.bin"
head -c 2048 /dev/zero >"$out/empty-settings.kvx"
for case in "radio.kvx:$mime" "renamed.bin:$mime" "empty-settings.kvx:$mime" "zeros.bin:application/octet-stream"; do
    file=${case%%:*} want=${case#*:}
    got=$(content_type "$out/$file")
    [ "$got" = "$want" ] || fail "$file is taken for '$got', not '$want'"
done

count=0
for png in "$dist"/icons/*/*/*.png; do
    [ -e "$png" ] || continue
    size=$(basename "$(dirname "$(dirname "$png")")")
    file "$png" | grep -q "PNG image data, ${size%x*} x ${size#*x}," || fail "$png is not $size: $(file -b "$png")"
    count=$((count + 1))
done
[ $count -gt 0 ] || fail "no rendered icons in $dist/icons"

[ $failures -eq 0 ] || exit 1
echo "desktop file, AppStream data, file type and $count icons are valid"
