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

// The worked run, quiet and after the first-pass report: the change lines are the same.
TEST(Resolution, WorkedSuccess) {
  const std::string changeLines = Lines({"Device 1 Current resolution: 800-600 Bits: 16",
                                         "Changing resolution to 1024x768 on device 1", "Successful Change: " + Success2, ""});
  const std::tuple<std::vector<std::string>, std::string> cases[] = {
      {{"/Q", "/D1", "/X1024", "/Y768"}, changeLines},
      {{"/D1", "/X1024", "/Y768"}, Report + changeLines},
  };
  for (const auto& [arguments, out] : cases) {
    const SimRun run = RunSim(TwoDevices(), arguments);
    EXPECT_EQ(run.Run.Out, out) << arguments[0];
    EXPECT_EQ(run.Run.ExitCode, 0) << arguments[0];
    ASSERT_EQ(run.Calls("ChangeDisplaySettingsExA").size(), 1u) << arguments[0];
  }
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

// Whatever the service answers, the outcome line, an empty line and the second pass follow.
TEST(Primary, EveryOutcomeListsAgain) {
  const std::tuple<int, std::string> cases[] = {
      {0, "Successful: Primary set to 1  " + Success2}, {-1, "Error DISP_CHANGE_FAILED"}, {7, "Error (unknown)"}};
  for (const auto& [result, line] : cases) {
    const SimRun loud = RunSim(WithResult("primary_result", result), {"/P1"});
    EXPECT_EQ(loud.Run.Out, Report + Lines({line, ""}) + Report) << result;
    EXPECT_EQ(loud.Run.ExitCode, 0) << result;

    const SimRun quiet = RunSim(WithResult("primary_result", result), {"/Q", "/P1"});
    EXPECT_EQ(quiet.Run.Out, Lines({line, ""})) << result;
    EXPECT_EQ(quiet.Run.ExitCode, 0) << result;
    const std::vector<json> changes = quiet.Calls("ChangeDisplaySettingsExA");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], (json{{"call", "ChangeDisplaySettingsExA"}, {"name", "\\\\.\\DISPLAY2"}, {"mode", nullptr},
                                {"flags", 16}, {"result", result}}));
    // Both passes query devices 0 to 2, the second one after the change.
    EXPECT_EQ(quiet.Calls("EnumDisplayDevicesA").size(), 6u);
    EXPECT_EQ(quiet.Log.back().at("call"), "EnumDisplaySettingsA");
  }
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

// Five devices that tell the rules apart: device 1 is the primary, device 2 in the middle
// and device 4 at the end are not attached. So the last device (4), the last attached
// device (3) and the primary (1) are three different numbers.
struct RuleCase {
  std::vector<std::string> Arguments;
  std::string Out;     // the whole output (all runs are quiet)
  std::string Device;  // the device the one change call names, or empty for no change call
  int ExitCode;
};

TEST(Rules, BoundsAndPrimaryOnFiveDevices) {
  const RuleCase cases[] = {
      {{"/Q", "/D4", "/X640", "/Y480"},
       Lines({"EnumDisplaySettings returned 0", "Changing resolution to 640x480 on device 4", "Successful Change: D4 Adapter", ""}),
       "D4", 0},
      {{"/Q", "/D5", "/X640", "/Y480"}, Lines({"Cannot change resolution of device 5 - no such device."}), "", 1},
      {{"/Q", "/P3"}, Lines({"Successful: Primary set to 3  D3 Adapter", ""}), "D3", 0},
      {{"/Q", "/P4"}, Lines({"Cannot set primary to 4 - not a physical display."}), "", 1},
      {{"/Q", "/P2"}, Lines({"Successful: Primary set to 2  D2 Adapter", ""}), "D2", 0},
      {{"/Q", "/P1"}, Lines({"Primary is already set to 1 - nothing to do."}), "", 1},
      {{"/Q", "/P0"}, Lines({"Successful: Primary set to 0  D0 Adapter", ""}), "D0", 0},
  };
  for (const RuleCase& rule : cases) {
    const std::string trace = rule.Arguments[1];
    const SimRun run = RunSim(MachineFile("five-devices.json"), rule.Arguments);
    EXPECT_EQ(run.Run.Out, rule.Out) << trace;
    EXPECT_EQ(run.Run.ExitCode, rule.ExitCode) << trace;
    const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
    ASSERT_EQ(changes.size(), rule.Device.empty() ? 0u : 1u) << trace;
    if (!rule.Device.empty()) {
      EXPECT_EQ(changes[0].at("name"), rule.Device) << trace;
    }
  }
}

