// The display service over Mutter's DisplayConfig interface (Linux product): the three
// display calls answered from GetCurrentState's monitors and logical monitors, changes
// applied as whole layouts. Only the mapping between Mutter's layout and the display records
// belongs here; the bus itself is MutterBus.cpp's.
#include "MutterDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "../DeviceRecord.h"
#include "MutterBus.h"

namespace mutter {

namespace {

// The interface tells no colour depth; every desktop Mutter drives is shown as 32 bits.
constexpr DWORD BitsPerPixel = 32;

// A value of zero or more to the nearest whole number, halves up, as lround would; here so
// that the program does not load libm for it.
std::int32_t Rounded(double value) { return static_cast<std::int32_t>(value + 0.5); }

DisplayState State;
bool StateValid = false;
// Read again at the next query: at the start and after each change. A read that failed is
// not repeated until then, so a compositor that does not answer costs one timeout a run.
bool StateStale = true;

StateRead ReadState() {
  const StateRead read = ReadCurrentState(State);
  StateValid = read == StateRead::Read;
  StateStale = false;
  return read;
}

// The cached state; null when Mutter could not be read.
const DisplayState* CurrentState() {
  if (StateStale) ReadState();
  return StateValid ? &State : nullptr;
}

// The index of the logical monitor showing the monitor; -1 when it is in none.
int LogicalMonitorOf(const DisplayState& state, const Monitor& monitor) {
  for (std::size_t i = 0; i < state.LogicalMonitors.size(); ++i) {
    const auto& connectors = state.LogicalMonitors[i].Connectors;
    if (std::find(connectors.begin(), connectors.end(), monitor.Connector) != connectors.end()) return int(i);
  }
  return -1;
}

// The device a service call names: an empty or absent name means the primary display. A
// name is compared as it fits the record, at most 32 bytes.
const Monitor* FindMonitor(const DisplayState& state, LPCSTR deviceName) {
  if (deviceName == nullptr || deviceName[0] == '\0') {
    for (const Monitor& monitor : state.Monitors) {
      const int logical = LogicalMonitorOf(state, monitor);
      if (logical >= 0 && state.LogicalMonitors[std::size_t(logical)].Primary) return &monitor;
    }
    return nullptr;
  }
  const std::string_view wanted(deviceName, strnlen(deviceName, sizeof DisplayDeviceShortA::DeviceName + 1));
  for (const Monitor& monitor : state.Monitors) {
    if (std::string_view(monitor.Connector).substr(0, sizeof DisplayDeviceShortA::DeviceName) == wanted) {
      return &monitor;
    }
  }
  return nullptr;
}

struct Size {
  std::int32_t Width = 0;  // pixels, or layout units where the caller says so
  std::int32_t Height = 0;
};

// The mode's size on the desktop: transforms 1, 3, 5 and 7 turn it by 90 or 270 degrees.
Size OrientedSize(const MonitorMode& mode, std::uint32_t transform) {
  if ((transform & 1) != 0) return {mode.Height, mode.Width};
  return {mode.Width, mode.Height};
}

// What the logical monitor measures in the layout when it shows the mode.
Size LayoutSize(const DisplayState& state, const LogicalMonitor& logical, const MonitorMode& mode) {
  Size size = OrientedSize(mode, logical.Transform);
  if (state.LayoutMode == LayoutModeLogical && logical.Scale > 0) {
    size.Width = Rounded(size.Width / logical.Scale);
    size.Height = Rounded(size.Height / logical.Scale);
  }
  return size;
}

const MonitorMode* CurrentModeOf(const DisplayState& state, const std::string& connector) {
  for (const Monitor& monitor : state.Monitors) {
    if (monitor.Connector == connector && monitor.CurrentMode >= 0) return &monitor.Modes[std::size_t(monitor.CurrentMode)];
  }
  return nullptr;
}

// The layout as it stands, in ApplyMonitorsConfig's terms. False when a monitor of a logical
// monitor has no current mode: no layout can then be stated.
bool CurrentLayout(const DisplayState& state, std::vector<LogicalMonitorLayout>& layout) {
  layout.clear();
  for (const LogicalMonitor& logical : state.LogicalMonitors) {
    LogicalMonitorLayout entry{logical.X, logical.Y, logical.Scale, logical.Transform, logical.Primary, {}};
    for (const std::string& connector : logical.Connectors) {
      const MonitorMode* mode = CurrentModeOf(state, connector);
      if (mode == nullptr) return false;
      entry.Monitors.push_back({connector, mode->Id});
    }
    if (entry.Monitors.empty()) return false;
    layout.push_back(std::move(entry));
  }
  return true;
}

bool Touch(std::int32_t start, std::int32_t length, std::int32_t otherStart, std::int32_t otherLength) {
  return start <= otherStart + otherLength && otherStart <= start + length;
}

// Gives the logical monitor `changed` a new size in the layout and moves the logical monitors
// that touched its right or bottom edge so that they still do: Mutter takes only layouts
// whose logical monitors are adjacent.
void KeepNeighboursAdjacent(const DisplayState& state, std::size_t changed, Size before, Size after,
                            std::vector<LogicalMonitorLayout>& layout) {
  const LogicalMonitor& target = state.LogicalMonitors[changed];
  for (std::size_t i = 0; i < state.LogicalMonitors.size(); ++i) {
    const LogicalMonitor& other = state.LogicalMonitors[i];
    const MonitorMode* mode = other.Connectors.empty() ? nullptr : CurrentModeOf(state, other.Connectors.front());
    if (i == changed || mode == nullptr) continue;
    const Size size = LayoutSize(state, other, *mode);
    if (other.X == target.X + before.Width && Touch(target.Y, before.Height, other.Y, size.Height)) {
      layout[i].X += after.Width - before.Width;
    }
    if (other.Y == target.Y + before.Height && Touch(target.X, before.Width, other.X, size.Width)) {
      layout[i].Y += after.Height - before.Height;
    }
  }
}

// What one attempt at a change came to; Asked tells whether Mutter was asked (and refused,
// when Result is a failure).
struct Attempt {
  LONG Result = DISP_CHANGE_FAILED;
  bool Asked = false;
};

Attempt Apply(const DisplayState& state, const std::vector<LogicalMonitorLayout>& layout) {
  const bool applied = ApplyTemporary(state.Serial, layout);
  return {applied ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED, true};
}

Attempt ChangeMode(const DisplayState& state, const Monitor& monitor, const DEVMODEA& request) {
  const int logicalIndex = LogicalMonitorOf(state, monitor);
  if (logicalIndex < 0 || monitor.CurrentMode < 0) return {};
  if ((request.dmFields & DM_BITSPERPEL) != 0 && request.dmBitsPerPel != BitsPerPixel) return {DISP_CHANGE_BADMODE};
  const LogicalMonitor& logical = state.LogicalMonitors[std::size_t(logicalIndex)];
  const MonitorMode& current = monitor.Modes[std::size_t(monitor.CurrentMode)];
  const Size shown = OrientedSize(current, logical.Transform);
  const DWORD width = (request.dmFields & DM_PELSWIDTH) != 0 ? request.dmPelsWidth : DWORD(shown.Width);
  const DWORD height = (request.dmFields & DM_PELSHEIGHT) != 0 ? request.dmPelsHeight : DWORD(shown.Height);
  const MonitorMode* chosen = nullptr;
  for (const MonitorMode& mode : monitor.Modes) {
    const Size size = OrientedSize(mode, logical.Transform);
    if (DWORD(size.Width) != width || DWORD(size.Height) != height) continue;
    if (chosen == nullptr ||
        std::fabs(mode.RefreshHz - current.RefreshHz) < std::fabs(chosen->RefreshHz - current.RefreshHz)) {
      chosen = &mode;
    }
  }
  if (chosen == nullptr) return {DISP_CHANGE_BADMODE};

  std::vector<LogicalMonitorLayout> layout;
  if (!CurrentLayout(state, layout)) return {};
  for (MonitorAssignment& assignment : layout[std::size_t(logicalIndex)].Monitors) {
    if (assignment.Connector == monitor.Connector) assignment.ModeId = chosen->Id;
  }
  KeepNeighboursAdjacent(state, std::size_t(logicalIndex), LayoutSize(state, logical, current),
                         LayoutSize(state, logical, *chosen), layout);
  return Apply(state, layout);
}

Attempt SetPrimary(const DisplayState& state, const Monitor& monitor) {
  const int logicalIndex = LogicalMonitorOf(state, monitor);
  std::vector<LogicalMonitorLayout> layout;
  if (logicalIndex < 0 || !CurrentLayout(state, layout)) return {};
  for (std::size_t i = 0; i < layout.size(); ++i) layout[i].Primary = int(i) == logicalIndex;
  return Apply(state, layout);
}

Attempt Change(LPCSTR deviceName, const DEVMODEA* mode, DWORD flags) {
  const DisplayState* state = CurrentState();
  const Monitor* monitor = state != nullptr ? FindMonitor(*state, deviceName) : nullptr;
  if (monitor == nullptr) return {};
  if (mode != nullptr) return ChangeMode(*state, *monitor, *mode);
  if ((flags & CDS_SET_PRIMARY) != 0) return SetPrimary(*state, *monitor);
  return {DISP_CHANGE_BADPARAM};
}

void FillMode(DEVMODEA& record, const MonitorMode& mode, std::uint32_t transform) {
  const Size size = OrientedSize(mode, transform);
  record.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  record.dmBitsPerPel = BitsPerPixel;
  record.dmPelsWidth = DWORD(size.Width);
  record.dmPelsHeight = DWORD(size.Height);
  record.dmDisplayFlags = 0;
  record.dmDisplayFrequency = DWORD(Rounded(mode.RefreshHz));
}

}  // namespace

bool Available() { return ReadState() != StateRead::NoOwner; }

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD) {
  // A named device would ask for the monitors behind it; a Mutter monitor is one already.
  if (device != nullptr || record == nullptr) return 0;
  const DisplayState* state = CurrentState();
  if (state == nullptr || deviceNumber >= state->Monitors.size()) return 0;
  const Monitor& monitor = state->Monitors[deviceNumber];
  DWORD stateFlags = 0;
  const int logical = LogicalMonitorOf(*state, monitor);
  if (logical >= 0) {
    stateFlags |= DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
    if (state->LogicalMonitors[std::size_t(logical)].Primary) stateFlags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
  }
  FillDeviceRecord(*record, monitor.Connector, monitor.Description, stateFlags);
  return 1;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
  const DisplayState* state = CurrentState();
  const Monitor* monitor = state != nullptr && mode != nullptr ? FindMonitor(*state, deviceName) : nullptr;
  if (monitor == nullptr) return 0;
  const int logical = LogicalMonitorOf(*state, *monitor);
  const LogicalMonitor* shownIn = logical >= 0 ? &state->LogicalMonitors[std::size_t(logical)] : nullptr;
  const std::uint32_t transform = shownIn != nullptr ? shownIn->Transform : 0;
  if (modeNumber == ENUM_CURRENT_SETTINGS) {
    if (shownIn == nullptr || monitor->CurrentMode < 0) return 0;
    FillMode(*mode, monitor->Modes[std::size_t(monitor->CurrentMode)], transform);
    mode->dmFields |= DM_POSITION;
    mode->dmPosition = {shownIn->X, shownIn->Y};
    return 1;
  }
  if (modeNumber >= monitor->Modes.size()) return 0;
  FillMode(*mode, monitor->Modes[modeNumber], transform);
  return 1;
}

LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND, DWORD flags, LPVOID) {
  Attempt attempt = Change(deviceName, mode, flags);
  if (attempt.Asked && attempt.Result != DISP_CHANGE_SUCCESSFUL) {
    // Mutter refuses a layout built on a stale serial: with a newer state, build it again
    // and ask once more.
    const std::uint32_t staleSerial = State.Serial;
    ReadState();
    const DisplayState* fresh = CurrentState();
    if (fresh != nullptr && fresh->Serial != staleSerial) attempt = Change(deviceName, mode, flags);
  }
  // Whatever Mutter now holds is read afresh at the next query.
  StateStale = true;
  return attempt.Result;
}

}  // namespace mutter
