// The X11 display service called in-process against a private dummy X server: what the
// records hold, and the choices of a mode change that the command line cannot make.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <cstring>
#include <memory>

#include "X11Run.h"
#include "platform/x11/X11Display.h"

namespace {


constexpr DWORD ModeFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;

class X11Service : public testing::Test {
 protected:
  // One server for the process, as the service keeps one connection per process.
  static void SetUpTestSuite() {
    signal(SIGPIPE, SIG_IGN);
    Server = std::make_unique<DummyXServer>(2);
    setenv("DISPLAY", Server->Display.c_str(), 1);
  }
  static void TearDownTestSuite() { Server.reset(); }
  void TearDown() override {
    RestoreTwoOutputLayout(*Server);
  }
  static std::unique_ptr<DummyXServer> Server;
};
std::unique_ptr<DummyXServer> X11Service::Server;

DEVMODEA Filled(char byte) {
  DEVMODEA mode;
  std::memset(&mode, byte, sizeof mode);
  mode.dmSize = sizeof mode;
  mode.dmDriverExtra = 0;
  return mode;
}

TEST_F(X11Service, DeviceRecordsFillNoMoreThanTheirSize) {
  DisplayDeviceShortA record;
  std::memset(&record, 'x', sizeof record);
  record.cb = sizeof record;
  ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 1, &record, 0), 0);
  EXPECT_STREQ(record.DeviceName, "DUMMY1");
  EXPECT_STREQ(record.DeviceString, "The X.Org Foundation");
  EXPECT_EQ(record.StateFlags, DISPLAY_DEVICE_ATTACHED_TO_DESKTOP);

  std::memset(&record, 'x', sizeof record);
  record.cb = offsetof(DisplayDeviceShortA, DeviceString);
  ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 0, &record, 0), 0);
  EXPECT_STREQ(record.DeviceName, "DUMMY0");
  EXPECT_EQ(record.DeviceString[0], 'x');
  EXPECT_EQ(record.cb, offsetof(DisplayDeviceShortA, DeviceString));

  record.cb = sizeof record;
  EXPECT_EQ(x11::EnumDisplayDevicesA(nullptr, 2, &record, 0), 0);
  EXPECT_EQ(x11::EnumDisplayDevicesA("DUMMY0", 0, &record, 0), 0);
}

TEST_F(X11Service, ModeRecords) {
  DEVMODEA mode = Filled('x');
  ASSERT_NE(x11::EnumDisplaySettingsA("DUMMY1", ENUM_CURRENT_SETTINGS, &mode), 0);
  EXPECT_EQ(mode.dmFields, ModeFields | DM_POSITION);
  EXPECT_EQ(mode.dmPelsWidth, 1024u);
  EXPECT_EQ(mode.dmPelsHeight, 768u);
  EXPECT_EQ(mode.dmBitsPerPel, 32u);
  EXPECT_EQ(mode.dmDisplayFrequency, 60u);
  EXPECT_EQ(mode.dmPosition.x, 1024);
  EXPECT_EQ(mode.dmPosition.y, 0);
  EXPECT_EQ(mode.dmSize, sizeof mode);

  // Mode 6 of DUMMY0 is the first 1280x720 the server setup added, at 45 Hz.
  mode = Filled('x');
  ASSERT_NE(x11::EnumDisplaySettingsA("DUMMY0", 6, &mode), 0);
  EXPECT_EQ(mode.dmFields, ModeFields);
  EXPECT_EQ(mode.dmPelsWidth, 1280u);
  EXPECT_EQ(mode.dmPelsHeight, 720u);
  EXPECT_EQ(mode.dmDisplayFrequency, 45u);
  EXPECT_EQ(mode.dmBitsPerPel, 32u);

  EXPECT_EQ(x11::EnumDisplaySettingsA("DUMMY0", 8, &mode), 0);
  EXPECT_EQ(x11::EnumDisplaySettingsA("DUMMY7", ENUM_CURRENT_SETTINGS, &mode), 0);
  EXPECT_EQ(x11::EnumDisplaySettingsA("DUMMY", ENUM_CURRENT_SETTINGS, &mode), 0);
  // No name: the primary display, as on Windows.
  ASSERT_NE(x11::EnumDisplaySettingsA("", ENUM_CURRENT_SETTINGS, &mode), 0);
  EXPECT_EQ(mode.dmPosition.x, 0);
}

struct ChangeCase {
  const char* What;
  DWORD Fields;
  DWORD Width, Height, Bits, FrequencyHz;
  LONG Result;
  std::string Dummy1After;  // as QueryState gives it
};

