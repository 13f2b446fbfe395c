// The main sequence: which switches make what run, and the exit codes.
#include <gtest/gtest.h>

#include "Sim.h"

namespace {

using nlohmann::json;

const std::string Usage = Lines({
    "Usage: Tavelon.exe /H -    This help",
    "       Tavelon.exe with no parameters - list current display devices and supported modes",
    "       Tavelon.exe /Dn /Xxxx /Yyyy - set resolution of device n to xxx by yyy pixels",
    "       Tavelon.exe /Q - Quiet mode - suppress console output",
});

TEST(Driver, UsageTextEndsTheRunBeforeAnyDisplayCall) {
  const std::vector<std::string> commandLines[] = {
      {"/H"}, {"-h"}, {"/help"}, {"/H", "/P1", "/Q"}, {"/Q", "/H"}, {"/D0", "/X800", "/Y600", "-H"},
  };
  for (const auto& arguments : commandLines) {
    const SimRun run = RunSim({{"devices", json::array()}}, arguments);
    EXPECT_EQ(run.Run.Out, Usage) << arguments[0];
    EXPECT_EQ(run.Run.ExitCode, 0);
    EXPECT_TRUE(run.Log.empty());
  }
}

// What runs for a command line on the two-device machine: the first-pass report, then
// at most one action; the action is known by its calls.
struct DriverCase {
  std::vector<std::string> Arguments;
  std::size_t ModeChanges;     // ChangeDisplaySettingsExA with a mode record
  std::size_t PrimaryChanges;  // ChangeDisplaySettingsExA with none
  std::size_t DevicePasses;    // inventory passes
  int ExitCode;
};

TEST(Driver, SwitchesDecideTheAction) {
  const DriverCase cases[] = {
      {{"/Z"}, 0, 0, 1, 0},
      {{"/D0", "/X800"}, 0, 0, 1, 0},
      {{"/X800", "/Y600"}, 0, 0, 1, 0},
      {{"/Y600", "/X800", "/D0"}, 1, 0, 1, 0},
      {{"/P1", "/D0", "/X800", "/Y600"}, 0, 1, 2, 0},
      {{"/P1", "/P0"}, 0, 1, 2, 0},
      {{"/P0"}, 0, 0, 1, 1},
      {{"/P2"}, 0, 0, 1, 1},
      {{"/D0", "/D1", "/X800", "/Y600", "/Y1"}, 1, 0, 1, 0},
  };
  for (const DriverCase& driverCase : cases) {
    const SimRun run = RunSim(MachineFile("two-devices.json"), driverCase.Arguments);
    std::size_t modeChanges = 0;
    std::size_t primaryChanges = 0;
    for (const json& call : run.Calls("ChangeDisplaySettingsExA")) ++(call.at("mode").is_null() ? primaryChanges : modeChanges);
    std::size_t passes = 0;
    for (const json& call : run.Calls("EnumDisplayDevicesA")) passes += call.at("device") == 0;
    const std::string trace = driverCase.Arguments[0] + " " + std::to_string(driverCase.Arguments.size());
    EXPECT_EQ(modeChanges, driverCase.ModeChanges) << trace;
    EXPECT_EQ(primaryChanges, driverCase.PrimaryChanges) << trace;
    EXPECT_EQ(passes, driverCase.DevicePasses) << trace;
    EXPECT_EQ(run.Run.ExitCode, driverCase.ExitCode) << trace;
    EXPECT_EQ(run.Run.Out.rfind(GoldenFile("two-devices-report.txt"), 0), 0u) << trace;
  }
}

TEST(Driver, RepeatedSwitchTakesTheFirstValue) {
  const SimRun run = RunSim(MachineFile("two-devices.json"), {"/Q", "/D1", "/D0", "/X640", "/X1", "/Y480"});
  const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].at("name"), "\\\\.\\DISPLAY2");
  EXPECT_EQ(changes[0].at("mode").at("width"), 640);
}

}  // namespace
