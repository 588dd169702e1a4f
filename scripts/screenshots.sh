#!/usr/bin/env bash
# Starts the real program under Xvfb on a drive, drives it with the keyboard
# and the mouse through xdotool, and saves a PNG of each of the eight pages
# and of the edit dialog with ImageMagick's import. With a fourth argument,
# "en", the window is in English and the pictures' names start with "en-".
set -euo pipefail
binary=$(realpath "$1") drive=$(realpath "$2") out=$3 lang=${4:-nb}
mkdir -p "$out"
out=$(realpath "$out")

if [ -z "${VENDRAL_IN_XVFB:-}" ]; then
    scripts/install-deps.sh xdotool imagemagick x11-utils
    VENDRAL_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$binary" "$drive" "$out" "$lang"
fi

"$binary" --lang "$lang" --drive "C=$drive" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

# Prints the id of the first visible window whose title starts with $1.
wait_for_window() {
    local id=""
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    echo "screenshots: no window \"$1\" appeared" >&2
    return 1
}

win=$(wait_for_window DOS)
sleep 1

prefix=""
dialogTitle="Endre innstilling"
if [ "$lang" = en ]; then prefix="en-" dialogTitle="Change setting"; fi
shoot() { sleep 0.4; import -window "$1" "$out/$prefix$2.png"; echo "saved $out/$prefix$2.png"; }
# Without a window manager, keys reach a window through XTEST once it has the
# input focus (events sent to a window directly are ignored by Qt).
keys() { local w=$1; shift; xdotool windowfocus --sync "$w" 2>/dev/null; xdotool key --delay 60 "$@"; }

# The pages by their tabs, left to right (the tab centres at the designed size).
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
names=(1-paths 2-options 3-msdos-sys 4-config-sys 5-autoexec-bat 6-win-ini 7-system-ini 10-oppstart)
centres=(25 83 152 227 307 378 442 510)
for i in "${!names[@]}"; do
    click "$win" "${centres[$i]}" 12
    shoot "$win" "${names[$i]}"
done

# The edit dialog: on config.sys, double-click the display line.
click "$win" 227 12
sleep 0.3
xdotool mousemove --window "$win" 60 88 click 1 sleep 0.3 click --repeat 2 --delay 80 1
dialog=$(wait_for_window "$dialogTitle")
shoot "$dialog" 8-edit-dialog
keys "$dialog" Tab Tab Tab Tab space # Tab to "Sjekk ..." and press it
shoot "$dialog" 9-edit-dialog-checked
keys "$dialog" Escape
keys "$win" Escape
wait $pid || true
trap - EXIT
