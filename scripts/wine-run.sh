#!/bin/sh
# Runs a Windows program under Wine in the given private prefix (created on
# first use). Uses the X display of the caller when there is one, otherwise a
# private Xvfb server for this one run.
set -eu
prefix=$(realpath -m "$1")
shift
"$(dirname "$0")/make-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -n "${DISPLAY:-}" ]; then
    exec wine "$@"
fi
exec xvfb-run -a wine "$@"
