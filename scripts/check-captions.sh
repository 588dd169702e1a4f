#!/usr/bin/env bash
# Starts the real program under Xvfb on a drive and reads, with xprop, what the
# desktop is told: the captions of the window and of the edit dialog must be
# exactly "DOS" and "Endre innstilling" (_NET_WM_NAME and WM_NAME alike), and
# the window class names the program, Vendral.
set -euo pipefail
binary=$(realpath "$1") drive=$(realpath "$2")

if [ -z "${VENDRAL_IN_XVFB:-}" ]; then
    VENDRAL_IN_XVFB=1 exec timeout 60 xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$binary" "$drive"
fi

# The real X platform, whatever the tests around this one use.
QT_QPA_PLATFORM=xcb "$binary" --drive "C=$drive" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

# Prints the ids of the program's visible windows.
windows() { timeout 5 xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; }

# Waits until the program shows a window other than $1 and prints its id;
# gives up after $2 tries, five a second.
wait_for_new_window() {
    for _ in $(seq "${2:-50}"); do
        for id in $(windows); do
            [ "$id" != "${1:-}" ] && { echo "$id"; return 0; }
        done
        sleep 0.2
    done
    return 1
}

# The value of a text property, without its quotes.
property() { timeout 5 xprop -id "$1" "$2" | sed -n 's/^[^=]*= "\(.*\)"$/\1/p'; }

status=0
expect() {
    local id=$1 name=$2 want=$3 got
    got=$(property "$id" "$name")
    if [ "$got" = "$want" ]; then
        echo "captions: $name is \"$got\""
    else
        echo "captions: $name is \"$got\", not \"$want\"" >&2
        status=1
    fi
}

win=$(wait_for_new_window) || { echo "captions: the window did not appear" >&2; exit 1; }
sleep 0.5
expect "$win" _NET_WM_NAME "DOS"
expect "$win" WM_NAME "DOS"
class=$(timeout 5 xprop -id "$win" WM_CLASS | sed -n 's/^.*", "\(.*\)"$/\1/p')
if [ "$class" = "Vendral" ]; then
    echo "captions: the window class is \"$class\""
else
    echo "captions: the window class is \"$class\", not \"Vendral\"" >&2
    status=1
fi

# The edit dialog: on the config.sys page, double-click the first line (again
# if a busy machine lost the clicks).
dialog=""
for _ in 1 2 3 4 5; do
    timeout 5 xdotool mousemove --window "$win" 227 12 click 1
    sleep 0.3
    timeout 5 xdotool mousemove --window "$win" 60 36 click 1 sleep 0.3 click --repeat 2 --delay 80 1
    dialog=$(wait_for_new_window "$win" 10) && break
done
[ -n "$dialog" ] || { echo "captions: the edit dialog did not appear" >&2; exit 1; }
sleep 0.3
expect "$dialog" _NET_WM_NAME "Endre innstilling"
expect "$dialog" WM_NAME "Endre innstilling"
exit $status
