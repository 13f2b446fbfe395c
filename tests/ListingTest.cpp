// The inventory pass and the mode catalogue, run end to end on simulated machines.
#include <gtest/gtest.h>

#include "Sim.h"

namespace {

using nlohmann::json;

const std::string Display1 = "\\\\.\\DISPLAY1";
const std::string Adapter = "Example Display Adapter";

json OneDevice(const json& device) { return {{"devices", json::array({device})}}; }

TEST(Listing, WorkedExampleWithCatalogue) {
  const SimRun run = RunSim(MachineFile("two-devices.json"), {});
  EXPECT_EQ(run.Run.Out, GoldenFile("two-devices-listing.txt"));
  EXPECT_EQ(run.Run.Err, "");
  EXPECT_EQ(run.Run.ExitCode, 0);
  // Device 0: current mode, modes 0 to 9; device 1: current mode, modes 0 to 4.
  EXPECT_EQ(run.Calls("EnumDisplaySettingsA").size(), 11u + 6u);
  for (const json& call : run.Calls("EnumDisplaySettingsA")) {
    EXPECT_TRUE(call.at("name") == "\\\\.\\DISPLAY1" || call.at("name") == "\\\\.\\DISPLAY2") << call;
  }
}

TEST(Listing, WorkedExampleWithArgumentsHasNoCatalogue) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"/Z"}, {"/D0", "/X800"}, {"word"}}) {
    const SimRun run = RunSim(MachineFile("two-devices.json"), arguments);
    EXPECT_EQ(run.Run.Out, GoldenFile("two-devices-report.txt")) << arguments[0];
    EXPECT_EQ(run.Run.ExitCode, 0);
    const std::vector<json> modeQueries = run.Calls("EnumDisplaySettingsA");
    ASSERT_EQ(modeQueries.size(), 2u);
    for (const json& call : modeQueries) EXPECT_EQ(call.at("mode"), -1);
  }
}

TEST(Listing, QuietWritesNothingButStillQueries) {
  const SimRun run = RunSim(MachineFile("two-devices.json"), {"/Q"});
  EXPECT_EQ(run.Run.Out, "");
  EXPECT_EQ(run.Run.ExitCode, 0);
  EXPECT_EQ(run.Calls("EnumDisplayDevicesA").size(), 3u);
  EXPECT_EQ(run.Calls("EnumDisplaySettingsA").size(), 2u);
}

TEST(Listing, NoReadableDevice) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"/Q"}, {"/P1"}, {"/D0", "/X800", "/Y600"}}) {
    const SimRun run = RunSim({{"devices", json::array()}}, arguments);
    EXPECT_EQ(run.Run.Out, Lines({"Error EnumDisplayDevices for device 0"}));
    EXPECT_EQ(run.Run.ExitCode, 1);
    EXPECT_EQ(run.Calls("EnumDisplayDevicesA").size(), 1u);
    EXPECT_TRUE(run.Calls("ChangeDisplaySettingsExA").empty());
  }
}

TEST(Listing, ElevenDevicesAtMostAndNoQueryForTheTwelfth) {
  json devices = json::array();
  for (int i = 0; i < 12; ++i) {
    devices.push_back(Device("D" + std::to_string(i), "A", i == 11 ? 5 : 1, Mode(640, 480)));
  }
  const SimRun run = RunSim({{"devices", devices}}, {"/Z"});
  EXPECT_EQ(run.Run.ExitCode, 0);
  const std::vector<json> queries = run.Calls("EnumDisplayDevicesA");
  ASSERT_EQ(queries.size(), 11u);
  EXPECT_EQ(queries.back().at("device"), 10);
  EXPECT_NE(run.Run.Out.find("Device Num: 10 Device Name: \"D10\""), std::string::npos);
  EXPECT_EQ(run.Run.Out.find("D11"), std::string::npos);
}

// One device block written for a device record, current mode 640 by 480 at 8 bits.
struct FlagCase {
  unsigned Flags;
  std::vector<std::string_view> FlagLines;
};

TEST(Listing, FlagLinesInTableOrder) {
  const FlagCase cases[] = {
      {0x00, {}},
      {0x05, {"DISPLAY_DEVICE_ATTACHED_TO_DESKTOP", "DISPLAY_DEVICE_PRIMARY_DEVICE"}},
      {0x1F,
       {"DISPLAY_DEVICE_ATTACHED_TO_DESKTOP", "DISPLAY_DEVICE_MULTI_DRIVER", "DISPLAY_DEVICE_PRIMARY_DEVICE",
        "DISPLAY_DEVICE_MIRRORING_DRIVER", "DISPLAY_DEVICE_VGA_COMPATIBLE"}},
      {0xFFFFFFE0, {}},
      {0xFFFFFFFA, {"DISPLAY_DEVICE_MULTI_DRIVER", "DISPLAY_DEVICE_MIRRORING_DRIVER", "DISPLAY_DEVICE_VGA_COMPATIBLE"}},
  };
  for (const FlagCase& flagCase : cases) {
    const SimRun run = RunSim(OneDevice(Device("N", "S", flagCase.Flags, Mode(640, 480, 8))), {"/Z"});
    std::string expected = Lines({"Device Num: 0 Device Name: \"N\"  ", "Device String: \"S\""});
    for (std::string_view line : flagCase.FlagLines) expected += Lines({line});
    expected += Lines({"", "resolution: 640-480 Bits: 8", "", "", ""});
    EXPECT_EQ(run.Run.Out, expected) << "flags " << flagCase.Flags;
  }
}

