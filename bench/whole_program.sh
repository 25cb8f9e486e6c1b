#!/bin/sh
# Figures 5 and 6: the installed-as-built program under Xvfb, driven with xdotool.
# Usage: whole_program.sh BUILD_DIR [--smoke]. Prints JSON lines.
set -eu
build=$1
smoke=${2:-}
idle_seconds=20
runs=5
[ "$smoke" = "--smoke" ] && idle_seconds=1 && runs=1
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tools/xvfb.sh"
ports=$(mktemp -d /tmp/comterm-bench-XXXXXX)
"$build/tools/comterm-vdev" --echo --port 5 --ports "$ports" >/dev/null &
vdev=$!
comterm=
# The terminal and the device are gone, their locks with them, before the next step starts.
trap 'kill $comterm $vdev 2>/dev/null; wait $comterm $vdev 2>/dev/null; kill $XVFB_PID 2>/dev/null; rm -rf "$ports"' EXIT
export COMTERM_PORTS=$ports
unset QT_QPA_PLATFORM

report() { printf '{"figure": "%s", "name": "%s", "value": %s, "unit": "%s"}\n' "$1" "$2" "$3" "$4"; }
now_ns() { date +%s%N; }
# CPU time of every thread of a process, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ total += $1 } END { printf "%d", total }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Start-up: from exec to the window being mapped.
startups=""
for _ in $(seq $runs); do
    start=$(now_ns)
    "$build/ui/comterm" 2>/dev/null &
    comterm=$!
    window=$(wait_for_window --pid $comterm)
    end=$(now_ns)
    startups="$startups $(( (end - start) / 1000 ))"
    kill $comterm; wait $comterm 2>/dev/null || true
done
report 6 "start-up to window mapped (median, poll resolution ~3 ms)" \
    "$(echo $startups | tr ' ' '\n' | median | awk '{ printf "%.1f", $1 / 1000 }')" ms

"$build/ui/comterm" 2>/dev/null &
comterm=$!
window=$(wait_for_window --pid $comterm)
sleep 1
begin=$(cpu_ns $comterm); sleep $idle_seconds; end=$(cpu_ns $comterm)
report 5 "idle CPU, disconnected" "$(echo "$begin $end $idle_seconds" | awk '{ printf "%.4f", ($2 - $1) / ($3 * 1e7) }')" "%"

xdotool mousemove --window "$window" 306 18 click 1   # Connect
sleep 1
report 6 "resident memory, window shown, port open" \
    "$(awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' /proc/$comterm/status)" MB
begin=$(cpu_ns $comterm); sleep $idle_seconds; end=$(cpu_ns $comterm)
report 5 "idle CPU, connected to a silent device" "$(echo "$begin $end $idle_seconds" | awk '{ printf "%.4f", ($2 - $1) / ($3 * 1e7) }')" "%"

# On a real window the caret blinks in the input line; it rests after 10 s without input.
xdotool mousemove --window "$window" 500 422 click 1   # into the input line
[ -z "$smoke" ] && sleep 11
begin=$(cpu_ns $comterm); xbegin=$(cpu_ns $XVFB_PID); sleep $idle_seconds; end=$(cpu_ns $comterm); xend=$(cpu_ns $XVFB_PID)
report 5 "idle CPU, connected, caret in the input line (real window)" "$(echo "$begin $end $idle_seconds" | awk '{ printf "%.4f", ($2 - $1) / ($3 * 1e7) }')" "%"
report 5 "X server CPU meanwhile" "$(echo "$xbegin $xend $idle_seconds" | awk '{ printf "%.4f", ($2 - $1) / ($3 * 1e7) }')" "%"
