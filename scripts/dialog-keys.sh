#!/bin/sh
# Works the real setup dialog from the keyboard, as a user without a mouse
# does: the reference host opens it from the default settings
# (scripts/run-host.sh --setup, 64-bit) on an X server of this script's own,
# xdotool types the keys into it, and the settings it stored are saved as a
# blob file in build/win64/out/ and shown as bytes.
#
#   scripts/dialog-keys.sh BLOB-FILE KEY...
#
# KEY as xdotool names them, e.g.
#   scripts/dialog-keys.sh keys.bin alt+p Right Right Right Right Right Down Down Down Return
# The keys must end the dialog (Return or Escape). The X server is gone
# however the script ends.
set -eu
[ $# -ge 2 ] || { echo "usage: dialog-keys.sh BLOB-FILE KEY..." >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
blob=$1
shift

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
host=""
cleanup() {
    [ -z "$host" ] || kill "$host" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -f "$display_file"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
for _ in $(seq 50); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
[ -s "$display_file" ] || { echo "dialog-keys: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(cat "$display_file")
export DISPLAY

rm -f "$root/build/win64/out/$blob"
"$root/scripts/run-host.sh" --setup --save-settings "$blob" --frames 0 &
host=$!
window=$(xdotool search --sync --name "SMPTE Time Settings" | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key --delay 150 "$@"
wait "$host"
host=""
od -A d -t x1 "$root/build/win64/out/$blob"
