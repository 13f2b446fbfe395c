#!/usr/bin/env bash
# The X11 listing's speed: build/tavelon against xrandr --query on the same private dummy
# server with 11 active outputs (paired runs, and hyperfine), and the round trips of one
# listing with 1, 4 and 11 outputs counted from strace. Needs root (Xorg), hyperfine, strace.
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
cd "$REPO"
scripts/install-packages hyperfine strace python3 xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
source bench/x11/server.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tavelon >/dev/null

echo "round trips of one listing (tavelon with catalogue / xrandr --query):"
for outputs in 1 4 11; do
  start_server "$outputs"
  echo "  $outputs outputs: tavelon $(round_trips build/tavelon), tavelon /Q $(round_trips build/tavelon /Q), xrandr --query $(round_trips xrandr --query)"
done

echo "time of one listing with 11 outputs:"
python3 bench/x11/paired.py 300 "build/tavelon" "xrandr --query"
hyperfine -N --warmup 20 --runs 300 --style basic "build/tavelon" "xrandr --query" 2>&1 | grep -E "Time|±|faster" || true
