#!/bin/sh
# Creates the private Wine prefix of a build tree, once: a 32-bit prefix in
# which "Arial" resolves to Liberation Sans and windows are unmanaged (so that
# closing a dialog does not wait for a window manager), and where a crashing
# program ends at once instead of waiting in the debugger. Safe to run in parallel.
set -eu
prefix=$(realpath -m "$1")
stamp="$prefix/.ferrowind-ready"
[ -f "$stamp" ] && exit 0

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run() {
    if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi
}
run wineboot -i >/dev/null 2>&1
reg="$prefix/ferrowind-prefix.reg"
printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"Arial"="Liberation Sans"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
    '"Managed"="N"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"=-' '"Auto"="1"' '' > "$reg"
run wine regedit "$reg" >/dev/null 2>&1
wineserver -w
touch "$stamp"
