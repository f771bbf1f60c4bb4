#!/bin/sh
# Installs what is missing, builds the native, the 64-bit and the 32-bit
# Windows tree, and runs every test the machine can run:
#   - the native tests, with the static checks of both DLLs;
#   - every Windows test of the 64-bit tree under the 64-bit Wine loader;
#   - every Windows test of the 32-bit tree under the 32-bit loader, where the
#     kernel itself runs 32-bit programs;
#   - both DLLs registered side by side in one prefix, the 32-bit one used by
#     a 32-bit host: natively, or under a user-mode emulator where the kernel
#     refuses 32-bit programs (slow: bounded to 15 minutes).
# The last lines say which tests ran where. Exits non-zero when a test fails
# or does not run; a failure of the emulator itself (a trivial 32-bit program
# fails the same way) is reported and does not fail the run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
jobs=$(nproc)
started=$(date +%s)
at() { echo "(at $(($(date +%s) - started)) s)"; }

"$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"

arch32=$(FERROWIND_BUILD=$build "$root/scripts/arch32.sh" probe)
mode32=${arch32%% *}
echo "== 32-bit programs: $arch32"

# The 32-bit tree: everything where it can run, otherwise the products the
# emulated run and the static checks need.
cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
if [ "$mode32" = native ]; then
    cmake --build "$build/win" -j "$jobs"
else
    cmake --build "$build/win" -j "$jobs" --target Ferrowind ferrowind_help ferrowind-host
fi

cleanup() {
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    for p in "$build/win64/wineprefix" "$build/win/wineprefix" "$build/win64/wineprefix-wow"; do
        [ -d "$p" ] && WINEPREFIX="$p" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    done
    [ "${emulator:-}" = registered ] && "$root/scripts/arch32.sh" emulate-off
    true
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

# The 64-bit tests' prefix is made before any emulator is registered: made
# with one, it would set up its 32-bit side too, for minutes.
"$root/scripts/make-prefix.sh" "$build/win64/wineprefix"

# Where the kernel refuses 32-bit programs, an emulator runs the side-by-side
# test; its prefix, whose 32-bit side takes minutes to set up, is made in the
# background while the other trees build.
wow_log=$build/both-architectures.log
if [ "$mode32" = emulated ] || [ "$mode32" = none ]; then
    emulator=$("$root/scripts/arch32.sh" emulate-on)
    case $emulator in
    registered | present) mode32=emulated ;;
    *) echo "== 32-bit emulation cannot be set up: $emulator" ;;
    esac
fi
if [ "$mode32" != none ]; then
    rm -f "$wow_log"
    (timeout 600 "$root/scripts/make-prefix.sh" "$build/win64/wineprefix-wow" >"$wow_log.prefix" 2>&1; echo $? >"$wow_log.prefix-status") &
    wow_prefix_pid=$!
fi

cmake -S "$root" -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DFERROWIND_WIN32_TREE="$build/win" >/dev/null
cmake --build "$build/win64" -j "$jobs"

cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DFERROWIND_DLL_32="$build/win/bin/Ferrowind.dll" -DFERROWIND_DLL_64="$build/win64/bin/Ferrowind.dll" >/dev/null
cmake --build "$build/native" -j "$jobs"

# The side-by-side test runs in the background once its prefix is ready.
if [ "$mode32" != none ]; then
    (
        wait_started=$(date +%s)
at() { echo "(at $(($(date +%s) - started)) s)"; }
        while [ ! -f "$wow_log.prefix-status" ]; do sleep 2; done
        if [ "$(cat "$wow_log.prefix-status")" != 0 ]; then
            echo "the prefix could not be made:"; cat "$wow_log.prefix"; echo "status 1" >"$wow_log.status"; exit 0
        fi
        status=0
        ctest --test-dir "$build/win64" -L wow --output-on-failure --timeout 900 || status=$?
        echo "status $status seconds $(($(date +%s) - wait_started))" >"$wow_log.status"
    ) >"$wow_log" 2>&1 &
    wow_pid=$!
fi

status=0
echo "== native tests (with the static checks of both DLLs) $(at)"
ctest --test-dir "$build/native" --output-on-failure --timeout 900 --no-tests=error -j "$jobs" || status=1

run_windows_tests() {
    tree=$1 arch=$2
    wine_env "$build/$tree/wineprefix" "$arch"
    "$root/scripts/make-prefix.sh" "$WINEPREFIX"
    # One wineserver for the whole run instead of one per test program; its
    # service processes start here, away from CTest's output pipes.
    "$WINESERVER" -p
    "$WINELOADER" cmd /c exit >/dev/null 2>&1 </dev/null || true
    ctest --test-dir "$build/$tree" --output-on-failure --timeout 900 --no-tests=error -LE wow || status=1
    "$WINESERVER" -k 2>/dev/null || true
}
echo "== 64-bit Windows tests (wine64) $(at)"
run_windows_tests win64 64
if [ "$mode32" = native ]; then
    echo "== 32-bit Windows tests (32-bit Wine loader) $(at)"
    run_windows_tests win 32
fi

wow_summary="not run: no way to run 32-bit programs here"
if [ -n "${wow_pid:-}" ]; then
    echo "== both DLLs side by side, the 32-bit one $mode32 (waiting for it) $(at)"
    wait "$wow_pid" || true
    cat "$wow_log"
    set -- $(cat "$wow_log.status" 2>/dev/null || echo "status 1 seconds 0")
    if [ "$2" = 0 ]; then
        wow_summary="passed, $mode32, in $4 s"
    else
        # Tell a failure of the plug-in from one of the emulator: does a
        # trivial 32-bit program run in that prefix?
        if [ "$mode32" = emulated ] && ! timeout 300 \
            "$root/scripts/wine-run.sh" --arch 32 "$build/win64/wineprefix-wow" cmd.exe /c echo trivial-32-bit-ok \
            2>&1 | grep -q trivial-32-bit-ok; then
            wow_summary="NOT RUN: the emulator itself fails (a trivial 32-bit program fails too); not counted as a failure"
        else
            wow_summary="FAILED ($mode32)"
            status=1
        fi
    fi
fi

echo
echo "== Which tests ran where ($(($(date +%s) - started)) s in all)"
echo "native (Linux, ASan+UBSan): ran; static checks of the 32-bit and the 64-bit DLL: ran"
echo "64-bit Windows tests (wine64): ran"
case $mode32 in
native) echo "32-bit Windows tests (32-bit loader): ran natively" ;;
*) echo "32-bit Windows tests (32-bit loader): not run (${arch32#* })" ;;
esac
echo "32-bit DLL beside the 64-bit one, regsvr32 and a 32-bit host through COM: $wow_summary"
[ $status = 0 ] && echo "all tests that ran passed" || echo "SOME TESTS FAILED"
exit $status
