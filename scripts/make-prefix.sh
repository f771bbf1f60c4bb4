#!/bin/sh
# Creates the private Wine prefix of a build tree, once: a 64-bit prefix
# (made by the 64-bit loader, so that every x86-64 machine can make it) in
# which "Arial" resolves to Liberation Sans and windows are unmanaged (so that
# closing a dialog does not wait for a window manager), and where a crashing
# program, 32-bit or 64-bit, ends at once instead of waiting in the debugger.
# Safe to run in parallel.
set -eu
prefix=$(realpath -m "$1")
stamp="$prefix/.ferrowind-ready"
[ -f "$stamp" ] && exit 0

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0

. "$(dirname "$0")/wine-env.sh"
wine_env "$prefix" 64
run() {
    if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi
}
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
touch "$stamp"
