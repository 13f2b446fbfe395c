// The resolution change and the primary display change, with their outcome lines.
#include <gtest/gtest.h>

#include "Sim.h"

namespace {

using nlohmann::json;

const std::string Report = GoldenFile("two-devices-report.txt");
const std::string Success2 = "\\\\.\\DISPLAY2 Example Display Adapter";

json TwoDevices() { return MachineFile("two-devices.json"); }

json WithResult(const char* key, int result) {
  json machine = TwoDevices();
  for (json& device : machine.at("devices")) device[key] = result;
  return machine;
}

TEST(Resolution, WorkedSuccessQuiet) {
  const SimRun run = RunSim(TwoDevices(), {"/Q", "/D1", "/X1024", "/Y768"});
  EXPECT_EQ(run.Run.Out, Lines({"Device 1 Current resolution: 800-600 Bits: 16", "Changing resolution to 1024x768 on device 1",
                                "Successful Change: " + Success2, ""}));
  EXPECT_EQ(run.Run.ExitCode, 0);
}

TEST(Resolution, WorkedSuccessAfterTheReport) {
  const SimRun run = RunSim(TwoDevices(), {"/D1", "/X1024", "/Y768"});
  EXPECT_EQ(run.Run.Out, Report + Lines({"Device 1 Current resolution: 800-600 Bits: 16",
                                         "Changing resolution to 1024x768 on device 1",
                                         "Successful Change: " + Success2, ""}));
}

// Only width and height differ from the current mode: depth, frequency, position and the
// field mask reach the service as the query left them.
TEST(Resolution, RequestCopiesTheCurrentMode) {
  const std::tuple<std::vector<std::string>, std::uint32_t, std::uint32_t, std::string> cases[] = {
      {{"/D1", "/X1024", "/Y768"}, 1024, 768, "Changing resolution to 1024x768 on device 1"},
      {{"/D1", "/X", "/Y768"}, 0, 768, "Changing resolution to 0x768 on device 1"},
      {{"/D1", "/X0", "/Y-2"}, 0, 4294967294u, "Changing resolution to 0x-2 on device 1"},
      {{"/D1", "/X-1", "/Y$FFFFFFFF"}, 4294967295u, 4294967295u, "Changing resolution to -1x-1 on device 1"},
      {{"/Dx1", "/X2147483647", "/Y1"}, 2147483647u, 1, "Changing resolution to 2147483647x1 on device 1"},
  };
  for (const auto& [arguments, width, height, announce] : cases) {
    const SimRun run = RunSim(TwoDevices(), arguments);
    EXPECT_NE(run.Run.Out.find(Lines({announce})), std::string::npos) << announce;
    const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].at("name"), "\\\\.\\DISPLAY2");
    EXPECT_EQ(changes[0].at("flags"), 0);
    EXPECT_EQ(changes[0].at("mode"), (json{{"width", width}, {"height", height}, {"bits", 16}, {"frequency", 60},
                                           {"fields", 1835040}, {"x", 1024}, {"y", 0}, {"size", 156},
                                           {"driver_extra", 0}}))
        << announce;
  }
}

TEST(Resolution, EveryOutcome) {
  const std::tuple<int, std::string> cases[] = {
      {1, "Error DISP_CHANGE_RESTART"},    {-1, "Error DISP_CHANGE_FAILED"},  {-2, "Error DISP_CHANGE_BADMODE"},
      {-3, "Error DISP_CHANGE_NOTUPDATED"}, {-4, "Error DISP_CHANGE_BADFLAGS"}, {-5, "Error DISP_CHANGE_BADPARAM"},
      {-6, "Error (unknown)"},             {2, "Error (unknown)"},            {-2147483647 - 1, "Error (unknown)"},
  };
  for (const auto& [result, line] : cases) {
    const SimRun run = RunSim(WithResult("change_result", result), {"/Q", "/D0", "/X640", "/Y480"});
    EXPECT_EQ(run.Run.Out, Lines({"Device 0 Current resolution: 1024-768 Bits: 32",
                                  "Changing resolution to 640x480 on device 0", line, ""}));
    EXPECT_EQ(run.Run.ExitCode, 0) << result;
  }
}

