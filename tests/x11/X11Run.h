// Runs the built tavelon against a private X server and reads the server's state back
// through xrandr, the reference client.
#pragma once

#include <string>
#include <vector>

#include "Process.h"
#include "XServer.h"

// Runs build/tavelon on the server's display with the arguments.
RunResult RunTavelon(const XServer& server, const std::vector<std::string>& arguments);

// Puts a two-output server back as it was set up: DUMMY0 primary at 1024x768+0+0, DUMMY1 at
// 1024x768+1024+0, neither panning, a 2048x768 screen.
void RestoreTwoOutputLayout(const DummyXServer& server);

// What xrandr --query reports: the screen size ("2048x768") and one line per connected
// output in the server's order: "DUMMY1 1024x768+1024+0 1024x768 60.00", "primary" after
// the name of the primary output, "off" for an output without a CRTC.
struct XrandrState {
  std::string Screen;
  std::vector<std::string> Outputs;
};
XrandrState QueryState(const XServer& server);

// One output as xrandr --query lists it: those connected or driving a CRTC, in its order.
struct XrandrOutput {
  std::string Name;
  bool Primary = false;
  std::string Geometry;            // "1024x768+0+0" on the desktop, empty when off
  std::vector<std::string> Sizes;  // every mode's "WIDTHxHEIGHT" as listed, unrotated
};
// The outputs of the screen xrandr reports with these extra arguments (such as
// {"--screen", "1"}).
std::vector<XrandrOutput> XrandrOutputs(const XServer& server, const std::vector<std::string>& arguments = {});
