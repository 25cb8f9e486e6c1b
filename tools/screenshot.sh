#!/bin/sh
# Makes docs/screenshot.png: comterm under Xvfb, connected to the virtual device, with
# a sent line (blue), replies and readings (black) in hexadecimal and in text with a
# masked control byte.
set -eu
build=${1:-build}
out=${2:-docs/screenshot.png}
work=$(mktemp -d /tmp/comterm-shot-XXXXXX)
. "$(dirname "$0")/xvfb.sh"
"$build/tools/comterm-vdev" --port 5 --ports "$work" >/dev/null &
vdev=$!
trap 'kill $comterm $vdev $XVFB_PID 2>/dev/null; rm -rf "$work"' EXIT
comterm=
COMTERM_PORTS=$work "$build/ui/comterm" &
comterm=$!
window=$(wait_for_window --pid $comterm)
sleep 0.5
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
click 306 18                 # Connect
click 500 300; click 500 422 # into the input line
xdotool type --delay 20 "ati3"; xdotool key Return
sleep 2.3                    # a reading arrives in 8-Bit Hex
click 400 16                 # 8-Bit ASCII
sleep 2.2                    # another reading, as text
xdotool type --delay 20 "read?"; xdotool key Return
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "wrote $out"
