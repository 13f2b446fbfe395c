// Under headless Mutter with Xwayland: a tavelon that finds the session bus uses Mutter's
// interface; one without DBUS_SESSION_BUS_ADDRESS falls back to X11 on Xwayland, where the
// compositor owns the displays, and must refuse a change rather than report a success.
#include <gtest/gtest.h>

#include "MutterRun.h"
#include "Sim.h"

namespace {

TEST(Xwayland, ServiceFollowsTheSessionBus) {
  const MutterSession session(MutterSession::Kind::HeadlessXwayland);
  ASSERT_FALSE(session.XwaylandDisplay.empty());

  const RunResult withBus = RunTavelon({session.BusAddress, session.XwaylandDisplay, session.XwaylandAuthority}, {"/Q", "/P1"});
  EXPECT_NE(withBus.Out.find(Lines({"Successful: Primary set to 1  Meta-1 MetaVendor"})), std::string::npos)
      << withBus.Out;
  EXPECT_EQ(QueryState(session).Monitors,
            (std::vector<std::string>{"Meta-0 1280x720@60.000 +0+0", "Meta-1 1024x768@75.000 +1280+0 primary"}));

  const MutterState beforeX11 = QueryState(session);
  const RunResult listing = RunTavelon({"", session.XwaylandDisplay, session.XwaylandAuthority}, {});
  EXPECT_NE(listing.Out.find("Device Name: \"XWAYLAND0\""), std::string::npos) << listing.Out;
  EXPECT_EQ(listing.Out.find("Meta-0"), std::string::npos);
  const RunResult change = RunTavelon({"", session.XwaylandDisplay, session.XwaylandAuthority}, {"/Q", "/D0", "/X800", "/Y600"});
  EXPECT_NE(change.Out.find(Lines({"Error DISP_CHANGE_FAILED"})), std::string::npos) << change.Out;
  EXPECT_EQ(QueryState(session).Monitors, beforeX11.Monitors);
}

}  // namespace
