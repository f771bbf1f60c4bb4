#!/bin/sh
# Installs the toolchain this project builds and tests with, in two groups:
#   base     what the native tree, the 64-bit tree and its tests, the package
#            and run-host.sh need: amd64 packages only. A failure stops setup.
#   32-bit   the 32-bit Wine loader and the emulator that runs it where the
#            kernel refuses 32-bit programs. A failure is reported and setup
#            goes on without them.
#
#   setup.sh [--base-only] [--report FILE]
#
# --base-only asks for the base group alone. --report writes one line on the
# 32-bit group to FILE: "installed", or what was not installed and why.
# Idempotent: when everything is present it only checks and returns. A
# package index that cannot be fetched is reported and does not stop setup.
# Every install is simulated first, and a plan that would remove an
# installed package is never carried out.
set -eu
base_pkgs="g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine64 libwine-dev \
xvfb xauth fonts-liberation cmake ninja-build gcc clang libclang-rt-14-dev libgtest-dev \
googletest fp-utils wixl msitools osslsigncode openssl xdotool"
extra_pkgs="wine32:i386 qemu-user-static"

base_only=0 report=""
while [ $# -gt 0 ]; do
    case $1 in
    --base-only) base_only=1; shift ;;
    --report) report=$2; shift 2 ;;
    *) echo "usage: setup.sh [--base-only] [--report FILE]" >&2; exit 2 ;;
    esac
done
say() { echo "setup: $*"; }
report32() { [ -z "$report" ] || echo "$1" >"$report"; }

missing_of() {
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || printf '%s ' "$p"
    done
}
base_missing=$(missing_of $base_pkgs)
extra_missing=""
[ "$base_only" = 1 ] || extra_missing=$(missing_of $extra_pkgs)
if [ -z "$base_missing" ] && [ -z "$extra_missing" ]; then
    say "all packages present"
    [ "$base_only" = 1 ] || report32 installed
    exit 0
fi
if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages: $base_missing$extra_missing(run as root to install them)" >&2
    [ -n "$base_missing" ] && exit 1
    report32 "setup could not install ${extra_missing% }: not run as root"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if [ -n "$extra_missing" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
say "missing: $base_missing$extra_missing"
if ! apt-get update -q >"$work/update" 2>&1; then
    say "some package indexes could not be fetched; going on without them:"
    grep -E '^(E|W): Failed to fetch' "$work/update" | sed 's/^/    /' || sed 's/^/    /' "$work/update"
fi

# simulate PLAN-FILE APT-ARGUMENTS...: succeeds when apt has a plan that
# removes nothing installed; the plan or apt's complaint is in PLAN-FILE.
simulate() {
    plan=$1
    shift
    apt-get install -s -q --no-install-recommends "$@" >"$plan" 2>&1 || return 1
    ! grep -q '^Remv ' "$plan"
}
# why PLAN-FILE: apt's reason, on one line.
why() {
    if grep -q '^Remv ' "$1"; then
        echo "its plan would remove $(sed -n 's/^Remv \([^ ]*\).*/\1/p' "$1" | tr '\n' ' ')"
    else
        { grep -m1 -E ': +(Pre)?Depends:' "$1" || true; grep -m1 '^E:' "$1" || echo "apt gave no reason"; } |
            sed 's/^ *//' | tr '\n' ' ' | sed 's/ *$//'
    fi
}
# install ARGUMENTS...: apt's output is kept in a log and shown on failure.
install() {
    say "installing (apt-get install $*)"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" >"$work/install" 2>&1 && return 0
    tail -15 "$work/install" >&2
    return 1
}

if [ -n "$base_missing" ]; then
    if ! simulate "$work/base" $base_missing; then
        echo "setup: cannot install ${base_missing% }: $(why "$work/base")" >&2
        exit 1
    fi
    install $base_missing
fi
[ -n "$extra_missing" ] || exit 0

# The apt options that keep to the suites whose package indexes were fetched
# for both architectures: a sources list of their own, the machine's left as
# it is. Multi-Arch "same" libraries must then match across architectures:
# an amd64 one newer than any i386 one apt can see (from a suite whose i386
# index is missing) would be removed, so it is pinned to the i386 version
# instead.
write_both_arch_sources() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(ARCHITECTURE) $(SOURCESENTRY)' \
        'Created-By: Packages' 'Target-Of: deb' >"$work/targets"
    mkdir -p "$work/parts"
    awk '
        $4 == "amd64" || $4 == "i386" { seen[$1 " " $2 " " $3] = seen[$1 " " $2 " " $3] " " $4; entry[$1 " " $2 " " $3] = $5 }
        END {
            for (k in seen) if (seen[k] ~ /amd64/ && seen[k] ~ /i386/) { split(k, f, " "); print f[1], f[2], f[3], entry[k] }
        }' "$work/targets" | while read -r uri suite component entry; do
        file=${entry%:*} n=${entry##*:}
        # The key the machine's own entry trusts, from a deb822 stanza or a
        # one-line entry's options.
        case $file in
        *.sources) key=$(awk -v n="$n" 'BEGIN { RS = ""; FS = "\n" } NR == n { for (i = 1; i <= NF; i++) if ($i ~ /^Signed-By: *[^ ]/) { sub(/^Signed-By: */, "", $i); print $i } }' "$file") ;;
        *) key=$(sed -n "${n}s/.*signed-by=\([^] ]*\).*/\1/p" "$file") ;;
        esac
        printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: %s\n' "$uri" "$suite" "$component"
        [ -z "$key" ] || printf 'Signed-By: %s\n' "$key"
        echo
    done >"$work/parts/both.sources"
    [ -s "$work/parts/both.sources" ]
}

# Succeeds with a plan in $work/extra that removes nothing: from every suite,
# or else from the suites with both architectures' indexes.
plan_extra() {
    simulate "$work/extra" $extra_args && return 0
    say "the 32-bit group cannot be installed from every suite: $(why "$work/extra")"
    write_both_arch_sources || return 1
    apt_opts="-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=$work/parts"
    say "trying the suites with both architectures' indexes: $(sed -n 's/^Suites: //p' "$work/parts/both.sources" | tr '\n' ' ')"
    simulate "$work/extra" $apt_opts $extra_args && return 0
    pins=$(sed -n 's/^Inst \([^ :]*\):i386 (\([^ ]*\) .*/\1 \2/p' "$work/extra" | while read -r name version; do
        if grep -q "^Remv $name " "$work/extra"; then printf '%s:amd64=%s ' "$name" "$version"; fi
    done)
    [ -n "$pins" ] || return 1
    say "pinning to the version both architectures have: $pins"
    extra_args="$extra_args $pins"
    apt_opts="$apt_opts --allow-downgrades"
    simulate "$work/extra" $apt_opts $extra_args
}
extra_args=$extra_missing
apt_opts=""
if plan_extra; then
    if install $apt_opts $extra_args; then
        report32 installed
        exit 0
    fi
    reason="apt-get install failed after its simulation succeeded"
else
    reason=$(why "$work/extra")
fi
say "the 32-bit group (${extra_missing% }) is not installed, going on without it: $reason"
report32 "setup could not install ${extra_missing% }: $reason"
