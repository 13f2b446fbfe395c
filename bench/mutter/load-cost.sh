#!/usr/bin/env bash
# Where a GNOME listing's time goes: what loading libsystemd costs a static program, which
# share of that is the libraries libsystemd itself names (Debian 12's libsystemd0 links
# libcap, libgcrypt with libgpg-error, liblzma, libzstd and liblz4), and the time of each
# bus step (loading, connecting, the answer to Hello, GetCurrentState) on a headless Mutter.
# Paired runs with bench/x11/paired.py. Needs root (Mutter as root).
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
cd "$REPO"
scripts/install-packages python3 gcc libc6-dev mutter dbus libglib2.0-bin libsystemd-dev
RUNS=${RUNS:-300}

source bench/mutter/session.sh
trap stop_session EXIT
probe=$session_folder/probe
# The linker's warning about dlopen in a static program is expected: it is what is measured.
gcc -O2 -static-pie -o "$probe" bench/mutter/probe.c 2>/dev/null

echo "loading libsystemd with what it names, against starting the static probe alone:"
python3 bench/x11/paired.py "$RUNS" "$probe libsystemd.so.0" "$probe"
echo "libcap with the five libraries for the journal, against libcap alone (each brings the shared C library):"
python3 bench/x11/paired.py "$RUNS" \
  "$probe libcap.so.2 libgpg-error.so.0 libgcrypt.so.20 liblzma.so.5 libzstd.so.1 liblz4.so.1" "$probe libcap.so.2"

start_bus mutter-bus
start_mutter
echo "steps in ms (median of $RUNS): load libsystemd, open the bus, Hello answered, GetCurrentState answered:"
for _ in $(seq "$RUNS"); do DBUS_SESSION_BUS_ADDRESS=$bus_address "$probe" --steps; done |
  python3 -c '
import statistics, sys
rows = [list(map(float, line.split())) for line in sys.stdin]
print("  " + "  ".join(f"{statistics.median(column):.3f}" for column in zip(*rows)))'
