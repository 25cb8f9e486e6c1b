#!/bin/sh
# Installs the built Debian package with apt and starts the installed program under
# Xvfb: its window must appear. Run as root (CI) after `make package`.
set -eu
deb=$(ls build-release/comterm_*.deb | head -n 1)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
test -x /usr/bin/comterm && test -x /usr/bin/comterm-vdev
test -f /usr/share/applications/comterm.desktop
test -f /usr/share/icons/hicolor/scalable/apps/comterm.svg

. "$(dirname "$0")/xvfb.sh"
env -u QT_QPA_PLATFORM /usr/bin/comterm >/dev/null 2>&1 &
comterm=$!
trap 'kill $comterm $XVFB_PID 2>/dev/null || true' EXIT
if wait_for_window --class comterm >/dev/null; then
    echo "installed package: window appeared"
    exit 0
fi
echo "installed package: no window appeared"
exit 1
