#!/bin/sh
# Runs a Windows program under Wine in the given private prefix (created on
# first use):
#   wine-run.sh [--arch 32|64] [--gtest] [--no-display] [--dpi N] PREFIX PROGRAM [ARGUMENTS...]
# --arch picks Wine's loader: 64 (the default) the 64-bit one, which every
# x86-64 machine runs; 32 the 32-bit one, which needs a kernel (or an
# emulator) that runs 32-bit programs. Debian's "wine" wrapper would always
# take the 32-bit loader when it is installed, so the loaders are called
# directly. --gtest fails a run whose output lacks GoogleTest's final
# summary, so that a program that died early never counts as passed.
# --no-display runs the program without an X display, for programs that open
# no window: Wine's X11 driver then stays out of the way of drawing threads.
# --dpi sets the display's pixels per inch of the prefix (LogPixels: 96 is
# 100 %, 192 is 200 %); give such a prefix to programs that need that scaling.
#
# Uses the X display of the caller when there is one, otherwise a private
# Xvfb server for this one run. The program's output goes through a file:
# Wine's service processes, started by the first program of a session,
# inherit its standard handles and outlive it, and a pipe they hold open
# would keep CTest waiting for ever.
set -eu
arch=64
gtest=0
display=1
dpi=
while [ $# -gt 0 ]; do
    case $1 in
    --arch) arch=$2; shift 2 ;;
    --gtest) gtest=1; shift ;;
    --no-display) display=0; shift ;;
    --dpi) dpi=$2; shift 2 ;;
    *) break ;;
    esac
done
prefix=$(realpath -m "$1")
shift
here=$(dirname "$0")
"$here/make-prefix.sh" "$prefix" $dpi
. "$here/wine-env.sh"
wine_env "$prefix" "$arch"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
if [ "$display" = 0 ]; then
    env -u DISPLAY "$WINELOADER" "$@" >"$log" 2>&1 </dev/null || status=$?
elif [ -n "${DISPLAY:-}" ]; then
    "$WINELOADER" "$@" >"$log" 2>&1 </dev/null || status=$?
else
    xvfb-run -a "$WINELOADER" "$@" >"$log" 2>&1 </dev/null || status=$?
fi
cat "$log"
if [ "$gtest" = 1 ] && [ "$status" = 0 ] &&
    ! grep -Eq '^\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran' "$log"; then
    echo "wine-run: the program ended without GoogleTest's summary" >&2
    status=1
fi
exit $status
