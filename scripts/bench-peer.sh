#!/bin/sh
# Time per frame of the drawing entry (ferrowind-bench under Wine) next to the
# tool a user would otherwise reach for: ffmpeg's drawtext filter burning a
# running time code into raw 32-bit frames of the same sizes, with the same
# typeface (Liberation Sans, which "Arial" resolves to in the Wine prefix) at
# 64 pixels.
#
# Every ffmpeg run reads one raw BGRA frame over and over, on one thread, and
# is repeated, keeping the fastest. drawtext draws in place, and frames that
# come straight from a raw file are not writable, so ffmpeg copies each frame
# before any drawing filter runs. Two figures come out of that:
#   drawtext: the drawing alone. Frames pass a one-pixel drawbox (which pays
#     for the copy) and then ten drawtext filters drawing the same time code;
#     the CPU time of that run less that of a run with the drawbox alone,
#     divided by ten and by the number of frames. Ten filters lift the
#     drawing well above the run-to-run noise of the copy at large sizes.
#   in pipeline: what one drawtext adds to the plain raw pipeline, copy
#     included: the wall time of a run with it less that of a run without.
# The ratio compares the engine with the drawing alone.
#
#   scripts/bench-peer.sh [--arch 32|64|both] [frames per run]   (default 300)
#
# The engine is measured for each architecture asked for: by default the
# 64-bit DLL, and the 32-bit one too where the kernel runs 32-bit programs
# itself (under an emulator its times would mean nothing).
#
# Installs ffmpeg (Debian's package) when it is missing; run it as root then.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERROWIND_BUILD:-$root/build}
archs=""
if [ "${1:-}" = --arch ]; then
    case $2 in 32 | 64) archs=$2 ;; both) archs="64 32" ;; *) echo "bench-peer: --arch 32|64|both" >&2; exit 2 ;; esac
    shift 2
fi
frames=${1:-300}
repeats=3
font=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
jobs=$(nproc)

"$root/scripts/setup.sh"
if ! command -v ffmpeg >/dev/null 2>&1; then
    if [ "$(id -u)" != "0" ]; then
        echo "bench-peer: ffmpeg is missing (run as root to install it)" >&2
        exit 1
    fi
    echo "bench-peer: installing ffmpeg"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ffmpeg
fi

if [ -z "$archs" ]; then
    archs=64
    case $("$root/scripts/arch32.sh" probe) in
    native*) archs="64 32" ;;
    *) echo "bench-peer: 32-bit not measured: the kernel does not run 32-bit programs itself" ;;
    esac
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The engine: ferrowind-bench prints the median per size of as many frames;
# one line per architecture and size.
: >"$work/engine.tsv"
for arch in $archs; do
    if [ "$arch" = 64 ]; then tree=win64 toolchain=mingw-x86_64; else tree=win toolchain=mingw-i686; fi
    cmake -S "$root" -B "$build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" >/dev/null
    cmake --build "$build/$tree" -j "$jobs" --target ferrowind-bench
    "$root/scripts/wine-run.sh" --arch "$arch" --no-display "$build/$tree/wineprefix" \
        "$build/$tree/tools/bench/ferrowind-bench.exe" "$frames" --sizes-only >"$work/engine-$arch.txt"
    awk -v arch="$arch" '/^[0-9]+ x [0-9]+ / && $4 != "failed" { print $1 "x" $3, arch, $4, $5 }' \
        "$work/engine-$arch.txt" >>"$work/engine.tsv"
    if ! grep -q " $arch " "$work/engine.tsv"; then
        cat "$work/engine-$arch.txt" >&2
        echo "bench-peer: ferrowind-bench ($arch-bit) gave no figures" >&2
        exit 1
    fi
done
sort -t x -k1,1n -s "$work/engine.tsv" >"$work/engine-sorted.tsv"

# "user-seconds wall-seconds" of one ffmpeg run over frames of size $1 read
# from the raw file $2, from its -benchmark line; the other arguments are
# output options.
run_ffmpeg() {
    run_size=$1
    run_raw=$2
    shift 2
    ffmpeg -hide_banner -nostdin -benchmark -threads 1 -filter_threads 1 \
        -stream_loop -1 -f rawvideo -pix_fmt bgra -s "$run_size" -framerate 30 -i "$run_raw" \
        "$@" 2>&1 | sed -n 's/.*bench: utime=\([0-9.]*\)s.*rtime=\([0-9.]*\)s.*/\1 \2/p'
}