// "Already primary" needs the flag on the device itself: with none flagged, device 0 is not
// the primary; with two flagged, the higher one is.
TEST(Rules, AlreadyPrimaryOnlyWhenFlagged) {
  const auto machine = [](unsigned flags0, unsigned flags1, unsigned flags2) {
    return json{{"devices", json::array({Device("A", "S", flags0, Mode(800, 600)), Device("B", "S", flags1, Mode(800, 600)),
                                         Device("C", "S", flags2, Mode(800, 600))})}};
  };
  const std::tuple<const char*, json, std::string, std::string> cases[] = {
      {"none flagged", machine(1, 1, 1), "/P0", "Successful: Primary set to 0  A S"},
      {"two flagged, the lower", machine(1, 5, 5), "/P1", "Successful: Primary set to 1  B S"},
      {"two flagged, the higher", machine(1, 5, 5), "/P2", "Primary is already set to 2 - nothing to do."},
  };
  for (const auto& [what, devices, argument, line] : cases) {
    const SimRun run = RunSim(devices, {"/Q", argument});
    const bool refused = line.rfind("Primary is already", 0) == 0;
    EXPECT_EQ(run.Run.Out, Lines({line}) + (refused ? "" : Lines({""}))) << what;
    EXPECT_EQ(run.Run.ExitCode, refused ? 1 : 0) << what;
    EXPECT_EQ(run.Calls("ChangeDisplaySettingsExA").size(), refused ? 0u : 1u) << what;
  }
}

// A value the action would use but cannot read exactly is refused, switch by switch in the
// order the action reads them, before any change call and also when quiet. An empty value
// stays 0, and a value no action uses stays silent.
TEST(SwitchValues, UnreadableValuesAreRefusedBeforeAnyChange) {
  const std::string longValue(256, '0');
  const std::tuple<std::vector<std::string>, std::string> refused[] = {
      {{"/D1O", "/X1024", "/Y768"}, "Cannot use switch D - \"1O\" is not a number."},
      {{"/d99999999999", "/X1024", "/Y768"}, "Cannot use switch D - \"99999999999\" is not a number."},
      {{"/D1", "/X800px", "/Y6OO"}, "Cannot use switch X - \"800px\" is not a number."},
      {{"/D1", "/X800", "-y=600"}, "Cannot use switch Y - \"=600\" is not a number."},
      {{"/Dabc", "/Xabc", "/Yabc"}, "Cannot use switch D - \"abc\" is not a number."},
      {{"/D" + longValue + "1", "/X1", "/Y1"}, "Cannot use switch D - \"" + longValue + "1\" is not a number."},
      {{"/P1O"}, "Cannot use switch P - \"1O\" is not a number."},
      {{"/P$", "/D1", "/X1", "/Y1"}, "Cannot use switch P - \"$\" is not a number."},
      {{"/Pone", "/D1O"}, "Cannot use switch P - \"one\" is not a number."},
      {{"/D1\r\n2", "/X1", "/Y1"}, "Cannot use switch D - \"1??2\" is not a number."},
      {{"/P\x1b[2J\x7f\xff"}, "Cannot use switch P - \"?[2J?\xff\" is not a number."},
  };
  for (const auto& [arguments, line] : refused) {
    for (const bool quiet : {false, true}) {
      std::vector<std::string> commandLine = arguments;
      if (quiet) commandLine.insert(commandLine.begin(), "/Q");
      const SimRun run = RunSim(TwoDevices(), commandLine);
      EXPECT_EQ(run.Run.Out, (quiet ? "" : Report) + Lines({line})) << line;
      EXPECT_EQ(run.Run.ExitCode, 1) << line;
      EXPECT_TRUE(run.Calls("ChangeDisplaySettingsExA").empty()) << line;
      // Only the inventory's own queries were made.
      EXPECT_EQ(run.Calls("EnumDisplaySettingsA").size(), 2u) << line;
    }
  }

  const std::tuple<std::vector<std::string>, std::string> accepted[] = {
      {{"/Q", "/D", "/X640", "/Y480"}, "Changing resolution to 640x480 on device 0"},
      {{"/Q", "/D 1", "/X+640", "/Yx1E0"}, "Changing resolution to 640x480 on device 1"},
      {{"/Q", "/D" + std::string(254, '0') + "1", "/X$280", "/Y0x1e0"}, "Changing resolution to 640x480 on device 1"},
      {{"/Q", "/D1", "/X640", "/Y480", "/Pabc"}, ""},
      {{"/Q", "/D1", "/X640", "/Zabc", "/Y480"}, "Changing resolution to 640x480 on device 1"},
  };
  for (const auto& [arguments, announce] : accepted) {
    const SimRun run = RunSim(TwoDevices(), arguments);
    if (announce.empty()) {
      // /Pabc: the primary change runs and refuses its own value; D, X and Y are never read.
      EXPECT_EQ(run.Run.Out, Lines({"Cannot use switch P - \"abc\" is not a number."}));
      continue;
    }
    EXPECT_NE(run.Run.Out.find(Lines({announce})), std::string::npos) << arguments[1] << "\n" << run.Run.Out;
    EXPECT_EQ(run.Run.ExitCode, 0) << arguments[1];
    EXPECT_EQ(run.Calls("ChangeDisplaySettingsExA").size(), 1u) << arguments[1];
  }
  // Values of switches no action uses: the inventory alone, exit code 0.
  const SimRun silent = RunSim(TwoDevices(), {"/D1O", "/Xabc"});
  EXPECT_EQ(silent.Run.Out, Report);
  EXPECT_EQ(silent.Run.ExitCode, 0);
}

}  // namespace
