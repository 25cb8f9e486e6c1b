#!/bin/sh
# Installs what building, running and testing comterm needs on Debian 12,
# and generates the locales the time-stamp tests run under. Quiet when all is there.
set -e
# Extra package names may be given as arguments (make fuzz adds clang's).
packages="$* cmake make g++ dpkg-dev qt6-base-dev libgtest-dev libbenchmark-dev fonts-dejavu-core fonts-dejavu-extra locales xvfb xauth x11-utils xdotool xclip imagemagick ser2net"
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

for loc in en_US en_GB de_DE; do
    if ! locale -a 2>/dev/null | grep -qix "$loc.utf8"; then
        as_root localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
    fi
done
