// Mutter as the X11 compositor of a private Xorg dummy server, on a private session bus: the
// outputs offer several modes, so real resolution changes go through Mutter's interface.
// Each run is checked with GetCurrentState and with xrandr, the X server's own client.
#include <gtest/gtest.h>

#include <memory>

#include "MutterRun.h"
#include "Sim.h"
#include "X11Run.h"

namespace {

class MutterOnX11 : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Server = std::make_unique<DummyXServer>(2);
    Session = std::make_unique<MutterSession>(MutterSession::Kind::X11Compositor, Server->Display);
  }
  static void TearDownTestSuite() {
    Session.reset();
    Server.reset();
  }
  static RunResult Run(const std::vector<std::string>& arguments) {
    return RunTavelon({Session->BusAddress, Server->Display}, arguments);
  }
  static std::unique_ptr<DummyXServer> Server;
  static std::unique_ptr<MutterSession> Session;
};
std::unique_ptr<DummyXServer> MutterOnX11::Server;
std::unique_ptr<MutterSession> MutterOnX11::Session;

// Steps in order, each from the layout the one before left.
struct Step {
  std::vector<std::string> Arguments;
  std::string Outcome;
  std::vector<std::string> Mutter;  // as GetCurrentState tells it
  std::vector<std::string> Xrandr;  // as xrandr --query tells it
};

TEST_F(MutterOnX11, ChangesGoThroughMutterAndKeepTheLayoutAdjacent) {
  const Step steps[] = {
      {{}, "",
       {"DUMMY0 1024x768@60.004 +0+0 primary", "DUMMY1 1024x768@60.004 +1024+0"},
       {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1024x768+1024+0 1024x768 60.00"}},
      // 800x600 at 60.32 Hz and 56.25 Hz: the one nearer the current 60 Hz; DUMMY1 follows
      // the shrunk right edge.
      {{"/Q", "/D0", "/X800", "/Y600"}, "Successful Change: DUMMY0 Unknown Display",
       {"DUMMY0 800x600@60.317 +0+0 primary", "DUMMY1 1024x768@60.004 +800+0"},
       {"DUMMY0 primary 800x600+0+0 800x600 60.32", "DUMMY1 1024x768+800+0 1024x768 60.00"}},
      // 1280x720 at 45 Hz and 70 Hz: 70 is nearer 60.
      {{"/Q", "/D1", "/X1280", "/Y720"}, "Successful Change: DUMMY1 Unknown Display",
       {"DUMMY0 800x600@60.317 +0+0 primary", "DUMMY1 1280x720@70.000 +800+0"},
       {"DUMMY0 primary 800x600+0+0 800x600 60.32", "DUMMY1 1280x720+800+0 1280x720_70 70.00"}},
      {{"/Q", "/D0", "/X1234", "/Y600"}, "Error DISP_CHANGE_BADMODE",
       {"DUMMY0 800x600@60.317 +0+0 primary", "DUMMY1 1280x720@70.000 +800+0"},
       {"DUMMY0 primary 800x600+0+0 800x600 60.32", "DUMMY1 1280x720+800+0 1280x720_70 70.00"}},
      {{"/Q", "/P1"}, "Successful: Primary set to 1  DUMMY1 Unknown Display",
       {"DUMMY0 800x600@60.317 +0+0", "DUMMY1 1280x720@70.000 +800+0 primary"},
       {"DUMMY0 800x600+0+0 800x600 60.32", "DUMMY1 primary 1280x720+800+0 1280x720_70 70.00"}},
      {{"/Q", "/D0", "/X1024", "/Y768"}, "Successful Change: DUMMY0 Unknown Display",
       {"DUMMY0 1024x768@60.004 +0+0", "DUMMY1 1280x720@70.000 +1024+0 primary"},
       {"DUMMY0 1024x768+0+0 1024x768 60.00", "DUMMY1 primary 1280x720+1024+0 1280x720_70 70.00"}},
  };
  for (const Step& step : steps) {
    if (!step.Arguments.empty()) {
      const RunResult run = Run(step.Arguments);
      EXPECT_NE(run.Out.find(Lines({step.Outcome})), std::string::npos) << run.Out;
      EXPECT_EQ(run.ExitCode, 0);
    }
    const std::string what = step.Arguments.empty() ? "start" : step.Arguments[1];
    EXPECT_EQ(QueryState(*Session).Monitors, step.Mutter) << what;
    EXPECT_EQ(QueryState(*Server).Outputs, step.Xrandr) << what;
  }
}

TEST_F(MutterOnX11, ServiceChosenByTheNamesOwner) {
  const MutterSession emptyBus(std::vector<std::string>{});
  const struct {
    const char* What;
    std::string BusAddress;
    std::string Description;  // Mutter's display-name, or the X server's vendor
  } cases[] = {
      {"Mutter owns the name", Session->BusAddress, "Unknown Display"},
      {"a bus where nobody owns it", emptyBus.BusAddress, "The X.Org Foundation"},
      {"a bus address with no bus", "unix:path=/nonexistent/bus", "The X.Org Foundation"},
      {"no session bus", "", "The X.Org Foundation"},
  };
  for (const auto& choice : cases) {
    const RunResult run = RunTavelon({choice.BusAddress, Server->Display}, {});
    EXPECT_NE(run.Out.find(Lines({"Device Num: 0 Device Name: \"DUMMY0\"  ",
                                  "Device String: \"" + choice.Description + "\""})),
              std::string::npos)
        << choice.What << "\n" << run.Out;
    EXPECT_EQ(run.ExitCode, 0) << choice.What;
  }
  // Set but empty is no address: not even the bus sd-bus would find in XDG_RUNTIME_DIR,
  // here the folder of Mutter's own bus socket.
  const std::string socket = Session->BusAddress.substr(std::string("unix:path=").size());
  RunOptions emptyAddress;
  emptyAddress.Environment = {{"DBUS_SESSION_BUS_ADDRESS", ""}, {"DISPLAY", Server->Display},
                              {"XDG_RUNTIME_DIR", socket.substr(0, socket.rfind('/'))}};
  emptyAddress.TimeoutSeconds = 20;
  const RunResult run = RunProgram(TAVELON_PATH, emptyAddress);
  EXPECT_NE(run.Out.find(Lines({"Device String: \"The X.Org Foundation\""})), std::string::npos)
      << "an empty bus address\n" << run.Out;
}

}  // namespace
