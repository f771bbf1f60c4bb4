#!/bin/sh
# Installs what is missing, builds a Windows tree and runs the reference host
# under Wine through COM: regsvr32 registers Ferrowind.dll in the tree's
# prefix, the host finds it through its component category, creates it with
# CoCreateInstance and draws a clip of 1280 x 720 frames through
# IWendleVideoDraw, writing a few frames and a contact sheet as PNG; then it
# releases the plug-in and checks DllCanUnloadNow, and regsvr32 removes the
# registration again.
#
#   scripts/run-host.sh [--arch 32|64] [host arguments...]
#
# --arch picks the DLL and host: 64 (the default) runs on every x86-64
# machine; 32 needs a kernel that runs 32-bit programs, or else an emulator,
# under which each Wine process takes about a minute. Other arguments go to
# the host (see --help); without them it draws its default scenario.
#
# The registration is machine-wide in the private prefix: Wine 8 does not
# merge per-user class registrations (HKCU\Software\Classes) into
# HKEY_CLASSES_ROOT, so COM there cannot find a plug-in registered with
# "regsvr32 /n /i:user" (the per-user registration itself is tested).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
jobs=$(nproc)
arch=64
if [ "${1:-}" = --arch ]; then
    arch=${2:-}
    shift 2
fi
case $arch in
64) tree=win64 toolchain=mingw-x86_64 ;;
32) tree=win toolchain=mingw-i686 ;;
*) echo "run-host: --arch takes 32 or 64" >&2; exit 2 ;;
esac
out=$build/$tree/out
prefix=$build/$tree/wineprefix

"$root/scripts/setup.sh" --base-only
if [ "$arch" = 32 ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "run-host: the 32-bit DLL needs the 32-bit Wine (wine32:i386), which is not installed; scripts/setup.sh installs it" >&2
    exit 1
fi

# A run of its own on this machine: what it starts (wineserver, an emulator
# registration) is gone however it ends.
. "$root/scripts/run-guard.sh"
mkdir -p "$build"
cd "$build"
guard_begin
if [ "$arch" = 32 ]; then
    how=$("$root/scripts/arch32.sh" probe)
    case $how in
    native*) ;;
    *)
        if ! guard_emulate_on; then
            echo "run-host: cannot run the 32-bit DLL: ${how#* }; emulation: $guard_how" >&2
            exit 1
        fi
        echo "run-host: 32-bit programs run under an emulator here ($guard_how): expect minutes"
        ;;
    esac
fi

cmake -S "$root" -B "$build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" >/dev/null
guard_wait cmake --build "$build/$tree" -j "$jobs" --target ferrowind-host Ferrowind ferrowind_help

# Wine's drive Z: is the Linux root.
dll="Z:$(printf '%s' "$build/$tree/bin/Ferrowind.dll" | tr / '\\')"
run() { guard_wait "$root/scripts/wine-run.sh" --arch "$arch" "$prefix" "$@"; }

unregister() { run regsvr32 /s /u "$dll"; }
guard_on_exit=unregister
run regsvr32 /s "$dll"
printf "registered the %s-bit DLL: %s\n" "$arch" "$dll"
mkdir -p "$out"
rm -f "$out"/*.png
# The host writes into its working folder; Wine maps it to a drive path.
# Relative file arguments (settings files) are taken from that folder too.
status=0
(cd "$out" && run "$build/$tree/tools/refhost/ferrowind-host.exe" "$@") || status=$?
guard_on_exit=""
unregister || { echo "regsvr32 /u failed" >&2; status=1; }
printf "unregistered: %s\n" "$dll"
[ $status = 0 ] || exit $status
echo "ran the $arch-bit DLL and host ($tree)"
echo "pictures: $out"
ls -1 "$out"
