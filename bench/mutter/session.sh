# Sourced by the GNOME benchmarks: a private session bus with a headless Mutter (two virtual
# monitors) on it. start_bus NAME starts a bus on the socket NAME and sets bus_address;
# start_mutter starts Mutter on $bus_address. Every process is kept in pids and stopped by
# its own pid in stop_session.
session_folder=$(mktemp -d)
mkdir -m 700 "$session_folder/runtime"
pids=()
stop_session() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
  rm -rf "$session_folder"
}

start_bus() {
  bus_address="unix:path=$session_folder/$1"
  dbus-daemon --session --nofork --nopidfile --address="$bus_address" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    DBUS_SESSION_BUS_ADDRESS=$bus_address gdbus call --session --dest org.freedesktop.DBus \
      --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId >/dev/null 2>&1 && return
    sleep 0.1
  done
  echo "no bus on $bus_address" >&2
  exit 1
}

start_mutter() {
  env -u DISPLAY -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS="$bus_address" XDG_RUNTIME_DIR="$session_folder/runtime" \
    mutter --headless --wayland --no-x11 --virtual-monitor 1280x720 --virtual-monitor 1024x768@75 \
    >"$session_folder/mutter.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    DBUS_SESSION_BUS_ADDRESS=$bus_address gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.NameHasOwner org.gnome.Mutter.DisplayConfig 2>/dev/null | grep -q true && return
    sleep 0.1
  done
  echo "Mutter did not take its name on the bus" >&2
  exit 1
}
