# Sourced by the scripts that change the machine for a run (an X server,
# wineservers, a binfmt_misc entry for the 32-bit emulator):
#
#   guard_begin [--no-wait]   one such run per machine at a time: waits for a
#                             run going on (saying whose), or with --no-wait
#                             refuses; then cleans up after an earlier run
#                             that was killed before it could
#   guard_emulate_on          makes 32-bit x86 programs run under qemu-i386:
#                             an i386 interpreter already registered by
#                             someone else is used and left alone; otherwise
#                             one is registered for this run. Says how, or
#                             why not, in guard_how, and fails when it cannot;
#                             it changes the run's record, so it is called in
#                             the run's own shell, never in $(...)
#   guard_emulate_off         removes what guard_emulate_on registered
#
# Every process the run starts carries FERROWIND_RUN=<this run> in its
# environment. However the run ends (its end, a failed step, Ctrl-C, SIGTERM
# or SIGHUP to the script alone), the exit trap ends each of them, the
# daemons among them (wineserver, Xvfb) included, and removes the emulator
# entry this run registered. A run killed outright (SIGKILL) leaves its record
# behind; the next run finds its owner gone and cleans up the same way.
#
# The caller's long commands run through guard_wait, so that a signal ends
# the run at once instead of after the command. A caller that has something
# of its own to undo first names it in guard_on_exit.
guard_lock=${FERROWIND_GUARD_DIR:-/tmp}/ferrowind-run.lock
guard_state=${FERROWIND_GUARD_DIR:-/tmp}/ferrowind-run.state
guard_binfmt=/proc/sys/fs/binfmt_misc
guard_entry=$guard_binfmt/ferrowind-qemu-i386

# guard_wait COMMAND...: runs it as a child the shell waits for.
guard_wait() {
    "$@" &
    wait $!
}

# guard_kill_run ID: ends every process whose environment carries that run.
guard_kill_run() {
    for sig in TERM TERM KILL; do
        found=""
        for f in /proc/[0-9]*/environ; do
            p=${f#/proc/}
            p=${p%/environ}
            [ "$p" = $$ ] && continue
            grep -qzx "FERROWIND_RUN=$1" "$f" 2>/dev/null || continue
            kill -s "$sig" "$p" 2>/dev/null && found="$found $p"
        done
        [ -z "$found" ] && return 0
        sleep 1
    done
}

# guard_undo ID EMULATOR MOUNTED: what a run left on the machine.
guard_undo() {
    # Wine's servers first, gently, so that they write their registries.
    for f in /proc/[0-9]*/environ; do
        grep -qzx "FERROWIND_RUN=$1" "$f" 2>/dev/null || continue
        p=${f#/proc/}
        p=${p%/environ}
        case $(cat "/proc/$p/comm" 2>/dev/null) in
        wineserver*) kill -s TERM "$p" 2>/dev/null || true ;;
        esac
    done
    guard_kill_run "$1"
    [ "$2" = 1 ] && [ -e "$guard_entry" ] && echo -1 >"$guard_entry" 2>/dev/null
    if [ "$3" = 1 ] && [ -z "$(ls "$guard_binfmt" | grep -vx 'register\|status')" ]; then
        umount "$guard_binfmt" 2>/dev/null || true
    fi
    return 0
}

guard_record() {
    echo "$FERROWIND_RUN $$ ${guard_emulator:-0} ${guard_mounted:-0} $guard_folder" >"$guard_state"
}

guard_end() {
    status=$?
    # A second signal (a time-out signals the whole group, often twice) must
    # not cut the clean-up short.
    trap "" INT TERM HUP
    trap - EXIT
    if [ "${guard_owner:-0}" = 1 ]; then
        [ -z "${guard_on_exit:-}" ] || $guard_on_exit || true
        guard_undo "$FERROWIND_RUN" "${guard_emulator:-0}" "${guard_mounted:-0}"
        rm -f "$guard_state"
    fi
    [ -n "${guard_holder:-}" ] && kill "$guard_holder" 2>/dev/null
    exit "$status"
}

guard_begin() {
    guard_folder=$(pwd)
    export FERROWIND_RUN="$$.$(date +%s%N)"
    # The lock is held by a small process of its own that lets go when this
    # shell is gone, however it went: a child holding the lock's descriptor
    # (a daemon, say) can never keep it.
    ready=$(mktemp)
    flock_opts=""
    [ "${1:-}" = --no-wait ] && flock_opts=-n
    FERROWIND_RUN= flock $flock_opts -o "$guard_lock" \
        sh -c 'echo held >"$1"; while kill -0 "$2" 2>/dev/null; do sleep 1; done' sh "$ready" $$ &
    guard_holder=$!
    trap guard_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    said=0
    [ -n "$flock_opts" ] && said=1
    while [ ! -s "$ready" ]; do
        # A holder that could not take the lock is gone (or a zombie).
        if [ "$(sed 's/.*) //' "/proc/$guard_holder/stat" 2>/dev/null | cut -c1)" = Z ] ||
            ! kill -0 "$guard_holder" 2>/dev/null; then
            rm -f "$ready"
            echo "another run is going on (in $(cut -d' ' -f5- "$guard_state" 2>/dev/null || echo "another folder")); not waiting (--no-wait)" >&2
            guard_holder=""
            exit 75
        fi
        sleep 0.2
        [ -s "$ready" ] && break
        if [ $said = 0 ]; then
            echo "waiting for the run going on in $(cut -d' ' -f5- "$guard_state" 2>/dev/null || echo "another folder") to end"
            said=1
        fi
    done
    rm -f "$ready"
    guard_owner=1
    if [ -s "$guard_state" ]; then
        # shellcheck disable=SC2086
        set -- $(cat "$guard_state")
        echo "cleaning up after an earlier run that was killed (in ${5:-?})"
        guard_undo "$1" "$3" "$4"
    fi
    guard_record
}

# The enabled binfmt_misc entries whose magic is a 32-bit x86 ELF header.
guard_i386_entries() {
    [ -r "$guard_binfmt/status" ] || return 0
    for f in "$guard_binfmt"/*; do
        case ${f##*/} in register | status) continue ;; esac
        grep -qx enabled "$f" 2>/dev/null || continue
        grep -q '^magic 7f454c4601010100000000000000000002000300' "$f" && echo "$f"
    done
    return 0
}

guard_emulate_on() {
    if [ -n "$(guard_i386_entries)" ]; then
        guard_how="an i386 interpreter registered by someone else is used as it is"
        return 0
    fi
    if [ ! -x /usr/bin/qemu-i386-static ]; then
        guard_how="no qemu-i386-static (package qemu-user-static)"
        return 1
    fi
    if [ ! -e "$guard_binfmt/register" ]; then
        mount -t binfmt_misc binfmt_misc "$guard_binfmt" 2>/dev/null && guard_mounted=1 && guard_record
    fi
    if [ ! -w "$guard_binfmt/register" ]; then
        guard_how="binfmt_misc cannot be written here (root, and a kernel with it)"
        return 1
    fi
    # The F flag opens the interpreter now, so that it also serves programs
    # started in other mount namespaces.
    if ! printf '%s' ':ferrowind-qemu-i386:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        >"$guard_binfmt/register" 2>/dev/null; then
        guard_how="binfmt_misc refused the registration"
        return 1
    fi
    guard_emulator=1
    guard_record
    guard_how="qemu-i386 registered for this run"
}

guard_emulate_off() {
    [ "${guard_emulator:-0}" = 1 ] || return 0
    [ -e "$guard_entry" ] && echo -1 >"$guard_entry"
    guard_emulator=0
    guard_record
}
