#!/bin/sh
# Creates the private Wine prefix of a build tree, once: a 64-bit prefix
# (made by the 64-bit loader, so that every x86-64 machine can make it) in
# which "Arial" resolves to Liberation Sans and windows are unmanaged (so that
# closing a dialog does not wait for a window manager), and where a crashing
# program, 32-bit or 64-bit, ends at once instead of waiting in the debugger.
# A second argument sets the display's pixels per inch (LogPixels), also of a
# prefix made before. Safe to run in parallel.
set -eu
prefix=$(realpath -m "$1")
dpi=${2:-}
stamp="$prefix/.ferrowind-ready"
dpi_stamp="$prefix/.ferrowind-dpi"
run() {
    if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi
}
set_dpi() {
    [ -z "$dpi" ] && return 0
    [ -f "$dpi_stamp" ] && [ "$(cat "$dpi_stamp")" = "$dpi" ] && return 0
    printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Control Panel\Desktop]' \
        "\"LogPixels\"=dword:$(printf '%08x' "$dpi")" '' > "$prefix/ferrowind-dpi.reg"
    run "$WINELOADER" regedit.exe "$prefix/ferrowind-dpi.reg" >/dev/null 2>&1
    "$WINESERVER" -w
    echo "$dpi" > "$dpi_stamp"
}
case $dpi in
*[!0-9]*) echo "make-prefix: DPI $dpi is not a number" >&2; exit 2 ;;
esac
. "$(dirname "$0")/wine-env.sh"
wine_env "$prefix" 64
if [ -f "$stamp" ] && { [ -z "$dpi" ] || [ "$(cat "$dpi_stamp" 2>/dev/null)" = "$dpi" ]; }; then
    exit 0
fi

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ -f "$stamp" ]; then
    set_dpi
    exit 0
fi

run "$WINELOADER" wineboot.exe -i >/dev/null 2>&1
reg="$prefix/ferrowind-prefix.reg"
# A crashed program would start winedbg and wait in it; Wine starts its own
# debugger when none is named, so the one named here is a program that does
# not exist: starting it fails and the crashed program ends at once. The
# setting lives in the machine's software key, which has a view per
# architecture.
printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"Arial"="Liberation Sans"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
    '"Managed"="N"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"="ferrowind-no-debugger.exe"' '"Auto"="1"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"="ferrowind-no-debugger.exe"' '"Auto"="1"' '' > "$reg"
run "$WINELOADER" regedit.exe "$reg" >/dev/null 2>&1
"$WINESERVER" -w
set_dpi
touch "$stamp"
