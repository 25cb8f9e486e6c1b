#!/bin/sh
# make bench: every figure, as one table on standard output and as JSON in
# BUILD/bench.json. Usage: run.sh BUILD_DIR [--smoke] (--smoke: one short iteration each).
set -eu
build=$1
smoke=${2:-}
here=$(cd "$(dirname "$0")/.." && pwd)
out="$build/bench.json"
log="$build/bench.log"
lines=$(mktemp)
trap 'rm -f "$lines"' EXIT
: >"$log"

# Runs one driver, its figures to the table and its chatter to the log.
step() {
    if ! "$@" >>"$lines" 2>>"$log"; then
        echo "bench: '$*' failed; the end of $log:" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
}

step "$build/bench/pump_bench" $smoke
if [ -n "$smoke" ]; then
    step env QT_QPA_PLATFORM=offscreen "$build/bench/micro_bench" --benchmark_min_time=0.01 --benchmark_repetitions=1
else
    step env QT_QPA_PLATFORM=offscreen "$build/bench/micro_bench"
fi
step "$here/bench/whole_program.sh" "$build" $smoke
. "$here/tools/xvfb.sh"
trap 'rm -f "$lines"; kill $XVFB_PID 2>/dev/null' EXIT
step env QT_QPA_PLATFORM=xcb "$build/bench/window_bench" "$build/tools/comterm-vdev" "$XVFB_PID" $smoke

{
    echo "{\"cores\": $(nproc), \"smoke\": $([ -n "$smoke" ] && echo true || echo false), \"figures\": ["
    sed '$!s/$/,/' "$lines"
    echo "]}"
} >"$out"

printf '%-3s %-62s %12s  %s\n' "#" "figure ($(nproc) cores)" "value" "unit"
sed -E 's/^\{"figure": "([^"]*)", "name": "([^"]*)", "value": ([^,]*), "unit": "([^"]*)"\}$/\1\t\2\t\3\t\4/' "$lines" |
    sort -s -t "$(printf '\t')" -k1,1n |
    awk -F '\t' '{ printf "%-3s %-62s %12s  %s\n", $1, $2, $3, $4 }'
echo "(JSON: $out)"