// A failed current-mode query sends the two sizes alone, not the mode the buffer still
// holds from the device listed before.
TEST(Resolution, FailedCurrentModeQuerySendsOnlyTheSizes) {
  json machine = WithResult("change_result", -2);
  machine["devices"][1].erase("current");
  const SimRun run = RunSim(machine, {"/Q", "/D1", "/X1024", "/Y768"});
  EXPECT_EQ(run.Run.Out, Lines({"EnumDisplaySettings returned 0", "Changing resolution to 1024x768 on device 1",
                                "Error DISP_CHANGE_BADMODE", ""}));
  EXPECT_EQ(run.Run.ExitCode, 0);
  const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].at("mode"), (json{{"width", 1024}, {"height", 768}, {"bits", 0}, {"frequency", 0},
                                         {"fields", 0x00180000}, {"x", 0}, {"y", 0}, {"size", 156},
                                         {"driver_extra", 0}}));
}

TEST(Resolution, DeviceOutsideTheInventoryIsRefusedBeforeAnyCall) {
  const std::tuple<std::vector<std::string>, std::string> cases[] = {
      {{"/D-1", "/X640", "/Y480"}, "-1"},
      {{"/D2", "/X640", "/Y480"}, "2"},
      {{"/D11", "/X640", "/Y480"}, "11"},
      {{"/D$80000000", "/X640", "/Y480"}, "-2147483648"},
      {{"/Q", "/D2147483647", "/X640", "/Y480"}, "2147483647"},
  };
  for (const auto& [arguments, number] : cases) {
    const SimRun run = RunSim(TwoDevices(), arguments);
    const std::string refusal = Lines({"Cannot change resolution of device " + number + " - no such device."});
    EXPECT_EQ(run.Run.Out, (arguments[0] == "/Q" ? "" : Report) + refusal);
    EXPECT_EQ(run.Run.ExitCode, 1) << number;
    EXPECT_TRUE(run.Calls("ChangeDisplaySettingsExA").empty()) << number;
    // Only the inventory's own queries: nothing was asked about the refused device.
    EXPECT_EQ(run.Calls("EnumDisplaySettingsA").size(), 2u) << number;
  }
}

TEST(Primary, WorkedSuccess) {
  const SimRun quiet = RunSim(TwoDevices(), {"/Q", "/P1"});
  EXPECT_EQ(quiet.Run.Out, Lines({"Successful: Primary set to 1  " + Success2, ""}));
  EXPECT_EQ(quiet.Run.ExitCode, 0);
  const std::vector<json> changes = quiet.Calls("ChangeDisplaySettingsExA");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], (json{{"call", "ChangeDisplaySettingsExA"}, {"name", "\\\\.\\DISPLAY2"}, {"mode", nullptr},
                              {"flags", 16}, {"result", 0}}));
  EXPECT_EQ(quiet.Calls("EnumDisplayDevicesA").size(), 6u);

  const SimRun loud = RunSim(TwoDevices(), {"/P1"});
  EXPECT_EQ(loud.Run.Out, Report + Lines({"Successful: Primary set to 1  " + Success2, ""}) + Report);
}

TEST(Primary, SecondPassShowsTheMachineAfterTheChange) {
  json machine = TwoDevices();
  json after = machine;
  after["devices"][0]["flags"] = 1;
  after["devices"][1]["flags"] = 5;
  machine["after_change"] = after;
  const SimRun run = RunSim(machine, {"/P1"});
  const std::string secondPass = run.Run.Out.substr(run.Run.Out.rfind("Successful: Primary"));
  EXPECT_NE(secondPass.find(Lines({"Device String: \"Example Display Adapter\"", "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP",
                                   "", "resolution: 1024-768 Bits: 32"})),
            std::string::npos);
  EXPECT_NE(secondPass.find(Lines({"DISPLAY_DEVICE_ATTACHED_TO_DESKTOP", "DISPLAY_DEVICE_PRIMARY_DEVICE", "",
                                   "resolution: 800-600 Bits: 16"})),
            std::string::npos);
}

