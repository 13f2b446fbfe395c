// Listings of tavelon against private dummy X servers: devices, flags, current modes and
// catalogues byte for byte, and the runs with no server to talk to.
#include <gtest/gtest.h>

#include <memory>

#include "Sim.h"
#include "X11Run.h"

namespace {

// The catalogue of DUMMY0 as the dummy driver offers it (1024x768, 1024x576, 960x540,
// 800x600 twice, 640x480) with the two 1280x720 modes the server setup adds.
const std::string Dummy0Catalogue = Lines({"Mode 1 Resolution: 1024x576", "Mode 2 Resolution: 960x540",
                                           "Mode 3 Resolution: 800x600", "Mode 5 Resolution: 640x480",
                                           "Mode 6 Resolution: 1280x720", "Mode  Resolution: 1280x720"});
// The other outputs also have the 1024x768 they were given before the driver's own list.
const std::string OtherCatalogue = Lines({"Mode 1 Resolution: 1024x576", "Mode 2 Resolution: 960x540",
                                          "Mode 3 Resolution: 800x600", "Mode 5 Resolution: 640x480",
                                          "Mode 6 Resolution: 1024x768", "Mode 7 Resolution: 1280x720",
                                          "Mode  Resolution: 1280x720"});

std::string DeviceHead(int number, const std::string& flags) {
  std::string head = Lines({"Device Num: " + std::to_string(number) + " Device Name: \"DUMMY" +
                                std::to_string(number) + "\"  ",
                            "Device String: \"The X.Org Foundation\""});
  if (flags.find('A') != std::string::npos) head += Lines({"DISPLAY_DEVICE_ATTACHED_TO_DESKTOP"});
  if (flags.find('P') != std::string::npos) head += Lines({"DISPLAY_DEVICE_PRIMARY_DEVICE"});
  return head + Lines({""});
}

class TwoOutputs : public testing::Test {
 protected:
  static void SetUpTestSuite() { Server = std::make_unique<DummyXServer>(2); }
  static void TearDownTestSuite() { Server.reset(); }
  static std::unique_ptr<DummyXServer> Server;
};
std::unique_ptr<DummyXServer> TwoOutputs::Server;

TEST_F(TwoOutputs, FullListingWithCatalogues) {
  const std::string expected =
      DeviceHead(0, "AP") + Lines({"resolution: 1024-768 Bits: 32", "", "Iterating display modess on device DUMMY0..."}) +
      Dummy0Catalogue + Lines({"Mode ", "", "", ""}) + DeviceHead(1, "A") +
      Lines({"resolution: 1024-768 Bits: 32", "", "Iterating display modess on device DUMMY1..."}) + OtherCatalogue +
      Lines({"Mode ", "", "", "", ""});
  const RunResult first = RunTavelon(*Server, {});
  EXPECT_EQ(first.Out, expected);
  EXPECT_EQ(first.Err, "");
  EXPECT_EQ(first.ExitCode, 0);
  // Same server state, same device numbers and text.
  EXPECT_EQ(RunTavelon(*Server, {}).Out, first.Out);
}

TEST_F(TwoOutputs, ArgumentsDropTheCatalogueAndQuietDropsAll) {
  const std::string report = DeviceHead(0, "AP") + Lines({"resolution: 1024-768 Bits: 32", "", ""}) +
                             DeviceHead(1, "A") + Lines({"resolution: 1024-768 Bits: 32", "", "", ""});
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"/Z"}, report}, {{"/D1", "/X800"}, report}, {{"/Q"}, ""}};
  for (const auto& [arguments, expected] : cases) {
    const RunResult run = RunTavelon(*Server, arguments);
    EXPECT_EQ(run.Out, expected) << arguments[0];
    EXPECT_EQ(run.ExitCode, 0) << arguments[0];
  }
}

// Flags after the server's state is changed with xrandr; the state is put back after each.
struct FlagCase {
  const char* What;
  std::vector<std::vector<std::string>> Setup;
  std::string Flags0, Flags1;  // A: attached, P: primary
  std::string Current1;        // the current-mode line of DUMMY1
};

TEST_F(TwoOutputs, FlagsFollowTheServer) {
  const FlagCase cases[] = {
      {"primary moved", {{"--output", "DUMMY1", "--primary"}}, "A", "AP", "resolution: 1024-768 Bits: 32"},
      {"no primary named: first attached", {{"--noprimary"}}, "AP", "A", "resolution: 1024-768 Bits: 32"},
      {"no primary, first output off", {{"--noprimary"}, {"--output", "DUMMY0", "--off"}}, "", "AP",
       "resolution: 1024-768 Bits: 32"},
      {"output without a CRTC stays listed", {{"--output", "DUMMY1", "--off"}}, "AP", "",
       "EnumDisplaySettings returned 0"},
  };
  for (const FlagCase& flagCase : cases) {
    for (const std::vector<std::string>& step : flagCase.Setup) Server->Xrandr(step);
    const std::string current0 = flagCase.Flags0.empty() ? "EnumDisplaySettings returned 0" : "resolution: 1024-768 Bits: 32";
    const std::string expected = DeviceHead(0, flagCase.Flags0) + Lines({current0, "", ""}) +
                                 DeviceHead(1, flagCase.Flags1) + Lines({flagCase.Current1, "", "", ""});
    EXPECT_EQ(RunTavelon(*Server, {"/Z"}).Out, expected) << flagCase.What;
    Server->Xrandr({"--output", "DUMMY0", "--mode", "1024x768", "--pos", "0x0", "--primary", "--output", "DUMMY1",
                    "--mode", "1024x768", "--pos", "1024x0"});
  }
}

TEST(ManyOutputs, ElevenOfTwelveListedInServerOrder) {
  DummyXServer server(12);
  const RunResult run = RunTavelon(server, {"/Z"});
  std::string expected;
  for (int i = 0; i < 11; ++i) {
    expected += DeviceHead(i, i == 0 ? "AP" : "A") + Lines({"resolution: 1024-768 Bits: 32", "", ""});
  }
  expected += Lines({""});
  EXPECT_EQ(run.Out, expected);
  EXPECT_EQ(run.ExitCode, 0);
}

TEST(NoServer, FailsAtOnceOnTheFirstDevice) {
  TempFolder folder;
  // A socket path that nothing listens on, and a display number with no server.
  const std::vector<std::pair<std::string, bool>> displays = {
      {"", false}, {"", true}, {":399", true}, {"unix:" + folder.File("nothing") + ".0", true}, {"::::", true}};
  for (const auto& [display, set] : displays) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"/P1"}}) {
      RunOptions options;
      options.Arguments = arguments;
      if (set) {
        options.Environment = {{"DISPLAY", display}};
      } else {
        options.Unset = {"DISPLAY"};
      }
      options.TimeoutSeconds = 10;
      const RunResult run = RunProgram(TAVELON_PATH, options);
      EXPECT_EQ(run.Out, Lines({"Error EnumDisplayDevices for device 0"})) << "DISPLAY=" << display;
      EXPECT_EQ(run.Err, "") << "DISPLAY=" << display;
      EXPECT_EQ(run.ExitCode, 1) << "DISPLAY=" << display;
      EXPECT_FALSE(run.TimedOut) << "DISPLAY=" << display;
    }
  }
}

}  // namespace
