#!/bin/sh
# Installs what is missing, builds the native and the Windows tree, and runs
# every test of both. Exits non-zero when a test fails or does not run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
jobs=$(nproc)

"$root/scripts/setup.sh"

cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build/native" -j "$jobs"

cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$jobs"

prefix="$build/win/wineprefix"
cleanup() {
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# One X server for every Windows test that opens a window.
if [ -z "${DISPLAY:-}" ]; then
    n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    sleep 1
fi
"$root/scripts/make-prefix.sh" "$prefix"
# One wineserver for the whole run instead of one per test program; its
# service processes start here, away from CTest's output pipes.
WINEPREFIX="$prefix" wineserver -p
WINEPREFIX="$prefix" WINEDEBUG=-all wine cmd /c exit >/dev/null 2>&1 </dev/null || true

status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure --timeout 900 --no-tests=error -j "$jobs" || status=1
echo "== Windows tests (Wine)"
ctest --test-dir "$build/win" --output-on-failure --timeout 900 --no-tests=error || status=1
exit $status
