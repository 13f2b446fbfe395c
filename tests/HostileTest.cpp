// Extreme switch values and hostile display-service answers: exact output, no call with an
// entry the inventory did not fill, and (in the sanitized build) no report.
#include <gtest/gtest.h>

#include "Sim.h"

namespace {

using nlohmann::json;

// n devices that keep the three bounds apart once there are three or more: device 1 is the
// primary and the last device is not attached, so the last device, the last attached device
// and the primary are different numbers. One device alone is attached and primary.
json Machine(int devices) {
  json list = json::array();
  for (int i = 0; i < devices; ++i) {
    const unsigned flags = devices == 1 ? 5 : i == devices - 1 ? 0 : i == 1 ? 5 : 1;
    list.push_back(Device("\\\\.\\DISPLAY" + std::to_string(i + 1), "Adapter", flags, Mode(800, 600, 32),
                          json::array({Mode(640, 480), Mode(800, 600)})));
  }
  return {{"devices", list}};
}

// Every value the number of a device can take at the edges, as written and as read.
const std::tuple<std::string, std::int64_t> Values[] = {
    {"-2147483648", -2147483648LL}, {"-1", -1}, {"0", 0}, {"1", 1}, {"2", 2}, {"9", 9}, {"10", 10}, {"11", 11},
    {"2147483647", 2147483647},     {"$FFFFFFFF", -1}, {"$80000000", -2147483648LL}, {"-$FFFFFFFF", 1},
    {"x7FFFFFFF", 2147483647},       {"0x0000000A", 10}, {"-$80000000", -2147483648LL},
};

// Both changes with every edge value on one, three and eleven devices: a number is either
// refused with its own line before any change call, or the one change call names exactly
// the device with that number.
TEST(ExtremeValues, ChangesNeverReachAnUnfilledEntry) {
  for (int devices : {1, 3, 11}) {
    const json machine = Machine(devices);
    const std::int64_t lastDevice = devices - 1;
    const std::int64_t lastAttached = devices == 1 ? 0 : devices - 2;
    const std::int64_t primary = devices == 1 ? 0 : 1;
    for (const char action : {'D', 'P'}) {
      for (const auto& [written, number] : Values) {
        const std::string trace = std::to_string(devices) + " devices, /" + action + written;
        const std::string n = std::to_string(number);
        const std::vector<std::string> arguments =
            action == 'D' ? std::vector<std::string>{"/Q", "/D" + written, "/X" + written, "/Y" + written}
                          : std::vector<std::string>{"/Q", "/P" + written};
        std::string refusal;
        if (action == 'D' && (number < 0 || number > lastDevice)) {
          refusal = "Cannot change resolution of device " + n + " - no such device.";
        } else if (action == 'P' && (number < 0 || number > lastAttached)) {
          refusal = "Cannot set primary to " + n + " - not a physical display.";
        } else if (action == 'P' && number == primary) {
          refusal = "Primary is already set to " + n + " - nothing to do.";
        }
        const SimRun run = RunSim(machine, arguments);
        const std::vector<json> changes = run.Calls("ChangeDisplaySettingsExA");
        if (!refusal.empty()) {
          EXPECT_EQ(run.Run.Out, Lines({refusal})) << trace;
          EXPECT_EQ(run.Run.ExitCode, 1) << trace;
          EXPECT_TRUE(changes.empty()) << trace;
          continue;
        }
        EXPECT_EQ(run.Run.ExitCode, 0) << trace;
        ASSERT_EQ(changes.size(), 1u) << trace;
        EXPECT_EQ(changes[0].at("name"), "\\\\.\\DISPLAY" + std::to_string(number + 1)) << trace;
        if (action == 'P') continue;
        const auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(number));
        EXPECT_EQ(changes[0].at("mode").at("width"), bits) << trace;
        EXPECT_EQ(changes[0].at("mode").at("height"), bits) << trace;
        EXPECT_NE(run.Run.Out.find("Changing resolution to " + n + "x" + n + " on device " + n), std::string::npos)
            << trace;
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
