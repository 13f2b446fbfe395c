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

enum class StateRead {
  Read,     // the state is in hand
  NoOwner,  // no session bus, or nobody owns org.gnome.Mutter.DisplayConfig on it
  Failed,   // the owner's answer was an error, of another shape, late, or never came
};

// One GetCurrentState call, never starting a service that is not running. With no session
// bus address, NoOwner without loading the bus library. The first call of a run is also the
// test of whether Mutter is there: a name without an owner is the bus daemon's answer.
StateRead ReadCurrentState(DisplayState& state);

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
