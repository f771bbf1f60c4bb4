#!/bin/sh
# Installs what is missing, builds the Windows tree and runs the reference
# host under Wine through COM: regsvr32 registers Ferrowind.dll in the build
# tree's prefix, the host finds it through its component category, creates it
# with CoCreateInstance and draws a clip of 1280 x 720 frames through
# IWendleVideoDraw, writing a few frames and a contact sheet as PNG; then it
# releases the plug-in and checks DllCanUnloadNow, and regsvr32 removes the
# registration again. Arguments go to the host (see --help); without them it
# draws its default scenario.
#
# The registration is machine-wide in the private prefix: Wine 8 does not
# merge per-user class registrations (HKCU\Software\Classes) into
# HKEY_CLASSES_ROOT, so COM there cannot find a plug-in registered with
# "regsvr32 /n /i:user" (the per-user registration itself is tested).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
out=$build/win/out
prefix=$build/win/wineprefix
jobs=$(nproc)

"$root/scripts/setup.sh"

cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$jobs" --target ferrowind-host Ferrowind ferrowind_help

# Wine's drive Z: is the Linux root.
dll="Z:$(printf '%s' "$build/win/bin/Ferrowind.dll" | tr / '\\')"
run() { "$root/scripts/wine-run.sh" "$prefix" "$@"; }

unregister() { run regsvr32 /s /u "$dll" || echo "regsvr32 /u failed" >&2; }
run regsvr32 /s "$dll"
printf "registered: %s\n" "$dll"
trap unregister EXIT

mkdir -p "$out"
rm -f "$out"/*.png
# The host writes into its working folder; Wine maps it to a drive path.
# Relative file arguments (settings files) are taken from that folder too.
(cd "$out" && run "$build/win/tools/refhost/ferrowind-host.exe" "$@")

trap - EXIT
unregister
printf "unregistered: %s\n" "$dll"
echo "pictures: $out"
ls -1 "$out"
