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

# One X server for every Windows test that opens a window.
if [ -z "${DISPLAY:-}" ]; then
    display=:$(( ($$ % 400) + 100 ))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    export DISPLAY=$display
    sleep 1
fi
"$root/scripts/make-prefix.sh" "$build/win/wineprefix"
# Keep one wineserver for the whole run instead of one per test program.
WINEPREFIX="$build/win/wineprefix" wineserver -p 30

status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure --no-tests=error -j "$jobs" || status=1
echo "== Windows tests (Wine)"
ctest --test-dir "$build/win" --output-on-failure --no-tests=error || status=1
exit $status
