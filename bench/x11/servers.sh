#!/usr/bin/env bash
# tavelon /Z on every kind of X server the tests use (Xorg dummy, Xvfb, Xephyr, Xvnc,
# XWayland under weston) against xrandr --current (the fair peer: neither probes the
# hardware) and xrandr --query: the round trips of one run from strace, then paired runs
# (bench/x11/paired.py, the median of the per-pair ratios). Needs root for Xorg; RUNS sets
# the number of pairs (default 200), KINDS the servers (default all five).
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
cd "$REPO"
source scripts/packages.sh
scripts/install-packages strace python3 "${DUMMY_X_PACKAGES[@]}" "${X11_SERVER_TEST_PACKAGES[@]}"
source bench/x11/server.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tavelon >/dev/null
runs=${RUNS:-200}

for kind in ${KINDS:-xorg xvfb xephyr xvnc xwayland}; do
  start_kind "$kind"
  echo "$kind: round trips tavelon /Z $(round_trips build/tavelon /Z), xrandr --current $(round_trips xrandr --current), xrandr --query $(round_trips xrandr --query)"
  echo "  $(python3 bench/x11/paired.py "$runs" "build/tavelon /Z" "xrandr --current")"
  echo "  $(python3 bench/x11/paired.py "$runs" "build/tavelon /Z" "xrandr --query")"
done
