#!/usr/bin/env bash
# The GNOME listing's speed: build/tavelon (full listing, catalogue included) against
# `gdbus call ... GetCurrentState` on the same headless Mutter on a private session bus
# (paired runs, bench/x11/paired.py); the method calls of one listing from dbus-monitor;
# and what the choice of service costs the X11 runs (with no session bus, and with a bus
# where Mutter is absent). Needs root (Xorg, Mutter as root).
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
cd "$REPO"
scripts/install-packages python3 mutter dbus xwayland libglib2.0-bin libsystemd-dev \
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tavelon >/dev/null
RUNS=${RUNS:-300}

source bench/x11/server.sh
source bench/mutter/session.sh
trap 'stop_session; stop_server; rm -rf "$bench_folder"' EXIT

start_bus mutter-bus
bus=$bus_address
start_mutter

echo "calls of one listing on the bus (tavelon, from dbus-monitor):"
DBUS_SESSION_BUS_ADDRESS=$bus dbus-monitor --session "type='method_call'" >"$session_folder/monitor" 2>&1 &
monitor=$!
pids+=($monitor)
sleep 0.5
env -u DISPLAY DBUS_SESSION_BUS_ADDRESS="$bus" build/tavelon >/dev/null
sleep 0.5
kill "$monitor"
grep '^method call' "$session_folder/monitor" | grep -oE 'member=[A-Za-z]+' | grep -v BecomeMonitor | sed 's/^/  /'

echo "full listing against gdbus GetCurrentState, headless Mutter with two monitors:"
env -u DISPLAY DBUS_SESSION_BUS_ADDRESS="$bus" python3 bench/x11/paired.py "$RUNS" "build/tavelon" \
  "gdbus call --session --dest org.gnome.Mutter.DisplayConfig --object-path /org/gnome/Mutter/DisplayConfig --method org.gnome.Mutter.DisplayConfig.GetCurrentState"

echo "what the choice costs an X11 listing (dummy Xorg, 11 outputs) on a session bus without Mutter:"
start_server 11
start_bus empty-bus
empty_bus=$bus_address
python3 bench/x11/paired.py "$RUNS" "env DBUS_SESSION_BUS_ADDRESS=$empty_bus build/tavelon" "env -u DBUS_SESSION_BUS_ADDRESS build/tavelon"
