#!/bin/bash
# cli-end-to-end.sh WINDOWS-CLI LINUX-CLI SAMPLES-DIR
# The Windows orvex-cli under Wine, through the Win32 port code, against the
# simulated radio on a COM port mapped to a pseudo-terminal: Auto Search
# finds it and remembers it in C:\ORVEX.CFG, a read without --port uses the
# remembered port, and reads and writes give the same files and the same
# bytes on the wire as the Linux build's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
win_cli=$1 linux_cli=$2 samples=$3
. "$here/prefix.sh"
orvex_wine_prefix
com=COM7
unset ORVEX_PORT_FILE ORVEX_PORT_MAP

fail() { echo "FAILED: $*" >&2; exit 1; }
win() { "$here/wine-run.sh" "$win_cli" "$@"; }

work=$(mktemp -d)
# The Linux reads keep their backups here, not in the user's data folder.
export XDG_DATA_HOME="$work/data"
cfg="$WINEPREFIX/drive_c/ORVEX.CFG"
saved_cfg=""
[ -f "$cfg" ] && saved_cfg=$(cat "$cfg")
restore() {
    if [ -n "$saved_cfg" ]; then printf '%s\n' "$saved_cfg" >"$cfg"; else rm -f "$cfg"; fi
    # ORVEX_KEEP_WORK=1 keeps the files for a look.
    if [ -n "${ORVEX_KEEP_WORK:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap restore EXIT
rm -f "$cfg"

# Every step runs against a fresh radio, which saves the last write's bytes
# as JSON: steps JSON [SIMULATOR OPTIONS] -- COMMAND...
steps() {
    local json=$1
    shift
    "$here/with-sim.sh" "$com" --save-json "$json" "$@"
}
# What the radio holds, as the form shows it.
radio_part() { "$linux_cli" show "$1" | sed -n '/P   CH/,/Channel Enable/p'; }

echo "== search, then read from the remembered port (Windows)"
steps "$work/search.json" -- bash -c '
    set -e
    # Wine lists only the ports it had at its start; the radio'"'"'s port is
    # named, as a user would name a port the system does not list.
    found=$(ORVEX_PORT_MAP="'$com'=\\\\.\\'$com'" "$0" "$1" search 2>"$2/search.err") || { cat "$2/search.err" >&2; exit 1; }
    found=$(printf %s "$found" | tr -d "\r")  # a Windows console line ends in CR LF
    [ "$found" = "'$com'" ] || { echo "search said: $found" >&2; exit 1; }
    "$0" "$1" read -o "$2/win-read.kvx"
    "$3" read --port "$ORVEX_TEST_DEVICE" -o "$2/linux-read.kvx"
' "$here/wine-run.sh" "$win_cli" "$work" "$linux_cli"
[ "$(cat "$cfg")" = "6" ] || fail "C:\\ORVEX.CFG holds '$(cat "$cfg")', not 6"
[ "$(od -An -c "$cfg" | tr -d ' ')" = '6\n' ] || fail "C:\\ORVEX.CFG is not \"6\\n\""
cmp "$work/win-read.kvx" "$work/linux-read.kvx" || fail "the Windows and Linux reads differ"
grep -q "Successful connection!!" "$work/search.err" || fail "no success message from the search"

echo "== write, then read back (Windows and Linux)"
# The radio starts empty on the Australian Marine plan; the file written
# holds South Africa with frequencies, flags and an emergency channel.
written="$samples/south_africa.kvx"
for side in win linux; do
    if [ $side = win ]; then
        steps "$work/$side-write.json" --memory "$samples/default.kvx" -- bash -c '
            set -e
            "$0" "$1" write --port '$com' "$2"
            "$0" "$1" read --port '$com' -o "$3"
        ' "$here/wine-run.sh" "$win_cli" "$written" "$work/$side-back.kvx"
    else
        steps "$work/$side-write.json" --memory "$samples/default.kvx" -- bash -c '
            set -e
            "$0" write --port "$ORVEX_TEST_DEVICE" "$1"
            "$0" read --port "$ORVEX_TEST_DEVICE" -o "$2"
        ' "$linux_cli" "$written" "$work/$side-back.kvx"
    fi
done
cmp "$work/win-write.json" "$work/linux-write.json" || fail "the radio received different writes"
cmp "$work/win-back.kvx" "$work/linux-back.kvx" || fail "the read-backs differ"
diff <(radio_part "$written") <(radio_part "$work/win-back.kvx") || fail "the radio does not hold what was written"
echo "== a file name outside the ANSI code page"
name="$work/Радио ✓.kvx"
win new "$name"
"$linux_cli" new "$work/linux-new.kvx"
cmp "$name" "$work/linux-new.kvx" || fail "the Windows new wrote a different file, or not at that name"
echo "== messages and file names reach a console, a file and a pipe as UTF-8"
bad="$work/Радио ✓ 한.kvx"
printf 'not settings' >"$bad"
expected='"Радио ✓ 한.kvx"는 잘못된 qmd파일입니다.'
if win show "$bad" >/dev/null 2>"$work/show.err"; then fail "show took a file that is not a settings file"; fi
[ "$(head -n 1 "$work/show.err" | tr -d '\r')" = "$expected" ] || fail "redirected message: $(head -n 1 "$work/show.err")"
# A console only where Wine's own output is a terminal, so not through
# wine-run.sh; the console's cursor codes are taken out. Wine's console,
# started while other programs start their own, now and then shows
# nothing at all: a second try tells that apart from a wrong text.
for try in 1 2; do
    (cd "$work" && timeout 120 script -qec "wine '$win_cli' show 'Радио ✓ 한.kvx'" /dev/null >"$work/console.out" 2>&1) || true
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/console.out" | grep -q qmd && break
    echo "(console try $try showed nothing)"
done
sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/console.out" | tr -d '\r' | grep -qxF "$expected" ||
    fail "console message: $(sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/console.out" | grep qmd)"
echo "== a failed save is traced with its cause"
ORVEX_TRACE=1 win new "$work/no such folder/x.kvx" >/dev/null 2>"$work/new.err" && fail "a save into a missing folder succeeded"
grep -q '^save failed: .*no such folder' "$work/new.err" || fail "no trace of the failed save: $(cat "$work/new.err")"
echo "== all steps passed"
