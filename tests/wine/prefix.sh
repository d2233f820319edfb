# Sourced: the project's own Wine prefix, made on first use, and quiet Wine.
: "${ORVEX_WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/orvex/wineprefix}"
export WINEPREFIX="$ORVEX_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono or Gecko installer dialogs: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The folders the programs' DLLs are in (the compiler's runtime, Qt), named
# by the build in ORVEX_WINE_DLL_PATH, as Wine sees them on its Z: drive.
if [ -n "${ORVEX_WINE_DLL_PATH:-}" ]; then
    _orvex_dlls=""
    _orvex_rest="$ORVEX_WINE_DLL_PATH:"
    while [ -n "$_orvex_rest" ]; do
        _orvex_dir=${_orvex_rest%%:*}
        _orvex_rest=${_orvex_rest#*:}
        [ -n "$_orvex_dir" ] && _orvex_dlls="$_orvex_dlls${_orvex_dlls:+;}Z:$(printf '%s' "$_orvex_dir" | tr / '\\')"
    done
    export WINEPATH="$_orvex_dlls${WINEPATH:+;$WINEPATH}"
    unset _orvex_dlls _orvex_rest _orvex_dir
fi

# The mark is made once wineboot has finished: its registry files appear
# long before, and a program started in between finds half a prefix.
orvex_wine_prefix() {
    local ready="$WINEPREFIX/.orvex-ready"
    [ -f "$ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$ready" ]; then
            wineboot -i >/dev/null 2>&1
            wineserver -w
            touch "$ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Wine on a 64-bit-only Debian says at every start that wine32 is missing.
orvex_wine_quiet() {
    grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2 || true
}