# The smallest value of field $1 over $repeats runs of the rest.
fastest() {
    field=$1
    shift
    best=""
    i=0
    while [ $i -lt $repeats ]; do
        t=$("$@" | awk -v f="$field" '{ print $f }')
        if [ -z "$t" ]; then
            echo "bench-peer: ffmpeg failed: $*" >&2
            exit 1
        fi
        best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
        i=$((i + 1))
    done
    echo "$best"
}

box="drawbox=x=0:y=0:w=1:h=1:t=1:c=black"
drawtext="drawtext=fontfile=$font:fontsize=64:fontcolor=white:x=19:y=13"
drawtext="$drawtext:timecode='00\:00\:00\:00':timecode_rate=30"
stacked=10
chain=$box
i=0
while [ $i -lt $stacked ]; do
    chain="$chain,$drawtext"
    i=$((i + 1))
done

printf '%-11s  %6s  %14s  %14s  %14s  %18s  %16s\n' "frame" "DLL" "Ferrowind (ms)" "GDI+ text (ms)" \
    "drawtext (ms)" "Ferrowind/drawtext" "in pipeline (ms)"
last_size=""
while read -r size arch engine_ms bare_ms; do
    if [ "$size" = "$last_size" ]; then
        # The other architecture at the same size: ffmpeg's figures stand.
        awk -v size="$size" -v arch="$arch" -v engine="$engine_ms" -v bare="$bare_ms" -v peer="$peer_ms" 'BEGIN {
            label = size; sub("x", " x ", label)
            printf "%-11s  %6s  %14.3f  %14.3f  %14s  %18s  %16s\n", label, arch "-bit", engine, bare, "",
                (peer > 0) ? sprintf("%.2f", engine / peer) : "-", ""
        }'
        continue
    fi
    last_size=$size
    peer_ms=0
    if [ "${size%%x*}" -gt 3840 ]; then
        # One raw 8K frame is 132 MB; ffmpeg's runs there take minutes each.
        awk -v size="$size" -v arch="$arch" -v engine="$engine_ms" -v bare="$bare_ms" 'BEGIN {
            label = size; sub("x", " x ", label)
            printf "%-11s  %6s  %14.3f  %14.3f  %14s  %18s  %16s\n", label, arch "-bit", engine, bare, "not run", "-", "-"
        }'
        continue
    fi
    raw="$work/$size.raw"
    # One frame of a test picture as raw BGRA.
    ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i "testsrc2=size=$size:rate=1" -frames:v 1 \
        -pix_fmt bgra -f rawvideo "$raw"
    n="-frames:v $frames"
    box_cpu=$(fastest 1 run_ffmpeg "$size" "$raw" $n -vf "$box" -f null -)
    text_cpu=$(fastest 1 run_ffmpeg "$size" "$raw" $n -vf "$chain" -f null -)
    plain_wall=$(fastest 2 run_ffmpeg "$size" "$raw" $n -f null -)
    text_wall=$(fastest 2 run_ffmpeg "$size" "$raw" $n -vf "$drawtext" -f null -)
    rm -f "$raw"
    peer_ms=$(awk -v n="$frames" -v box="$box_cpu" -v text="$text_cpu" -v k="$stacked" \
        'BEGIN { print (text - box) * 1000.0 / n / k }')
    awk -v size="$size" -v arch="$arch" -v engine="$engine_ms" -v bare="$bare_ms" -v n="$frames" -v peer="$peer_ms" \
        -v plain="$plain_wall" -v wall="$text_wall" 'BEGIN {
        label = size; sub("x", " x ", label)
        pipeline = (wall - plain) * 1000.0 / n
        if (peer > 0)
            printf "%-11s  %6s  %14.3f  %14.3f  %14.3f  %18.2f  %16.3f\n", label, arch "-bit", engine, bare, peer,
                engine / peer, pipeline
        else
            printf "%-11s  %6s  %14.3f  %14.3f  %14s  %18s  %16.3f\n", label, arch "-bit", engine, bare, "too small", "-",
                pipeline
    }'
done <"$work/engine-sorted.tsv"
echo
echo "Ferrowind: median time per frame of the drawing entry under Wine (DLL: which architecture), 32 bits per pixel, anti-aliased;"
echo "GDI+ text: a bare GdipDrawString of the same text in Wine's GDI+, the floor under the engine."
echo "ffmpeg $(ffmpeg -version | awk 'NR == 1 { print $3 }'): $frames frames a run, fastest of $repeats runs, one thread."
