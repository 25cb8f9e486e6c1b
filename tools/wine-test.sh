#!/bin/sh
# make test-windows: the Windows build's tests under Wine on Xvfb. A null-modem pair of
# pseudo-terminals (comterm-vdev --pair) is mapped as COM5 and COM6 in a Wine prefix of
# the build's own; the tests open COM5 and play the device on COM6.
#   tools/wine-test.sh WINDOWS_BUILD NATIVE_BUILD
set -eu
windows=$(cd "$1" && pwd)
native=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64
export WINEPREFIX="$windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset QT_QPA_PLATFORM

XVFB_SCREEN=1600x1000x24 . "$here/tools/xvfb.sh"
ports=$(mktemp -d /tmp/comterm-wine-XXXXXX)
vdev= network_vdev= ser2net_pid=
cleanup() {
    # Each ends by its own signal; how it says so is no failure of the tests.
    for pid in $vdev $network_vdev $ser2net_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    wineserver -k >/dev/null 2>&1 || true
    kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$ports"
}
trap cleanup EXIT

# A fresh prefix asks for a display, then takes about ten seconds.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # Windows in a desktop of Wine's own: activation and focus as on Windows, without
    # waiting on an X window manager that Xvfb does not have.
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1000 /f >/dev/null 2>&1
    wineserver -w
fi

# The server outlives each program; its own output (a state dump when it ends) stays out.
wineserver -p >/dev/null 2>&1

"$native/tools/comterm-vdev" --port 5 --pair 6 --ports "$ports" >"$ports/said" &
vdev=$!
# A second pair for ports on other machines: ser2net serves COM11's side on 127.0.0.1,
# and the tests play the device on COM12.
"$native/tools/comterm-vdev" --port 11 --pair 12 --ports "$ports" >"$ports/said-network" &
network_vdev=$!
for _ in $(seq 100); do [ -L "$ports/COM6" ] && [ -L "$ports/COM12" ] && break; sleep 0.05; done
for port in 5 6 12; do
    ln -sfn "$(readlink "$ports/COM$port")" "$WINEPREFIX/dosdevices/com$port"
done
COMTERM_TEST_SER2NET=$((20000 + $$ % 20000))
printf 'connection: &served\n    accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n    connector: serialdev,%s,9600n81,local\n' \
    "$COMTERM_TEST_SER2NET" "$(readlink "$ports/COM11")" >"$ports/ser2net.yaml"
ser2net=$(command -v ser2net || echo /usr/sbin/ser2net)
"$ser2net" -n -c "$ports/ser2net.yaml" >/dev/null 2>&1 &
ser2net_pid=$!
export COMTERM_TEST_SER2NET

failed=0
run() {
    printf '== %s\n' "$*"
    "$wine" "$@" || { printf 'FAILED: %s\n' "$*"; failed=1; }
}
run "$windows/tests/win32/window_tests.exe"
run "$windows/tests/win32/command_tests.exe"
run "$windows/tests/win32/smoke_probe.exe" "$(winepath -w "$windows/ui/comterm.exe" 2>/dev/null)"
exit $failed
