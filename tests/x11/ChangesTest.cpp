// Resolution and primary changes made by tavelon on a private dummy X server, proven by
// what xrandr reports afterwards.
#include <gtest/gtest.h>

#include <memory>

#include "Sim.h"
#include "X11Run.h"

namespace {

class Changes : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Server = std::make_unique<DummyXServer>(2);
    // Broadcast timings for DUMMY0: 1080 lines at 59.94 Hz, interlaced at 60 Hz and at 50 Hz;
    // 720 lines at 59.94 and 60 Hz. Pixel clock in MHz, then horizontal and vertical
    // display, sync start and end, total.
    const std::vector<std::vector<std::string>> modes = {
        {"1920x1080_5994", "148.352", "1920", "2008", "2052", "2200", "1080", "1084", "1089", "1125"},
        {"1920x1080i_60", "74.25", "1920", "2008", "2052", "2200", "1080", "1084", "1094", "1125", "Interlace"},
        {"1920x1080_50", "148.5", "1920", "2448", "2492", "2640", "1080", "1084", "1089", "1125"},
        {"1280x720_60", "74.25", "1280", "1390", "1430", "1650", "720", "725", "730", "750"},
        {"1280x720_5994", "74.176", "1280", "1390", "1430", "1650", "720", "725", "730", "750"},
    };
    for (const std::vector<std::string>& mode : modes) {
      std::vector<std::string> arguments = {"--newmode"};
      arguments.insert(arguments.end(), mode.begin(), mode.end());
      Server->Xrandr(arguments);
      Server->Xrandr({"--addmode", "DUMMY0", mode[0]});
    }
  }
  static void TearDownTestSuite() { Server.reset(); }
  // Every test starts from the layout the server was set up with.
  void SetUp() override {
    RestoreTwoOutputLayout(*Server);
  }
  static std::unique_ptr<DummyXServer> Server;
};
std::unique_ptr<DummyXServer> Changes::Server;

