#!/usr/bin/env bash
# Instructions per mode query of the catalogue, for 1 to 100,000 modes on each of 11 devices,
# counted by callgrind inside the catalogue only (fixture loading is left out), with the
# instructions spent in the allocator there. Writes results.tsv and scaling.png beside this file.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
"$repo/scripts/install-packages" valgrind gnuplot-nox python3
cmake -S "$repo" -B "$repo/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$repo/build" -j"$(nproc)" --target tavelon-sim >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'modes_per_device\tmode_queries\tinstructions\tinstructions_per_query\tallocator_instructions_per_query\n' >"$here/results.tsv"
for modes in 1 10 100 1000 10000 100000; do
  python3 "$here/make-machine.py" "$modes" >"$work/machine.json"
  TAVELON_SIM_MACHINE="$work/machine.json" valgrind --tool=callgrind --callgrind-out-file="$work/out" \
    --toggle-collect='ListModes*' "$repo/build/tavelon-sim" >/dev/null 2>"$work/valgrind.log"
  total=$(callgrind_annotate "$work/out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  allocator=$(callgrind_annotate --inclusive=yes --threshold=100 "$work/out" 2>/dev/null |
    awk '/ (malloc|operator new\(unsigned long\)) / || /:(malloc|operator new)/ {gsub(",", "", $1); sum += $1} END {print sum + 0}')
  queries=$((11 * (modes + 1)))
  printf '%s\t%s\t%s\t%s\t%s\n' "$modes" "$queries" "$total" \
    "$(awk -v t="$total" -v q="$queries" 'BEGIN {printf "%.1f", t / q}')" \
    "$(awk -v t="$allocator" -v q="$queries" 'BEGIN {printf "%.2f", t / q}')" >>"$here/results.tsv"
done
cat "$here/results.tsv"

gnuplot <<PLOT
set terminal pngcairo size 720,420
set output "$here/scaling.png"
set title "Catalogue cost per mode query, 11 devices (callgrind)"
set xlabel "modes per device"
set ylabel "instructions per mode query"
set logscale x
set xrange [0.7:200000]
set format x "10^{%L}"
set yrange [0:*]
set grid
set key off
plot "$here/results.tsv" using 1:4 every ::1 with linespoints lw 2 pt 7
PLOT
