// What the GNOME display service says to Mutter on the session bus: the state read with
// GetCurrentState and a whole layout applied with ApplyMonitorsConfig, decoded into plain
// records. One connection per run, opened at the first call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mutter {

struct MonitorMode {
  std::string Id;  // Mutter's mode id, such as "1920x1080@59.940"
  std::int32_t Width = 0;   // pixels, as the monitor scans out (before any transform)
  std::int32_t Height = 0;
  double RefreshHz = 0;
};

struct Monitor {
  std::string Connector;    // such as "DP-1" or "Meta-0"
  std::string Description;  // the display-name property, else vendor and product
  std::vector<MonitorMode> Modes;  // in Mutter's order
  int CurrentMode = -1;            // index into Modes of the is-current mode; -1: none
};

struct LogicalMonitor {
  std::int32_t X = 0;  // layout position, in the layout mode's units
  std::int32_t Y = 0;
  double Scale = 1;
  std::uint32_t Transform = 0;  // 0..7; odd values turn the monitor by 90 or 270 degrees
  bool Primary = false;
  std::vector<std::string> Connectors;  // the monitors it shows
};

// Mutter's layout modes: in the logical one a logical monitor measures its mode divided by
// its scale; in the physical one it measures its mode.
constexpr std::uint32_t LayoutModeLogical = 1;
constexpr std::uint32_t LayoutModePhysical = 2;

struct DisplayState {
  std::uint32_t Serial = 0;  // names this state in ApplyMonitorsConfig
  std::vector<Monitor> Monitors;
  std::vector<LogicalMonitor> LogicalMonitors;
  std::uint32_t LayoutMode = LayoutModeLogical;  // the interface's default when unstated
};

// True when the session bus (DBUS_SESSION_BUS_ADDRESS) can be reached and
// org.gnome.Mutter.DisplayConfig has an owner there: one round trip after connecting. With
// no session bus address, false without loading the bus library.
bool DisplayConfigOwned();

// One GetCurrentState call. False when the bus, Mutter or the reply's shape fails us.
bool ReadCurrentState(DisplayState& state);

struct MonitorAssignment {
  std::string Connector;
  std::string ModeId;
};

struct LogicalMonitorLayout {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  double Scale = 1;
  std::uint32_t Transform = 0;
  bool Primary = false;
  std::vector<MonitorAssignment> Monitors;
};

// ApplyMonitorsConfig with the temporary method (not saved as the user's configuration),
// against the state named by serial. False when Mutter refuses it or cannot be asked.
bool ApplyTemporary(std::uint32_t serial, const std::vector<LogicalMonitorLayout>& layout);

}  // namespace mutter