const XrandrState SetUpState = {
    "2048x768", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1024x768+1024+0 1024x768 60.00"}};

struct ResolutionCase {
  const char* What;
  std::vector<std::vector<std::string>> Setup;  // xrandr steps before the run
  std::vector<std::string> Arguments;
  std::string Outcome;  // the line after "Changing resolution ..."
  XrandrState After;
};

TEST_F(Changes, ResolutionChanges) {
  const ResolutionCase cases[] = {
      {"screen grows", {}, {"/D1", "/X1280", "/Y720"}, "Successful Change: DUMMY1 The X.Org Foundation",
       {"2304x768", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1280x720+1024+0 1280x720_70 70.00"}}},
      {"screen shrinks", {}, {"/D1", "/X640", "/Y480"}, "Successful Change: DUMMY1 The X.Org Foundation",
       {"1664x768", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 640x480+1024+0 640x480 59.94"}}},
      {"position kept, screen held by the other output", {}, {"/D0", "/X800", "/Y600"},
       "Successful Change: DUMMY0 The X.Org Foundation",
       {"2048x768", {"DUMMY0 primary 800x600+0+0 800x600 60.32", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"nearest refresh to 56 Hz", {{"--output", "DUMMY1", "--mode", "800x600", "--rate", "56.25"}},
       {"/D1", "/X1280", "/Y720"}, "Successful Change: DUMMY1 The X.Org Foundation",
       {"2304x768", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1280x720+1024+0 1280x720_45 45.00"}}},
      {"output below: switched off while the screen shrinks, then set", {{"--output", "DUMMY1", "--pos", "0x768"}},
       {"/D1", "/X1280", "/Y720"}, "Successful Change: DUMMY1 The X.Org Foundation",
       {"1280x1488", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1280x720+0+768 1280x720_70 70.00"}}},
      {"progressive at 59.94 Hz before interlaced at 60 Hz, from 60 Hz", {}, {"/D0", "/X1920", "/Y1080"},
       "Successful Change: DUMMY0 The X.Org Foundation",
       {"2048x1080",
        {"DUMMY0 primary 1920x1080+0+0 1920x1080_5994 59.94", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"59.94 Hz kept exactly, not the rounded 60", {{"--output", "DUMMY0", "--mode", "1920x1080_5994"}},
       {"/D0", "/X1280", "/Y720"}, "Successful Change: DUMMY0 The X.Org Foundation",
       {"2048x768", {"DUMMY0 primary 1280x720+0+0 1280x720_5994 59.94", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"same size at 59.94 Hz stays beside an interlaced 60 Hz", {{"--output", "DUMMY0", "--mode", "1920x1080_5994"}},
       {"/D0", "/X1920", "/Y1080"}, "Successful Change: DUMMY0 The X.Org Foundation",
       {"2048x1080",
        {"DUMMY0 primary 1920x1080+0+0 1920x1080_5994 59.94", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"panning area kept, screen held by it", {{"--output", "DUMMY0", "--panning", "2048x1536"}},
       {"/D0", "/X800", "/Y600"}, "Successful Change: DUMMY0 The X.Org Foundation",
       {"2048x1536", {"DUMMY0 primary 2048x1536+0+0 800x600 60.32", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"another output's panning holds the screen", {{"--output", "DUMMY0", "--panning", "2048x1536"}},
       {"/D1", "/X640", "/Y480"}, "Successful Change: DUMMY1 The X.Org Foundation",
       {"2048x1536", {"DUMMY0 primary 2048x1536+0+0 1024x768 60.00", "DUMMY1 640x480+1024+0 640x480 59.94"}}},
      {"mode wider than the panning area: refused, nothing changed",
       {{"--output", "DUMMY0", "--panning", "1100x800"}}, {"/D0", "/X1280", "/Y720"}, "Error DISP_CHANGE_FAILED",
       {"2048x800", {"DUMMY0 primary 1100x800+0+0 1024x768 60.00", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"size not offered", {}, {"/D1", "/X1234", "/Y768"}, "Error DISP_CHANGE_BADMODE", SetUpState},
      {"width offered, height not", {}, {"/D0", "/X1024", "/Y720"}, "Error DISP_CHANGE_BADMODE",
       SetUpState},
      {"output without a CRTC", {{"--output", "DUMMY1", "--off"}}, {"/D1", "/X800", "/Y600"},
       "Error DISP_CHANGE_FAILED",
       {"1024x768", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 off"}}},
  };
  for (const ResolutionCase& change : cases) {
    SetUp();
    for (const std::vector<std::string>& step : change.Setup) Server->Xrandr(step);
    const RunResult run = RunTavelon(*Server, change.Arguments);
    EXPECT_NE(run.Out.find(Lines({change.Outcome, ""})), std::string::npos) << change.What << "\n" << run.Out;
    EXPECT_EQ(run.ExitCode, 0) << change.What;
    const XrandrState after = QueryState(*Server);
    EXPECT_EQ(after.Screen, change.After.Screen) << change.What;
    EXPECT_EQ(after.Outputs, change.After.Outputs) << change.What;
  }
}

TEST_F(Changes, WholeReportOfAChange) {
  const RunResult run = RunTavelon(*Server, {"/Q", "/D1", "/X800", "/Y600"});
  EXPECT_EQ(run.Out, Lines({"Device 1 Current resolution: 1024-768 Bits: 32", "Changing resolution to 800x600 on device 1",
                            "Successful Change: DUMMY1 The X.Org Foundation", ""}));
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.ExitCode, 0);
}

TEST_F(Changes, PrimaryMovesAndTheSecondListingShowsIt) {
  const RunResult run = RunTavelon(*Server, {"/P1"});
  const std::string head0 = Lines({"Device Num: 0 Device Name: \"DUMMY0\"  ", "Device String: \"The X.Org Foundation\"",
                                   "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP"});
  const std::string head1 = Lines({"Device Num: 1 Device Name: \"DUMMY1\"  ", "Device String: \"The X.Org Foundation\"",
                                   "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP"});
  const std::string primary = Lines({"DISPLAY_DEVICE_PRIMARY_DEVICE"});
  const std::string rest = Lines({"", "resolution: 1024-768 Bits: 32", "", ""});
  EXPECT_EQ(run.Out, head0 + primary + rest + head1 + rest + Lines({""}) +
                         Lines({"Successful: Primary set to 1  DUMMY1 The X.Org Foundation", ""}) + head0 + rest +
                         head1 + primary + rest + Lines({""}));
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(QueryState(*Server).Outputs,
            (std::vector<std::string>{"DUMMY0 1024x768+0+0 1024x768 60.00", "DUMMY1 primary 1024x768+1024+0 1024x768 60.00"}));
}

// The server's primary output is one tavelon does not list as attached: no listed device is
// flagged primary, or the flagged one is off. /P0 then makes the change, and DUMMY0 becomes
// the primary output.
TEST_F(Changes, PrimaryOnAnOutputThatIsNotAttached) {
  const std::tuple<const char*, std::vector<std::string>> cases[] = {
      {"primary output not listed", {"--output", "DUMMY5", "--primary"}},
      {"primary output off", {"--output", "DUMMY1", "--off", "--primary"}},
  };
  for (const auto& [what, setup] : cases) {
    SetUp();
    Server->Xrandr(setup);
    const RunResult run = RunTavelon(*Server, {"/Q", "/P0"});
    EXPECT_EQ(run.Out, Lines({"Successful: Primary set to 0  DUMMY0 The X.Org Foundation", ""})) << what;
    EXPECT_EQ(run.ExitCode, 0) << what;
    EXPECT_EQ(QueryState(*Server).Outputs.at(0), "DUMMY0 primary 1024x768+0+0 1024x768 60.00") << what;
  }
}

}  // namespace
