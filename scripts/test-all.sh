#!/bin/sh
# Installs what is missing, builds the native, the 64-bit and the 32-bit
# Windows tree, and runs every test the machine can run:
#   - the native tests, with the static checks of both DLLs;
#   - every Windows test of the 64-bit tree under the 64-bit Wine loader;
#   - every Windows test of the 32-bit tree under the 32-bit loader, where the
#     kernel itself runs 32-bit programs and the 32-bit Wine is installed;
#   - both DLLs registered side by side in one prefix, the 32-bit one used by
#     a 32-bit host: natively, or under a user-mode emulator where the kernel
#     refuses 32-bit programs (slow: bounded to 15 minutes).
#
#   test-all.sh [--no-wait]
#
# One run per machine at a time: a second run waits for the first, or with
# --no-wait refuses at once. However the run ends, what it started (Xvfb,
# wineservers, background jobs, the emulator's binfmt_misc entry) is gone
# afterwards (scripts/run-guard.sh). The last lines say which tests ran where.
# Exits non-zero when a test fails; a part that cannot run here (no 32-bit
# Wine, no emulator, a prefix that could not be made, an emulator that fails
# a trivial 32-bit program too) is reported plainly and does not fail the run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
jobs=$(nproc)
started=$(date +%s)
since_start() { echo "(at $(($(date +%s) - started)) s)"; }
no_wait=""
case ${1:-} in
--no-wait) no_wait=--no-wait ;;
"") ;;
*) echo "usage: test-all.sh [--no-wait]" >&2; exit 2 ;;
esac

. "$root/scripts/run-guard.sh"
. "$root/scripts/wine-env.sh"
mkdir -p "$build"
cd "$build"
guard_begin $no_wait

guard_wait "$root/scripts/setup.sh" --report "$build/setup-32bit.txt"

arch32=$(FERROWIND_BUILD=$build "$root/scripts/arch32.sh" probe)
kernel32=${arch32%% *}
echo "== 32-bit programs: $arch32"
# How the 32-bit side runs: "native", "emulated" or "none", and why not.
if [ ! -x /usr/lib/wine/wine ]; then
    mode32=none
    why32="no 32-bit Wine: $(cat "$build/setup-32bit.txt" 2>/dev/null || echo "wine32:i386 is not installed")"
elif [ "$kernel32" = native ]; then
    mode32=native why32=""
else
    mode32=emulated why32="the kernel does not run 32-bit programs itself; an emulator serves the side-by-side test only"
fi

# The 32-bit tree: everything where it can run, otherwise the products the
# emulated run and the static checks need.
cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
if [ "$mode32" = native ]; then
    guard_wait cmake --build "$build/win" -j "$jobs"
else
    guard_wait cmake --build "$build/win" -j "$jobs" --target Ferrowind ferrowind_help ferrowind-host
fi

# One X server for every Windows test that opens a window.
if [ -z "${DISPLAY:-}" ]; then
    n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    export DISPLAY=":$n"
    sleep 1
fi

# The 64-bit tests' prefix is made before any emulator is registered: made
# with one, it would set up its 32-bit side too, for minutes.
guard_wait "$root/scripts/make-prefix.sh" "$build/win64/wineprefix"

# The side-by-side test runs in the background while the other trees build
# and test: first its prefix, whose 32-bit side takes minutes to set up under
# an emulator, then the test. The emulator is registered for that part only.
wow_log=$build/both-architectures.log
rm -f "$wow_log" "$wow_log".*
if [ "$mode32" = emulated ]; then
    if guard_emulate_on; then
        echo "== 32-bit emulation: $guard_how"
    else
        mode32=none why32="no emulator: $guard_how"
    fi
