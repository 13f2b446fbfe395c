// The X11 display service when its server goes away in the middle of a run: every call
// fails, none crashes or waits.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <optional>

#include "X11Run.h"
#include "platform/x11/X11Display.h"

namespace {


TEST(X11ServerGone, CallsFailAfterTheServerStops) {
  signal(SIGPIPE, SIG_IGN);
  std::optional<DummyXServer> server(std::in_place, 2);
  setenv("DISPLAY", server->Display.c_str(), 1);
  DisplayDeviceShortA record{};
  record.cb = sizeof record;
  DEVMODEA mode{};
  ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 0, &record, 0), 0);
  ASSERT_NE(x11::EnumDisplaySettingsA("DUMMY0", ENUM_CURRENT_SETTINGS, &mode), 0);

  server.reset();

  EXPECT_EQ(x11::EnumDisplayDevicesA(nullptr, 0, &record, 0), 0);
  EXPECT_EQ(x11::EnumDisplaySettingsA("DUMMY0", ENUM_CURRENT_SETTINGS, &mode), 0);
  EXPECT_EQ(x11::EnumDisplaySettingsA("DUMMY0", 0, &mode), 0);
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY0", &mode, nullptr, 0, nullptr), DISP_CHANGE_FAILED);
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY1", nullptr, nullptr, CDS_SET_PRIMARY, nullptr), DISP_CHANGE_FAILED);
}

}  // namespace