TEST(Listing, NamesAndNumbersAtTheirLimits) {
  const std::string name32 = "\\\\.\\DISPLAY_NAME_OF_32_CHARACTER";
  ASSERT_EQ(name32.size(), 32u);
  const std::string string128(128, 'S');
  const SimRun run = RunSim(
      {{"devices", json::array({Device(name32, string128, 1, Mode(4294967295u, 2147483648u, 4294967295u)),
                                Device("", "", 1, nullptr)})}},
      {"/Z"});
  EXPECT_EQ(run.Run.Out, Lines({"Device Num: 0 Device Name: \"" + name32 + "\"  ",
                                "Device String: \"" + string128 + "\"",
                                "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP",
                                "",
                                "resolution: 4294967295-2147483648 Bits: 4294967295",
                                "",
                                "",
                                "Device Num: 1 Device Name: \"\"  ",
                                "Device String: \"\"",
                                "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP",
                                "",
                                "EnumDisplaySettings returned 0",
                                "",
                                "",
                                ""}));
  // The service is asked by the name alone, never by the description behind a full name.
  EXPECT_EQ(run.Calls("EnumDisplaySettingsA").at(0).at("name"), name32);
}

// The catalogue of one device: its modes as (width, height, bits), the lines expected
// between the heading and the closing "Mode " line.
struct CatalogueCase {
  const char* What;
  std::vector<std::tuple<unsigned, unsigned, unsigned>> Modes;
  std::vector<std::string_view> RunLines;
};

TEST(Catalogue, RunLines) {
  const CatalogueCase cases[] = {
      {"no modes", {}, {"Mode  Resolution: "}},
      {"one resolution, several depths", {{800, 600, 8}, {800, 600, 16}, {800, 600, 32}},
       {"Mode  Resolution: 800x600"}},
      {"mode 1 differs", {{640, 480, 8}, {800, 600, 8}}, {"Mode 1 Resolution: 800x600", "Mode  Resolution: 800x600"}},
      {"A B A", {{640, 480, 8}, {800, 600, 8}, {800, 600, 16}, {640, 480, 8}},
       {"Mode 1 Resolution: 800x600", "Mode 3 Resolution: 640x480", "Mode  Resolution: 640x480"}},
      {"same width, other height", {{800, 600, 8}, {800, 480, 8}}, {"Mode 1 Resolution: 800x480", "Mode  Resolution: 800x480"}},
      {"unsigned sizes", {{1, 1, 8}, {4294967295u, 2147483648u, 8}},
       {"Mode 1 Resolution: 4294967295x2147483648", "Mode  Resolution: 4294967295x2147483648"}},
  };
  for (const CatalogueCase& catalogueCase : cases) {
    json modes = json::array();
    for (const auto& [width, height, bits] : catalogueCase.Modes) modes.push_back(Mode(width, height, bits));
    const SimRun run = RunSim(OneDevice(Device("N", "S", 0, Mode(1, 2, 3), modes)), {});
    std::string expected = Lines({"Device Num: 0 Device Name: \"N\"  ", "Device String: \"S\"", "",
                                  "resolution: 1-2 Bits: 3", "", "Iterating display modess on device N..."});
    for (std::string_view line : catalogueCase.RunLines) expected += Lines({line});
    expected += Lines({"Mode ", "", "", "", ""});
    EXPECT_EQ(run.Run.Out, expected) << catalogueCase.What;
    EXPECT_EQ(run.Calls("EnumDisplaySettingsA").size(), catalogueCase.Modes.size() + 2);
  }
}

TEST(Catalogue, LaterDeviceWithoutModesShowsNoEarlierResolution) {
  const json machine = {{"devices", json::array({Device("A", "S", 1, Mode(800, 600), json::array({Mode(800, 600)})),
                                                 Device("B", "S", 1, Mode(800, 600))})}};
  const SimRun run = RunSim(machine, {});
  EXPECT_NE(run.Run.Out.find(Lines({"Iterating display modess on device A...", "Mode  Resolution: 800x600", "Mode "})),
            std::string::npos);
  EXPECT_NE(run.Run.Out.find(Lines({"Iterating display modess on device B...", "Mode  Resolution: ", "Mode "})),
            std::string::npos);
}

TEST(Catalogue, EveryModeQueryStartsWithTheRecordSizes) {
  const SimRun run = RunSim(MachineFile("two-devices.json"), {"/D1", "/X1024", "/Y768"});
  const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].at("mode").at("size"), 156);
  EXPECT_EQ(changes[0].at("mode").at("driver_extra"), 0);
}

TEST(SimMachine, UnreadableFixtureExitsWithTwo) {
  TempFolder folder;
  WriteFile(folder.File("bad.json"), "{ \"devices\": [ ");
  for (const std::string& path : {folder.File("bad.json"), folder.File("missing.json")}) {
    RunOptions options;
    options.Environment = {{"TAVELON_SIM_MACHINE", path}};
    const RunResult run = RunProgram(SimPath(), options);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_NE(run.Err.find("tavelon-sim: unusable machine fixture"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
  }
}

}  // namespace
