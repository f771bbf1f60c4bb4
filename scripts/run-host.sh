#!/bin/sh
# Installs what is missing, builds the Windows tree and runs the reference
# host under Wine: a clip of 1280 x 720 frames goes through the drawing
# engine, and a few frames and a contact sheet are written as PNG.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
out=$build/win/out
jobs=$(nproc)

"$root/scripts/setup.sh"

cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$jobs" --target ferrowind-host

mkdir -p "$out"
rm -f "$out"/*.png
# The host writes into its working folder; Wine maps it to a drive path.
(cd "$out" && "$root/scripts/wine-run.sh" "$build/win/wineprefix" \
    "$build/win/tools/refhost/ferrowind-host.exe")
echo "pictures: $out"
ls -1 "$out"
