#!/bin/sh
# Installs the toolchain this project builds and tests with. Idempotent: when
# everything is present it only checks and returns.
set -eu

# wine64 runs the 64-bit tree on every x86-64 machine; wine32 the 32-bit
# tree where the kernel runs 32-bit programs, and qemu-user-static where it
# does not (slowly, for the side-by-side test only).
need_pkgs="g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 libwine-dev \
qemu-user-static xvfb xauth fonts-liberation cmake ninja-build gcc clang libclang-rt-14-dev libgtest-dev \
googletest fp-utils wixl msitools"

missing=""
for p in $need_pkgs; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    echo "setup: all packages present"
    exit 0
fi

if [ "$(id -u)" != "0" ]; then
    echo "setup: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
echo "setup: installing$missing"
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
