# Sourced by scripts that need an X display: starts Xvfb on a free display number
# (screen $XVFB_SCREEN, 1100x540x24 by default) and sets DISPLAY and XVFB_PID. The
# caller kills $XVFB_PID when done. -noreset: the server
# would otherwise reset whenever its last client leaves, refusing the next one meanwhile.
xvfb_file=$(mktemp /tmp/comterm-xvfb-XXXXXX)
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1100x540x24}" -nolisten tcp -noreset 3>"$xvfb_file" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$xvfb_file" ] && break; sleep 0.05; done
DISPLAY=:$(head -n 1 "$xvfb_file")
rm -f "$xvfb_file"
export DISPLAY XVFB_PID

# Prints the id of the first visible window that `xdotool search` finds with the given
# arguments (--pid N, --class NAME), polling without pause for up to about ten seconds;
# fails when none appears.
wait_for_window() {
    for _ in $(seq 2000); do
        w=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -n 1)
        [ -n "$w" ] && { echo "$w"; return 0; }
    done
    echo "no window appeared for: $*" >&2
    return 1
}
