// Runs the built tavelon with a private session bus and reads Mutter's state back through
// GetCurrentState as gdbus prints it: the reference client's view, parsed only as far as the
// tests check it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MutterSession.h"
#include "Process.h"

// Runs build/tavelon with DBUS_SESSION_BUS_ADDRESS, DISPLAY and XAUTHORITY as given; an
// empty value leaves the variable unset.
struct SessionVariables {
  std::string BusAddress;
  std::string Display;
  std::string Authority;
};
RunResult RunTavelon(const SessionVariables& session, const std::vector<std::string>& arguments);

// Mutter's state in short: the serial and one line per monitor in Mutter's order,
// "Meta-0 1280x720@60.000 +0+0 primary": connector, current mode id ("none" without one),
// the position of its logical monitor ("off" in none), "primary" for the primary one.
struct MutterState {
  std::uint32_t Serial = 0;
  std::vector<std::string> Monitors;
};
MutterState ParseCurrentState(const std::string& gvariantText);
MutterState QueryState(const MutterSession& session);
