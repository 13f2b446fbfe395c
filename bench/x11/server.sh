# Sourced by the X11 benchmarks: start_server N starts a private Xorg (dummy driver, the
# tests' config) on a free display number with outputs DUMMY0..DUMMY(N-1) active side by
# side, exports DISPLAY, and stops it by its pid when the script exits.
bench_folder=$(mktemp -d)
server_pid=
stop_server() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  server_pid=
}
trap 'stop_server; rm -rf "$bench_folder"' EXIT

start_server() {
  local outputs=$1 number=140 i
  stop_server
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
  Xorg ":$number" -config "$REPO/tests/xorg-dummy.conf" -logfile "$bench_folder/Xorg.$number.log" \
    -noreset -nolisten tcp -novtswitch </dev/null >/dev/null 2>&1 &
  server_pid=$!
  export DISPLAY=":$number"
  for _ in $(seq 200); do xrandr --query >/dev/null 2>&1 && break; sleep 0.1; done
  local layout=(--output DUMMY0 --mode 1024x768 --pos 0x0 --primary)
  for ((i = 1; i < outputs; i++)); do
    xrandr --addmode "DUMMY$i" 1024x768
    xrandr --addmode "DUMMY$i" 800x600
    layout+=(--output "DUMMY$i" --mode 1024x768 --pos "$((i * 1024))x0")
  done
  xrandr "${layout[@]}"
  xrandr --query >/dev/null
}
