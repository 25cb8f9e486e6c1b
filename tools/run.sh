#!/bin/sh
# make run: starts comterm. With no port directory chosen and nothing linked as port 5,
# a virtual device is started first in a private ports directory as COM5, so Connect
# works out of the box; it stops when the terminal exits.
set -e
build=${1:-build}
if [ -z "$COMTERM_PORTS" ] && [ ! -e "$HOME/.config/comterm/ports/COM5" ]; then
    COMTERM_PORTS=$(mktemp -d /tmp/comterm-ports-XXXXXX)
    export COMTERM_PORTS
    "$build/tools/comterm-vdev" --port 5 --ports "$COMTERM_PORTS" &
    vdev=$!
    trap 'kill $vdev 2>/dev/null; wait $vdev 2>/dev/null; rm -rf "$COMTERM_PORTS"' EXIT INT TERM
    for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$COMTERM_PORTS/COM5" ] && break; sleep 0.1; done
fi
"$build/ui/comterm"
