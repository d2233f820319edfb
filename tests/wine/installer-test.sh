#!/bin/bash
# The installer as a Windows user runs it, in a Wine prefix of its own: a
# silent install for the current user; the Start menu entry, the file type
# and the uninstall entry in place; the installed window program, on the
# windows platform under Xvfb, reads the simulated radio through COM1; the
# installed CLI makes and shows a file; and the silent uninstall takes the
# program, its entry and its file type away again.
# Usage: installer-test.sh WINDOWS_BUILD HOST_BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
host=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "installer test: $*" >&2; exit 1; }

"$source_dir/scripts/package-windows.sh" "$build" >/dev/null
setup=$(ls "$source_dir"/dist-windows/orvex-*-windows-x64-setup.exe)

# The screen first: Wine's desktop process, started by the first program,
# keeps the display it found for all that follow.
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

export ORVEX_WINEPREFIX="$work/prefix"
unset ORVEX_WINE_DLL_PATH WINEPATH  # the installed program brings its own DLLs
. "$here/prefix.sh"
orvex_wine_prefix
user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
local_app="$user_dir/AppData/Local"
installed="$local_app/Programs/ORVEX Programmer"
start_entry="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/ORVEX Programmer.lnk"
reg_has() { wine reg query "$1" >/dev/null 2>&1; }
classes='HKCU\Software\Classes'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVEX Programmer'

wine "$setup" /S 2>/dev/null
wineserver -w
for f in orvex.exe orvex-cli.exe uninstall.exe platforms/qwindows.dll settings-file.ico; do
    [ -f "$installed/$f" ] || fail "not installed: $f"
done
[ -f "$start_entry" ] || fail "no Start menu entry"
wine reg query "$classes\\.kvx" /ve 2>/dev/null | grep -q ORVEX.SettingsFile || fail ".kvx is not the program's file type"
wine reg query "$classes\\ORVEX.SettingsFile\\shell\\open\\command" /ve 2>/dev/null | grep -q 'orvex.exe" "%1"' ||
    fail "the file type does not open in orvex.exe"
reg_has "$uninstall_key" || fail "no uninstall entry"

# The installed CLI, from its own folder.
cli="$installed/orvex-cli.exe"
wine "$cli" new 'C:\made.kvx' 2>/dev/null || fail "orvex-cli new failed"
[ "$(stat -c %s "$WINEPREFIX/drive_c/made.kvx")" = 2048 ] || fail "orvex-cli new made no settings file"
wine "$cli" show 'C:\made.kvx' 2>/dev/null | grep -q 'Australian Marine' || fail "orvex-cli show does not show the file"

# The installed window reads the simulated radio on COM1, the port it
# remembers by default, as a user pressing Ctrl+R.
"$host/tools/sim/orvex-radio-sim" --link "$work/radio" >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/radio" ] && break; sleep 0.1; done
ln -sfn "$(readlink -f "$work/radio")" "$WINEPREFIX/dosdevices/com1"
wine "$installed/orvex.exe" >"$work/window.log" 2>&1 &
pids+=($!)
disown "$!"
window=""
for _ in $(seq 120); do
    window=$(xdotool search --name 'ORVEX Programmer Ver' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || fail "the installed window did not come up: $(xwininfo -root -tree 2>&1 | grep -c orvex) windows of orvex.exe; $(head -c 600 "$work/window.log")"
backups="$local_app/ORVEX/backups"
for _ in $(seq 100); do
    xdotool windowfocus "$window" key ctrl+r 2>/dev/null || true
    for _ in $(seq 20); do
        ls "$backups"/*.kvx >/dev/null 2>&1 && break 2
        sleep 0.1
    done
done
backup=$(ls "$backups"/*.kvx 2>/dev/null | head -n 1) || true
[ -n "$backup" ] || fail "the installed window read nothing from the radio on COM1 (no backup in $backups)"
[ "$(stat -c %s "$backup")" = 2048 ] || fail "the backup of the read is not a settings file"
wineserver -k 2>/dev/null || true
wineserver -w

wine "$installed/uninstall.exe" /S 2>/dev/null
wineserver -w
[ ! -e "$installed" ] || fail "left behind: $(cd "$installed" && find . | head -n 5 | tr '\n' ' ')"
[ ! -e "$start_entry" ] || fail "the Start menu entry is left"
! reg_has "$classes\\.kvx" || fail "the .kvx file type is left"
! reg_has "$classes\\ORVEX.SettingsFile" || fail "the program's file type is left"
! reg_has "$uninstall_key" || fail "the uninstall entry is left"
echo "installer test: installed, read the radio on COM1, made and showed a file, uninstalled"
