// Extreme switch values and hostile display-service answers: exact output, no call with an
// entry the inventory did not fill, and (in the sanitized build) no report.
#include <gtest/gtest.h>

#include <set>

#include "Sim.h"

namespace {

using nlohmann::json;

json Machine(int devices) {
  json list = json::array();
  for (int i = 0; i < devices; ++i) {
    list.push_back(Device("\\\\.\\DISPLAY" + std::to_string(i + 1), "Adapter", i == 0 ? 5 : 1, Mode(800, 600, 32),
                          json::array({Mode(640, 480), Mode(800, 600)})));
  }
  return {{"devices", list}};
}

// Every value the issue of a device number can take at the edges, as written and as read.
const std::tuple<std::string, std::int64_t> Values[] = {
    {"-2147483648", -2147483648LL}, {"-1", -1}, {"0", 0}, {"1", 1}, {"2", 2}, {"10", 10}, {"11", 11},
    {"2147483647", 2147483647},     {"$FFFFFFFF", -1}, {"$80000000", -2147483648LL}, {"-$FFFFFFFF", 1},
    {"x7FFFFFFF", 2147483647},       {"0x0000000A", 10}, {"-$80000000", -2147483648LL},
};

TEST(ExtremeValues, ResolutionChangeNeverReachesAnUnfilledEntry) {
  for (int devices : {1, 2, 11}) {
    const json machine = Machine(devices);
    std::set<std::string> names;
    for (const json& device : machine.at("devices")) names.insert(device.at("name").get<std::string>());
    const int lastDevice = devices - 1;
    for (const auto& [written, number] : Values) {
      const std::string trace = std::to_string(devices) + " devices, " + written;
      const SimRun run = RunSim(machine, {"/Q", "/D" + written, "/X" + written, "/Y" + written});
      const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
      if (number < 0 || number > lastDevice) {
        EXPECT_EQ(run.Run.Out, Lines({"Cannot change resolution of device " + std::to_string(number) + " - no such device."}))
            << trace;
        EXPECT_EQ(run.Run.ExitCode, 1) << trace;
        EXPECT_TRUE(changes.empty()) << trace;
        continue;
      }
      EXPECT_EQ(run.Run.ExitCode, 0) << trace;
      ASSERT_EQ(changes.size(), 1u) << trace;
      EXPECT_EQ(changes[0].at("name"), "\\\\.\\DISPLAY" + std::to_string(number + 1)) << trace;
      const auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(number));
      EXPECT_EQ(changes[0].at("mode").at("width"), bits) << trace;
      EXPECT_EQ(changes[0].at("mode").at("height"), bits) << trace;
      EXPECT_NE(run.Run.Out.find("Changing resolution to " + std::to_string(number) + "x" + std::to_string(number) +
                                 " on device " + std::to_string(number)),
                std::string::npos)
          << trace;
    }
  }
}

TEST(ExtremeValues, PrimaryChangeNeverReachesAnUnfilledEntry) {
  for (int devices : {1, 2, 11}) {
    const int lastAttached = devices - 1;
    for (const auto& [written, number] : Values) {
      const std::string trace = std::to_string(devices) + " devices, " + written;
      const SimRun run = RunSim(Machine(devices), {"/Q", "/P" + written});
      const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
      const std::string n = std::to_string(number);
      if (number < 0 || number > lastAttached) {
        EXPECT_EQ(run.Run.Out, Lines({"Cannot set primary to " + n + " - not a physical display."})) << trace;
        EXPECT_EQ(run.Run.ExitCode, 1) << trace;
        EXPECT_TRUE(changes.empty()) << trace;
      } else if (number == 0) {
        EXPECT_EQ(run.Run.Out, Lines({"Primary is already set to 0 - nothing to do."})) << trace;
        EXPECT_EQ(run.Run.ExitCode, 1) << trace;
        EXPECT_TRUE(changes.empty()) << trace;
      } else {
        EXPECT_EQ(run.Run.ExitCode, 0) << trace;
        ASSERT_EQ(changes.size(), 1u) << trace;
        EXPECT_EQ(changes[0].at("name"), "\\\\.\\DISPLAY" + std::to_string(number + 1)) << trace;
      }
    }
  }
}

