#!/bin/sh
# help-and-man-test.sh VERSION CLI [PROGRAM PAGE.1]...
# orvex-cli answers --help and --version on stdout with status 0, and each
# manual page still says everything its program's --help says, with no
# complaint from man.
set -u
version=$1 cli=$2
shift 2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for option in --help help; do
    "$cli" $option >"$out/stdout" 2>"$out/stderr"
    status=$?
    [ $status -eq 0 ] || fail "orvex-cli $option exits $status"
    [ -s "$out/stderr" ] && fail "orvex-cli $option writes to stderr: $(cat "$out/stderr")"
    head -n 1 "$out/stdout" | grep -q '^usage: orvex-cli ' || fail "orvex-cli $option does not begin with its usage line"
    grep -q -- '--version' "$out/stdout" || fail "orvex-cli $option does not name --version"
done
"$cli" --version >"$out/stdout" 2>"$out/stderr"
status=$?
[ $status -eq 0 ] || fail "orvex-cli --version exits $status"
[ "$(cat "$out/stdout")" = "orvex-cli $version" ] || fail "orvex-cli --version prints '$(cat "$out/stdout")', not 'orvex-cli $version'"
[ -s "$out/stderr" ] && fail "orvex-cli --version writes to stderr"
# Options are not commands: anything else still is wrong usage.
"$cli" --versions >/dev/null 2>&1
[ $? -eq 2 ] || fail "orvex-cli --versions is not a usage error"

while [ $# -ge 2 ]; do
    program=$1 page=$2
    shift 2
    name=$(basename "$program")
    [ -s "$page" ] || { fail "$page missing"; continue; }
    # The page's text as a reader sees it, roff escapes undone, line by line.
    sed -e 's/\\-/-/g' -e 's/^\\&//' -e 's/\\e/\\/g' "$page" >"$out/page"
    QT_QPA_PLATFORM=offscreen "$program" --help 2>/dev/null | sed "s|$program|$name|g" >"$out/help"
    [ -s "$out/help" ] || fail "$name --help printed nothing"
    while IFS= read -r line; do
        case $line in
        "" | [Uu]sage:*) continue ;;
        esac
        grep -Fxq -- "$line" "$out/page" || fail "$name.1 lacks the help line '$line'"
    done <"$out/help"
    synopsis=$(sed -n "1s/^[Uu]sage: *$name *//p" "$out/help")
    grep -Fxq -- "$synopsis" "$out/page" || fail "$name.1 lacks the synopsis '$synopsis'"
    if QT_QPA_PLATFORM=offscreen "$program" --version >"$out/version" 2>/dev/null; then
        grep -Fxq -- "$(sed "s|$program|$name|g" "$out/version")" "$out/page" || fail "$name.1 lacks its version"
    fi
    # What lintian asks man about a page.
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns about $name.1: $warnings"
done
[ $# -eq 0 ] || fail "odd argument '$1'"

[ $failures -eq 0 ] || exit 1
echo "help, version and manual pages agree"