TEST_F(X11Service, ModeChangeChoices) {
  const std::string unchanged = "DUMMY1 1024x768+1024+0 1024x768 60.00";
  const ChangeCase cases[] = {
      {"70 Hz asked", ModeFields, 1280, 720, 32, 70, DISP_CHANGE_SUCCESSFUL, "DUMMY1 1280x720+1024+0 1280x720_70 70.00"},
      {"58 Hz asked: 70 is nearer", ModeFields, 1280, 720, 32, 58, DISP_CHANGE_SUCCESSFUL,
       "DUMMY1 1280x720+1024+0 1280x720_70 70.00"},
      {"56 Hz asked: 45 is nearer", ModeFields, 1280, 720, 32, 56, DISP_CHANGE_SUCCESSFUL,
       "DUMMY1 1280x720+1024+0 1280x720_45 45.00"},
      {"no frequency field: nearest to the current 60 Hz", DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT, 1280, 720, 32, 45,
       DISP_CHANGE_SUCCESSFUL, "DUMMY1 1280x720+1024+0 1280x720_70 70.00"},
      {"16 bits per pixel", ModeFields, 1280, 720, 16, 60, DISP_CHANGE_BADMODE, unchanged},
      {"bits not asked for", DM_PELSWIDTH | DM_PELSHEIGHT, 800, 600, 16, 0, DISP_CHANGE_SUCCESSFUL,
       "DUMMY1 800x600+1024+0 800x600 60.32"},
      {"no such size", ModeFields, 1280, 768, 32, 60, DISP_CHANGE_BADMODE, unchanged},
  };
  for (const ChangeCase& change : cases) {
    DEVMODEA mode = Filled(0);
    mode.dmFields = change.Fields;
    mode.dmPelsWidth = change.Width;
    mode.dmPelsHeight = change.Height;
    mode.dmBitsPerPel = change.Bits;
    mode.dmDisplayFrequency = change.FrequencyHz;
    EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY1", &mode, nullptr, 0, nullptr), change.Result) << change.What;
    EXPECT_EQ(QueryState(*Server).Outputs.at(1), change.Dummy1After) << change.What;
    TearDown();
  }
}

TEST_F(X11Service, PrimaryAndUnknownDevice) {
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY1", nullptr, nullptr, CDS_SET_PRIMARY, nullptr), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(QueryState(*Server).Outputs.at(1), "DUMMY1 primary 1024x768+1024+0 1024x768 60.00");
  DisplayDeviceShortA record{};
  record.cb = sizeof record;
  ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 1, &record, 0), 0);
  EXPECT_EQ(record.StateFlags, DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | DISPLAY_DEVICE_PRIMARY_DEVICE);

  DEVMODEA mode = Filled(0);
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY9", &mode, nullptr, 0, nullptr), DISP_CHANGE_FAILED);
  EXPECT_EQ(x11::ChangeDisplaySettingsExA("DUMMY9", nullptr, nullptr, CDS_SET_PRIMARY, nullptr), DISP_CHANGE_FAILED);
}

}  // namespace

// A step the server refuses puts back the steps before it. The server refuses a CRTC mode
// that its output no longer offers: here another client takes DUMMY1's 1280x720 modes away
// after the state was read. By then the screen has been resized for the new size (and
// DUMMY1 switched off first where it would not fit), and all of it must be undone.
TEST_F(X11Service, RefusedStepPutsBackTheEarlierOnes) {
  const std::tuple<const char*, std::vector<std::string>, XrandrState> cases[] = {
      {"screen grown", {},
       {"2048x768", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1024x768+1024+0 1024x768 60.00"}}},
      {"DUMMY1 switched off, screen shrunk", {"--output", "DUMMY1", "--pos", "0x768", "--fb", "1024x1536"},
       {"1024x1536", {"DUMMY0 primary 1024x768+0+0 1024x768 60.00", "DUMMY1 1024x768+0+768 1024x768 60.00"}}},
  };
  const std::vector<std::string> taken = {"1280x720_45", "1280x720_70"};
  for (const auto& [what, setup, expected] : cases) {
    SCOPED_TRACE(what);
    if (!setup.empty()) Server->Xrandr(setup);
    DisplayDeviceShortA record{};
    record.cb = sizeof record;
    // A change first, so that the state is read afresh with this layout.
    ASSERT_EQ(x11::ChangeDisplaySettingsExA("DUMMY0", nullptr, nullptr, CDS_SET_PRIMARY, nullptr), DISP_CHANGE_SUCCESSFUL);
    ASSERT_NE(x11::EnumDisplayDevicesA(nullptr, 1, &record, 0), 0);
    for (const std::string& name : taken) Server->Xrandr({"--delmode", "DUMMY1", name});
    DEVMODEA mode = Filled(0);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 1280;
    mode.dmPelsHeight = 720;
    const LONG result = x11::ChangeDisplaySettingsExA("DUMMY1", &mode, nullptr, 0, nullptr);
    const XrandrState after = QueryState(*Server);
    for (const std::string& name : taken) Server->Xrandr({"--addmode", "DUMMY1", name});
    TearDown();
    EXPECT_EQ(result, DISP_CHANGE_FAILED);
    EXPECT_EQ(after.Screen, expected.Screen);
    EXPECT_EQ(after.Outputs, expected.Outputs);
  }
}
