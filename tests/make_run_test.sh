#!/bin/sh
# The `make run` path on a machine with no port linked: under Xvfb, tools/run.sh starts
# the virtual device as COM5 and the terminal; Connect with the default port 5 and a
# reading arrives in the history. The history is read back through the clipboard.
set -eu
source_dir=$1
build=$2
home=$(mktemp -d /tmp/comterm-home-XXXXXX)
unset COMTERM_PORTS QT_QPA_PLATFORM
. "$source_dir/tools/xvfb.sh"
run=
cleanup() {
    [ -n "$run" ] && pkill -TERM -P "$run" 2>/dev/null
    [ -n "$run" ] && kill "$run" 2>/dev/null
    [ -n "$run" ] && wait "$run" 2>/dev/null
    kill $XVFB_PID 2>/dev/null
    rm -rf "$home"
}
trap cleanup EXIT
HOME=$home "$source_dir/tools/run.sh" "$build" >/dev/null 2>&1 &
run=$!

window=$(wait_for_window --class comterm) || { echo "FAIL: no window"; exit 1; }
sleep 0.5
# The task bar's name for the window is the application title; the caption stays a blank.
names=$(xprop -id "$window" WM_CLASS _NET_WM_ICON_NAME _NET_WM_NAME)
case "$names" in
    *'WM_CLASS(STRING) = "comterm", "comterm"'*'_NET_WM_ICON_NAME(UTF8_STRING) = "comterm"'*'_NET_WM_NAME(UTF8_STRING) = " "'*) ;;
    *) echo "FAIL: the window's names: $names"; exit 1 ;;
esac
xdotool mousemove --window "$window" 306 18 click 1      # Connect, port 5 as it comes
sleep 2.6                                                 # a reading every two seconds
history() {
    printf '' | xclip -selection clipboard >/dev/null 2>&1
    xdotool mousemove --window "$window" 500 200 click 1  # into the history
    xdotool key ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard 2>/dev/null || true
}
first=$(history | head -n 1)
case "$first" in
    *"54 45 4D 50 "*) echo "a reading arrived: $first" ;;
    *) echo "FAIL: no reading in the history: '$first'"; exit 1 ;;
esac

# Esc that closes the dropped-down baud list does nothing else; in the input line it clears.
xdotool mousemove --window "$window" 190 18 click 1
sleep 0.5
xdotool key Escape
sleep 0.3
[ "$(history | head -n 1)" = "$first" ] || { echo "FAIL: Esc on the open list cleared the history"; exit 1; }
xdotool mousemove --window "$window" 500 422 click 1
xdotool key Escape
sleep 0.3
[ "$(history | head -n 1)" != "$first" ] || { echo "FAIL: Esc in the input line did not clear"; exit 1; }

vdev_pids() { pgrep -f "comterm-vdev --port 5 --ports /tmp/comterm-ports" || true; }
[ -n "$(vdev_pids)" ] || { echo "FAIL: no virtual device was running"; exit 1; }
pkill -TERM -P "$run" -x comterm
for _ in $(seq 50); do kill -0 $run 2>/dev/null || break; sleep 0.1; done
run=
sleep 0.3
[ -z "$(vdev_pids)" ] || { echo "FAIL: the virtual device outlived the terminal"; exit 1; }
echo "1 passed, 0 failed"
