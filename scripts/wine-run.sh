#!/bin/sh
# Runs a Windows program under Wine in the given private prefix (created on
# first use). Uses the X display of the caller when there is one, otherwise a
# private Xvfb server for this one run.
#
# The program's output goes through a file: Wine's service processes, started
# by the first program of a session, inherit its standard handles and outlive
# it, and a pipe they hold open would keep CTest waiting for ever.
set -eu
prefix=$(realpath -m "$1")
shift
"$(dirname "$0")/make-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
if [ -n "${DISPLAY:-}" ]; then
    wine "$@" >"$log" 2>&1 </dev/null || status=$?
else
    xvfb-run -a wine "$@" >"$log" 2>&1 </dev/null || status=$?
fi
cat "$log"
exit $status
