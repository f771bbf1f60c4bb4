#!/bin/sh
# How this machine runs 32-bit x86 programs, decided by running one:
#   arch32.sh probe    prints "native", "emulated" or "none", then a reason on
#                      the same line
# The probe is a static program without a C library (tools/arch32/Probe32.c),
# so that it needs nothing of the 32-bit userland. An emulator answers the
# probe with its own machine name (i686); a kernel that runs 32-bit code
# itself answers x86_64. When an emulator is registered, the probe runs again
# in a user namespace with a binfmt_misc of its own (Linux 6.7 and later), so
# that the kernel is asked without switching anyone's entries off.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${FERROWIND_BUILD:-$root/build}/arch32
mkdir -p "$work"

probe=$work/probe32
if [ ! -x "$probe" ] || [ "$root/tools/arch32/Probe32.c" -nt "$probe" ]; then
    gcc -m32 -nostdlib -static -ffreestanding -fno-pic -no-pie -O2 \
        -o "$probe" "$root/tools/arch32/Probe32.c"
fi

[ "${1:-}" = probe ] || { echo "usage: arch32.sh probe" >&2; exit 2; }
machine=$("$probe" 2>/dev/null) || machine=""
case $machine in
x86_64) echo "native the kernel runs 32-bit programs itself"; exit 0 ;;
"") echo "none the kernel refuses 32-bit programs and no emulator is registered"; exit 0 ;;
esac
bare=$(unshare --user --map-root-user --mount sh -c \
    'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || exit 3
     "$1" 2>/dev/null || exit 4' sh "$probe") && status=0 || status=$?
case $status:$bare in
0:x86_64) echo "native the kernel runs 32-bit programs itself (an emulator is registered too)" ;;
4:*) echo "emulated 32-bit programs run only under a user-mode emulator (it answers \"$machine\"; the kernel itself refuses them)" ;;
*) echo "emulated 32-bit programs run under a user-mode emulator (it answers \"$machine\"; whether the kernel runs them itself could not be asked)" ;;
esac
