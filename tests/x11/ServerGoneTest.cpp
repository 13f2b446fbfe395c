// The X11 display service when its server goes away in the middle of a run: the state read
// whole still answers every query, before and after the changes, and every call that needs
// the server fails. None crashes or waits.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <optional>

#include "X11Run.h"
#include "platform/x11/X11Display.h"

namespace {

TEST(X11ServerGone, QueriesKeepTheStateReadAndChangesFail) {
  signal(SIGPIPE, SIG_IGN);
  std::optional<DummyXServer> server(std::in_place, 2);
  setenv("DISPLAY", server->Display.c_str(), 1);
  DisplayDeviceShortA record{};
  record.cb = sizeof record;
  DEVMODEA mode{};
  ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 0, &record, 0), 0);

  server.reset();

  // The state was read whole before the server went: the rest of the listing is the same
  // as if it were still there.
  ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 1, &record, 0), 0);
  EXPECT_STREQ(record.DeviceName, "DUMMY1");
  ASSERT_NE(x11::EnumDisplaySettingsA("DUMMY1", ENUM_CURRENT_SETTINGS, &mode), 0);
  EXPECT_EQ(mode.dmPelsWidth, 1024u);
  EXPECT_EQ(mode.dmPosition.x, 1024);
  ASSERT_NE(x11::EnumDisplaySettingsA("DUMMY0", 0, &mode), 0);

  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  mode.dmPelsWidth = 800;
  mode.dmPelsHeight = 600;
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY0", &mode, nullptr, 0, nullptr), DISP_CHANGE_FAILED);
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY1", nullptr, nullptr, CDS_SET_PRIMARY, nullptr), DISP_CHANGE_FAILED);

  // After a change, what was read before is no longer known to be true, and nothing can be
  // read again: every query fails.
  EXPECT_EQ(x11::EnumDisplayDevicesA(nullptr, 0, &record, 0), 0);
  EXPECT_EQ(x11::EnumDisplaySettingsA("DUMMY0", ENUM_CURRENT_SETTINGS, &mode), 0);
}

}  // namespace