fi
if [ "$mode32" != none ]; then
    (
        wait_started=$(date +%s)
        if ! timeout 600 "$root/scripts/make-prefix.sh" "$build/win64/wineprefix-wow"; then
            echo "prefix" >"$wow_log.status"
            exit 0
        fi
        # The test program comes from the 64-bit tree, built meanwhile.
        while [ ! -f "$wow_log.built" ]; do sleep 2; done
        status=0
        ctest --test-dir "$build/win64" -L wow --output-on-failure --timeout 900 || status=$?
        echo "$status $(($(date +%s) - wait_started))" >"$wow_log.status"
    ) >"$wow_log" 2>&1 &
    wow_pid=$!
fi

cmake -S "$root" -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DFERROWIND_WIN32_TREE="$build/win" >/dev/null
guard_wait cmake --build "$build/win64" -j "$jobs"
touch "$wow_log.built"

cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DFERROWIND_DLL_32="$build/win/bin/Ferrowind.dll" -DFERROWIND_DLL_64="$build/win64/bin/Ferrowind.dll" \
    -DFERROWIND_MSI="$build/win64/installer/Ferrowind.msi" >/dev/null
guard_wait cmake --build "$build/native" -j "$jobs"

status=0
echo "== native tests (with the static checks of both DLLs) $(since_start)"
guard_wait ctest --test-dir "$build/native" --output-on-failure --timeout 900 --no-tests=error -j "$jobs" || status=1

run_windows_tests() {
    tree=$1 arch=$2
    wine_env "$build/$tree/wineprefix" "$arch"
    guard_wait "$root/scripts/make-prefix.sh" "$WINEPREFIX"
    # One wineserver for the whole run instead of one per test program; its
    # service processes start here, away from CTest's output pipes.
    "$WINESERVER" -p
    "$WINELOADER" cmd /c exit >/dev/null 2>&1 </dev/null || true
    guard_wait ctest --test-dir "$build/$tree" --output-on-failure --timeout 900 --no-tests=error -LE wow || status=1
    "$WINESERVER" -k 2>/dev/null || true
}
echo "== 64-bit Windows tests (wine64) $(since_start)"
run_windows_tests win64 64
if [ "$mode32" = native ]; then
    echo "== 32-bit Windows tests (32-bit Wine loader) $(since_start)"
    run_windows_tests win 32
fi

wow_summary="not run: $why32"
if [ -n "${wow_pid:-}" ]; then
    echo "== both DLLs side by side, the 32-bit one $mode32 (waiting for it) $(since_start)"
    wait "$wow_pid" || true
    cat "$wow_log"
    set -- $(cat "$wow_log.status" 2>/dev/null || echo "lost")
    if [ "$1" = 0 ]; then
        wow_summary="passed, $mode32, in $2 s"
    elif [ "$1" = prefix ]; then
        wow_summary="NOT RUN: its prefix could not be made (the log above says why); not counted as a failure"
    elif [ "$mode32" = emulated ] && ! timeout 300 \
        "$root/scripts/wine-run.sh" --arch 32 "$build/win64/wineprefix-wow" cmd.exe /c echo trivial-32-bit-ok \
        2>&1 | grep -q trivial-32-bit-ok; then
        # The plug-in's failure or the emulator's: does a trivial 32-bit
        # program run in the same, good prefix?
        wow_summary="NOT RUN: the emulator itself fails (a trivial 32-bit program fails too in the same prefix); not counted as a failure"
    else
        wow_summary="FAILED ($mode32)"
        status=1
    fi
    guard_emulate_off
fi

echo
echo "== Which tests ran where ($(($(date +%s) - started)) s in all)"
echo "native (Linux, ASan+UBSan): ran; static checks of the 32-bit and the 64-bit DLL: ran"
echo "64-bit Windows tests (wine64): ran"
if [ "$mode32" = native ]; then
    echo "32-bit Windows tests (32-bit loader): ran natively"
else
    echo "32-bit Windows tests (32-bit loader): not run ($why32)"
fi
echo "32-bit DLL beside the 64-bit one, regsvr32 and a 32-bit host through COM: $wow_summary"
[ $status = 0 ] && echo "all tests that ran passed" || echo "SOME TESTS FAILED"
exit $status