// Texts of exactly the array's length made of every byte from 1 to 255, in JSON as the
// characters \u0001 to \u00ff.
std::string BytesFrom(int first, std::size_t count) {
  std::string bytes;
  for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(1 + (first - 1 + i) % 255);
  return bytes;
}

json JsonText(const std::string& bytes) {
  std::string utf8;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

TEST(HostileAnswers, FullArraysOfEveryByte) {
  const std::tuple<std::string, std::string> cases[] = {
      {BytesFrom(1, 32), BytesFrom(33, 128)},
      {BytesFrom(161, 32), BytesFrom(128, 128)},
      {BytesFrom(224, 32), BytesFrom(200, 128)},
  };
  for (const auto& [name, description] : cases) {
    const json machine = {{"devices", json::array({{{"name", JsonText(name)},
                                                    {"string", JsonText(description)},
                                                    {"flags", 4294967295u},
                                                    {"current", Mode(4294967295u, 4294967295u, 4294967295u)},
                                                    {"modes", json::array({Mode(4294967295u, 0)})},
                                                    {"primary_result", 0}}})}};
    const SimRun run = RunSim(machine, {});
    EXPECT_EQ(run.Run.Out, Lines({"Device Num: 0 Device Name: \"" + name + "\"  ",
                                  "Device String: \"" + description + "\"", "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP",
                                  "DISPLAY_DEVICE_MULTI_DRIVER", "DISPLAY_DEVICE_PRIMARY_DEVICE",
                                  "DISPLAY_DEVICE_MIRRORING_DRIVER", "DISPLAY_DEVICE_VGA_COMPATIBLE", "",
                                  "resolution: 4294967295-4294967295 Bits: 4294967295", "",
                                  "Iterating display modess on device " + name + "...",
                                  "Mode  Resolution: 4294967295x0", "Mode ", "", "", "", ""}));
    EXPECT_EQ(run.Run.ExitCode, 0);
    for (const json& call : run.Calls("EnumDisplaySettingsA")) EXPECT_EQ(call.at("name"), JsonText(name));

    const SimRun change = RunSim(machine, {"/Q", "/D0", "/X1", "/Y1"});
    EXPECT_EQ(change.Run.Out, Lines({"Device 0 Current resolution: 4294967295-4294967295 Bits: 4294967295",
                                     "Changing resolution to 1x1 on device 0",
                                     "Successful Change: " + name + " " + description, ""}));
  }
}

TEST(HostileAnswers, CurrentModeFailsButModesDoNot) {
  const json machine = {{"devices", json::array({Device("A", "S", 1, nullptr, json::array({Mode(640, 480), Mode(800, 600)}))})}};
  const SimRun run = RunSim(machine, {});
  EXPECT_EQ(run.Run.Out, Lines({"Device Num: 0 Device Name: \"A\"  ", "Device String: \"S\"",
                                "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP", "", "EnumDisplaySettings returned 0", "",
                                "Iterating display modess on device A...", "Mode 1 Resolution: 800x600",
                                "Mode  Resolution: 800x600", "Mode ", "", "", "", ""}));
}

TEST(HostileAnswers, HundredThousandModesOnOneDevice) {
  json modes = json::array();
  std::string runLines;
  for (int i = 0; i < 100000; ++i) {
    // Runs of three modes each, the resolution growing with every run.
    const std::uint32_t width = 640 + static_cast<std::uint32_t>(i / 3);
    modes.push_back(Mode(width, 480, 8 << (i % 3)));
    if (i % 3 == 0 && i > 0) runLines += Lines({"Mode " + std::to_string(i) + " Resolution: " + std::to_string(width) + "x480"});
  }
  const std::string last = std::to_string(640 + 99999 / 3) + "x480";
  const SimRun run = RunSim({{"devices", json::array({Device("A", "S", 1, Mode(640, 480), modes)})}}, {});
  EXPECT_EQ(run.Run.Out, Lines({"Device Num: 0 Device Name: \"A\"  ", "Device String: \"S\"",
                                "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP", "", "resolution: 640-480 Bits: 32", "",
                                "Iterating display modess on device A..."}) +
                             runLines + Lines({"Mode  Resolution: " + last, "Mode ", "", "", "", ""}));
  EXPECT_EQ(run.Calls("EnumDisplaySettingsA").size(), 100002u);
}

}  // namespace
