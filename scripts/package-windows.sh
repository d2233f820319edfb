#!/bin/sh
# Makes what a Windows user downloads, in dist-windows/: the portable zip
# (orvex.exe, orvex-cli.exe, the Qt and compiler runtime DLLs, the platform
# plugin and style, stripped) and the installer made from it with NSIS.
#
# Usage: scripts/package-windows.sh [BUILD]   (default build-win: a cross
# build with the window program, as scripts/check.sh makes it)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-win}
triple=x86_64-w64-mingw32
out=dist-windows

for tool in "$triple-objdump" "$triple-strip" makensis zip; do
    command -v "$tool" >/dev/null || { echo "package-windows: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
[ -f "$build/app/orvex.exe" ] || { echo "package-windows: no $build/app/orvex.exe: build the Windows window program first" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
qt=$(sed -n 's/^Qt6_DIR:[A-Z]*=\(.*\)\/lib\/cmake\/Qt6$/\1/p' "$build/CMakeCache.txt")
[ -n "$version" ] && [ -d "$qt/bin" ] || { echo "package-windows: $build names no version or no Windows Qt" >&2; exit 1; }

name=orvex-$version-windows-x64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
app="$stage/$name"
mkdir -p "$app/platforms" "$app/styles"
cp "$build/app/orvex.exe" "$build/tools/cli/orvex-cli.exe" "$app/"
cp "$build/dist/windows/orvex.ico" "$build/dist/windows/settings-file.ico" "$app/"
cp "$qt/plugins/platforms/qwindows.dll" "$app/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$app/styles/"

# Every DLL the programs and plugins import that is not the system's,
# followed through the DLLs themselves.
runtime_dirs="$qt/bin $(dirname "$("$triple-g++-posix" -print-libgcc-file-name)") /usr/$triple/lib"
find_dll() {
    for d in $runtime_dirs; do
        if [ -f "$d/$1" ]; then
            echo "$d/$1"
            return
        fi
    done
}
queue=$(find "$app" -name '*.exe' -o -name '*.dll')
while [ -n "$queue" ]; do
    next=""
    for f in $queue; do
        for dll in $("$triple-objdump" -p "$f" | sed -n 's/^\s*DLL Name: //p'); do
            [ -f "$app/$dll" ] && continue
            src=$(find_dll "$dll")
            [ -n "$src" ] || continue  # a system DLL
            cp "$src" "$app/$dll"
            next="$next $app/$dll"
        done
    done
    queue=$next
done
find "$app" -name '*.exe' -o -name '*.dll' | xargs "$triple-strip" --strip-unneeded

mkdir -p "$out"
rm -f "$out/$name.zip" "$out/$name-setup.exe"
(cd "$stage" && zip -qr -X "$OLDPWD/$out/$name.zip" "$name")

# The uninstaller removes exactly what was installed: files, then folders
# deepest first.
list="$stage/uninstall.nsh"
(cd "$app" && find . -type f | sed 's|^\./||; s|/|\\|g' | sort | sed 's|^|  Delete "$INSTDIR\\|; s|$|"|'
 cd "$app" && find . -mindepth 1 -type d | sed 's|^\./||; s|/|\\|g' | sort -r | sed 's|^|  RMDir "$INSTDIR\\|; s|$|"|') >"$list"
makensis -V2 -DVERSION="$version" -DAPPDIR="$app" -DOUTFILE="$PWD/$out/$name-setup.exe" \
    -DUNINSTALL_LIST="$list" dist/windows/orvex.nsi
ls -l "$out/$name.zip" "$out/$name-setup.exe"
