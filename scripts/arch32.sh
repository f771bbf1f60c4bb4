#!/bin/sh
# How this machine runs 32-bit x86 programs, decided by running one:
#   arch32.sh probe           prints "native", "emulated" or "none", then a
#                             reason on the same line
#   arch32.sh emulate-on      registers qemu-i386 in binfmt_misc when no
#                             interpreter for 32-bit x86 is registered (root);
#                             prints "registered", "present" or why not
#   arch32.sh emulate-off     removes the registration emulate-on made
# The probe is a static program without a C library (tools/arch32/Probe32.c),
# so that it needs nothing of the 32-bit userland. An emulator answers the
# probe with its own machine name (i686); a kernel that runs 32-bit code
# itself answers x86_64. When an emulator answers, its entries are switched
# off for a second probe, so that a kernel that could run the program itself
# still counts as native.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${FERROWIND_BUILD:-$root/build}/arch32
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/ferrowind-qemu-i386
mkdir -p "$work"

build_probe() {
    probe=$work/probe32
    if [ ! -x "$probe" ] || [ "$root/tools/arch32/Probe32.c" -nt "$probe" ]; then
        gcc -m32 -nostdlib -static -ffreestanding -fno-pic -no-pie -O2 \
            -o "$probe" "$root/tools/arch32/Probe32.c"
    fi
}

# The enabled binfmt_misc entries whose magic is a 32-bit x86 ELF header.
i386_entries() {
    [ -r "$binfmt/status" ] || return 0
    for f in "$binfmt"/*; do
        case ${f##*/} in register | status) continue ;; esac
        grep -qx enabled "$f" 2>/dev/null || continue
        grep -q '^magic 7f454c4601010100000000000000000002000300' "$f" && echo "$f"
    done
    return 0
}

probe() {
    build_probe
    machine=$("$work/probe32" 2>/dev/null) || machine=""
    case $machine in
    x86_64) echo "native the kernel runs 32-bit programs itself"; return ;;
    "") echo "none the kernel refuses 32-bit programs and no emulator is registered"; return ;;
    esac
    entries=$(i386_entries)
    if [ -n "$entries" ] && [ -w "$binfmt/register" ]; then
        for f in $entries; do echo 0 >"$f"; done
        again=$("$work/probe32" 2>/dev/null) || again=""
        for f in $entries; do echo 1 >"$f"; done
        if [ "$again" = x86_64 ]; then
            echo "native the kernel runs 32-bit programs itself (an emulator is registered too)"
            return
        fi
    fi
    echo "emulated 32-bit programs run only under a user-mode emulator (it answers \"$machine\")"
}

emulate_on() {
    if [ -n "$(i386_entries)" ]; then echo "present"; return; fi
    if [ ! -x /usr/bin/qemu-i386-static ]; then echo "no qemu-i386-static (package qemu-user-static)"; return; fi
    if [ ! -e "$binfmt/register" ]; then
        mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    fi
    if [ ! -w "$binfmt/register" ]; then echo "binfmt_misc cannot be written here (root, and a kernel with it)"; return; fi
    # The F flag opens the interpreter now, so that it also serves programs
    # started in other mount namespaces.
    printf '%s' ':ferrowind-qemu-i386:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        >"$binfmt/register" 2>/dev/null || { echo "binfmt_misc refused the registration"; return; }
    echo "registered"
}

case ${1:-} in
probe) probe ;;
emulate-on) emulate_on ;;
emulate-off) [ -e "$entry" ] && echo -1 >"$entry"; true ;;
*) echo "usage: arch32.sh probe|emulate-on|emulate-off" >&2; exit 2 ;;
esac