TEST(Primary, Refusals) {
  const std::tuple<std::vector<std::string>, std::string> cases[] = {
      {{"/Q", "/P2"}, "Cannot set primary to 2 - not a physical display."},
      {{"/Q", "/P11"}, "Cannot set primary to 11 - not a physical display."},
      {{"/Q", "/P-1"}, "Cannot set primary to -1 - not a physical display."},
      {{"/Q", "/P$80000000"}, "Cannot set primary to -2147483648 - not a physical display."},
      {{"/Q", "/P0"}, "Primary is already set to 0 - nothing to do."},
      {{"/Q", "/P"}, "Primary is already set to 0 - nothing to do."},
      {{"/Q", "/P", "/D1", "/X1", "/Y1"}, "Primary is already set to 0 - nothing to do."},
  };
  for (const auto& [arguments, line] : cases) {
    const SimRun run = RunSim(TwoDevices(), arguments);
    EXPECT_EQ(run.Run.Out, Lines({line}));
    EXPECT_EQ(run.Run.ExitCode, 1) << line;
    EXPECT_TRUE(run.Calls("ChangeDisplaySettingsExA").empty()) << line;
    EXPECT_EQ(run.Calls("EnumDisplayDevicesA").size(), 3u) << line;
  }
}

TEST(Primary, FailureStillListsAgain) {
  const std::tuple<int, std::string> cases[] = {{-1, "Error DISP_CHANGE_FAILED"}, {7, "Error (unknown)"}};
  for (const auto& [result, line] : cases) {
    const SimRun run = RunSim(WithResult("primary_result", result), {"/P1"});
    EXPECT_EQ(run.Run.Out, Report + Lines({line, ""}) + Report);
    EXPECT_EQ(run.Run.ExitCode, 0);
  }
}

// Device 0 primary, device 1 not attached, device 2 attached: only the index decides.
TEST(Primary, IndexAloneDecides) {
  const json machine = {{"devices", json::array({Device("A", "S", 5, Mode(800, 600)), Device("B", "S", 0, nullptr),
                                                 Device("C", "S", 1, Mode(800, 600))})}};
  const SimRun run = RunSim(machine, {"/Q", "/P1"});
  EXPECT_EQ(run.Run.Out, Lines({"Successful: Primary set to 1  B S", ""}));
  ASSERT_EQ(run.Calls("ChangeDisplaySettingsExA").size(), 1u);
  EXPECT_EQ(run.Calls("ChangeDisplaySettingsExA")[0].at("name"), "B");
}

// A second pass that cannot read device 0 stops as the first one does: it never reports
// the entries the first pass left behind.
TEST(Primary, SecondPassWithoutDevicesStops) {
  json machine = TwoDevices();
  machine["after_change"] = {{"devices", json::array()}};
  for (const bool quiet : {false, true}) {
    const SimRun run = RunSim(machine, quiet ? std::vector<std::string>{"/Q", "/P1"} : std::vector<std::string>{"/P1"});
    EXPECT_EQ(run.Run.Out, (quiet ? "" : Report) + Lines({"Successful: Primary set to 1  " + Success2, "",
                                                          "Error EnumDisplayDevices for device 0"}));
    EXPECT_EQ(run.Run.ExitCode, 1);
    // After the change: one device query, which fails, and nothing else.
    ASSERT_FALSE(run.Log.empty());
    EXPECT_EQ(run.Log.back(), (json{{"call", "EnumDisplayDevicesA"}, {"device", 0}, {"result", 0}}));
    EXPECT_EQ(run.Log[run.Log.size() - 2].at("call"), "ChangeDisplaySettingsExA");
  }
}

}  // namespace
