#!/bin/sh
# Builds both DLLs twice from this source tree, each time from nothing in a
# fresh folder of its own (the two at different paths), and compares them
# byte for byte, with their debug information files. Prints the sha256sum of
# every file; exits 0 when the two builds are identical, 1 when they differ.
#
#   repro-check.sh [JOBS]
#
# The folders are removed however the script ends.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-2}
work=$(mktemp -d "${TMPDIR:-/tmp}/ferrowind-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

for build in first second-build; do
    for arch in i686:x86 x86_64:x64; do
        tree=$work/$build/${arch#*:}
        echo "== building $tree"
        cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-${arch%:*}.cmake" -DFERROWIND_PACKAGE=OFF >/dev/null
        cmake --build "$tree" -j "$jobs" --target Ferrowind >/dev/null
    done
done

status=0
for arch in x86 x64; do
    for file in Ferrowind.dll Ferrowind.dll.debug; do
        (cd "$work" && sha256sum "first/$arch/bin/$file" "second-build/$arch/bin/$file")
        cmp -s "$work/first/$arch/bin/$file" "$work/second-build/$arch/bin/$file" || {
            echo "DIFFER: $arch/$file"
            status=1
        }
    done
done
[ $status = 0 ] && echo "the two builds are identical" || echo "the two builds DIFFER"
exit $status
