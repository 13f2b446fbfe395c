# Sourced by the X11 benchmarks. start_server N starts a private Xorg (dummy driver, the
# tests' config) with outputs DUMMY0..DUMMY(N-1) active side by side; start_kind KIND starts
# one of xorg, xvfb, xephyr (nested in a private Xvfb), xvnc or xwayland (under a headless


# trips of one run.
bench_folder=$(mktemp -d)
server_pids=()
stop_server() {
  local pid
  for pid in "${server_pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  server_pids=()
}
trap 'stop_server; rm -rf "$bench_folder"' EXIT

free_display() {
  local number=140
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
  echo "$number"
}

wait_for_display() {
  for _ in $(seq 200); do xrandr -display "$1" --current >/dev/null 2>&1 && return; sleep 0.1; done
  echo "no X server on $1" >&2
  exit 1
}

start_server() {
  local outputs=$1 number i
  stop_server
  number=$(free_display)
  Xorg ":$number" -config "$REPO/tests/xorg-dummy.conf" -logfile "$bench_folder/Xorg.$number.log" \
    -noreset -nolisten tcp -novtswitch </dev/null >/dev/null 2>&1 &
  server_pids+=($!)
  export DISPLAY=":$number"
  wait_for_display "$DISPLAY"
  local layout=(--output DUMMY0 --mode 1024x768 --pos 0x0 --primary)
  for ((i = 1; i < outputs; i++)); do
    xrandr --addmode "DUMMY$i" 1024x768
    xrandr --addmode "DUMMY$i" 800x600
    layout+=(--output "DUMMY$i" --mode 1024x768 --pos "$((i * 1024))x0")
  done
  xrandr "${layout[@]}"
  xrandr --query >/dev/null
}

start_kind() {
  local number
  case $1 in
    xorg) start_server 2; return ;;
    xvfb)
      stop_server
      number=$(free_display)
      Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
      server_pids+=($!) ;;
    xephyr)
      stop_server
      number=$(free_display)
      Xvfb ":$number" -screen 0 1920x1200x24 -noreset -nolisten tcp </dev/null >/dev/null 2>&1 &
      server_pids+=($!)
      wait_for_display ":$number"
      local host=":$number"
      number=$(free_display)
      DISPLAY=$host Xephyr ":$number" -screen 1024x768 -nolisten tcp </dev/null >/dev/null 2>&1 &
      server_pids+=($!) ;;
    xvnc)
      stop_server
      number=$(free_display)
      Xvnc ":$number" -geometry 1024x768 -SecurityTypes None -rfbport -1 -nolisten tcp </dev/null >/dev/null 2>&1 &
      server_pids+=($!) ;;
    xwayland)
      stop_server
      mkdir -m 0700 -p "$bench_folder/runtime"
      XDG_RUNTIME_DIR="$bench_folder/runtime" weston --backend=headless-backend.so --xwayland --no-config \
        --idle-time=0 --socket=tavelon-bench --log="$bench_folder/weston.log" </dev/null >/dev/null 2>&1 &
      server_pids+=($!)
      for _ in $(seq 200); do grep -q "xserver listening on display" "$bench_folder/weston.log" 2>/dev/null && break; sleep 0.1; done
      number=$(grep -o "listening on display :[0-9]*" "$bench_folder/weston.log" | grep -o "[0-9]*$") ;;
  esac
  export DISPLAY=":$number"
  wait_for_display "$DISPLAY"
  keep_client "$number"
}

# A client that stays connected, as a desktop's window manager does: Xvfb and Xephyr reset
# when their last client leaves, and that reset (about 60 ms) would otherwise be timed as
# part of every run. It sends the connection setup (little-endian, protocol 11.0, no
# authorization) and waits.
keep_client() {
  python3 - "$1" <<'PY' &
import socket, struct, sys, time
connection = socket.socket(socket.AF_UNIX)
connection.connect("/tmp/.X11-unix/X" + sys.argv[1])
connection.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
connection.recv(8)
time.sleep(86400)
PY
  server_pids+=($!)
}

# A round trip: the client writes requests to the X socket and then reads the server's
# answer. Both xcb and Xlib write out their requests only when they must wait for a reply,
# so each write on the socket followed by a read that returns data is one round trip (the
# connection setup included).
round_trips() {
  strace -f -e trace=connect,writev,sendmsg,write,read,recvmsg,recvfrom -o "$bench_folder/trace" "$@" >/dev/null 2>&1
  local fd
  fd=$(grep -m1 -oE 'connect\(([0-9]+), \{sa_family=AF_UNIX' "$bench_folder/trace" | grep -oE '[0-9]+' | head -1)
  awk -v fd="$fd" '
    $0 ~ "(writev|sendmsg|write)\\(" fd "," { wrote = 1 }
    $0 ~ "(read|recvmsg|recvfrom)\\(" fd "," && $NF + 0 > 0 && wrote { trips++; wrote = 0 }
    END { print trips + 0 }' "$bench_folder/trace"
}
