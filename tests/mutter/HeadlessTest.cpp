// tavelon under headless Mutter on Wayland, found through its DisplayConfig name on a private
// session bus (no DISPLAY at all). Virtual monitors offer one mode each, so this covers the
// listing, primary changes and changes to the same size; every run is checked against
// GetCurrentState as gdbus reads it.
#include <gtest/gtest.h>

#include <memory>

#include "MutterRun.h"
#include "Sim.h"

namespace {

class HeadlessMutter : public testing::Test {
 protected:
  static void SetUpTestSuite() { Session = std::make_unique<MutterSession>(MutterSession::Kind::Headless); }
  static void TearDownTestSuite() { Session.reset(); }
  static RunResult Run(const std::vector<std::string>& arguments) {
    return RunTavelon({Session->BusAddress}, arguments);
  }
  static std::unique_ptr<MutterSession> Session;
};
std::unique_ptr<MutterSession> HeadlessMutter::Session;

const std::vector<std::string> StartLayout = {"Meta-0 1280x720@60.000 +0+0 primary", "Meta-1 1024x768@75.000 +1280+0"};

std::string DeviceHead(int number, bool primary) {
  const std::string name = "Meta-" + std::to_string(number);
  return Lines({"Device Num: " + std::to_string(number) + " Device Name: \"" + name + "\"  ",
                "Device String: \"MetaVendor\"", "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP"}) +
         (primary ? Lines({"DISPLAY_DEVICE_PRIMARY_DEVICE"}) : "");
}

TEST_F(HeadlessMutter, ListsMonitorsInMuttersOrderWithTheirOneMode) {
  ASSERT_EQ(QueryState(*Session).Monitors, StartLayout);
  const RunResult run = Run({});
  const auto device = [](int number, bool primary, const std::string& size) {
    return DeviceHead(number, primary) +
           Lines({"", "resolution: " + std::string(size).replace(size.find('x'), 1, "-") + " Bits: 32", "",
                  "Iterating display modess on device Meta-" + std::to_string(number) + "...",
                  "Mode  Resolution: " + size, "Mode ", "", "", ""});
  };
  EXPECT_EQ(run.Out, device(0, true, "1280x720") + device(1, false, "1024x768") + Lines({""}));
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.ExitCode, 0);
}

TEST_F(HeadlessMutter, PrimaryMovesToTheMonitorsLogicalMonitor) {
  struct Case {
    std::vector<std::string> Arguments;
    std::string Report;
    std::vector<std::string> After;
  };
  const Case cases[] = {
      {{"/Q", "/P1"}, "Successful: Primary set to 1  Meta-1 MetaVendor",
       {"Meta-0 1280x720@60.000 +0+0", "Meta-1 1024x768@75.000 +1280+0 primary"}},
      {{"/Q", "/P0"}, "Successful: Primary set to 0  Meta-0 MetaVendor", StartLayout},
  };
  for (const Case& change : cases) {
    const RunResult run = Run(change.Arguments);
    EXPECT_NE(run.Out.find(Lines({change.Report})), std::string::npos) << run.Out;
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(QueryState(*Session).Monitors, change.After) << change.Arguments[1];
  }
}

TEST_F(HeadlessMutter, ResolutionChangesOnOneModeMonitors) {
  struct Case {
    std::vector<std::string> Arguments;
    std::string Outcome;
  };
  const Case cases[] = {
      {{"/Q", "/D1", "/X1024", "/Y768"}, "Successful Change: Meta-1 MetaVendor"},
      {{"/Q", "/D0", "/X1280", "/Y720"}, "Successful Change: Meta-0 MetaVendor"},
      {{"/Q", "/D0", "/X800", "/Y600"}, "Error DISP_CHANGE_BADMODE"},
      {{"/Q", "/D1", "/X768", "/Y1024"}, "Error DISP_CHANGE_BADMODE"},
      {{"/Q", "/D1", "/X1024", "/Y720"}, "Error DISP_CHANGE_BADMODE"},
  };
  // Whether Mutter was asked shows in the stand-in's call log (BadAnswersTest), not here:
  // Mutter keeps its serial when a layout it applies is the one it has.
  for (const Case& change : cases) {
    const RunResult run = Run(change.Arguments);
    EXPECT_NE(run.Out.find(Lines({change.Outcome})), std::string::npos) << run.Out;
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(QueryState(*Session).Monitors, StartLayout) << change.Arguments[1];
  }
}

}  // namespace
