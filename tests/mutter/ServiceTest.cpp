// The GNOME display service called in-process against the logging stand-in for Mutter: what
// the records hold and the changes the command line cannot ask for (other depths, other
// refresh rates, no mode). One bus connection per process, as in the product.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <memory>

#include "MutterRun.h"
#include "platform/mutter/MutterDisplay.h"

namespace {

class MutterService : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Folder = std::make_unique<TempFolder>();
    Session = std::make_unique<MutterSession>(
        std::vector<std::string>{FAKE_DISPLAYCONFIG, "good", Folder->File("calls")});
    setenv("DBUS_SESSION_BUS_ADDRESS", Session->BusAddress.c_str(), 1);
  }
  static void TearDownTestSuite() {
    Session.reset();
    Folder.reset();
  }
  static std::string Calls() { return ReadFile(Folder->File("calls")); }
  static std::unique_ptr<TempFolder> Folder;
  static std::unique_ptr<MutterSession> Session;
};
std::unique_ptr<TempFolder> MutterService::Folder;
std::unique_ptr<MutterSession> MutterService::Session;

TEST_F(MutterService, RecordsAndTheirSizes) {
  ASSERT_TRUE(mutter::Available());
  DisplayDeviceShortA record;
  std::memset(&record, 'x', sizeof record);
  record.cb = offsetof(DisplayDeviceShortA, DeviceString);
  ASSERT_NE(mutter::EnumDisplayDevicesA(nullptr, 1, &record, 0), 0);
  EXPECT_STREQ(record.DeviceName, "Fake-1");
  EXPECT_EQ(record.DeviceString[0], 'x');
  record.cb = sizeof record;
  EXPECT_EQ(mutter::EnumDisplayDevicesA(nullptr, 2, &record, 0), 0);

  DEVMODEA mode{};
  ASSERT_NE(mutter::EnumDisplaySettingsA("Fake-1", ENUM_CURRENT_SETTINGS, &mode), 0);
  EXPECT_EQ(mode.dmFields, DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY);
  EXPECT_EQ(mode.dmPosition.x, 640);
  EXPECT_EQ(mode.dmPosition.y, 0);
  EXPECT_EQ(mode.dmBitsPerPel, 32u);
  EXPECT_EQ(mode.dmDisplayFrequency, 60u);
  ASSERT_NE(mutter::EnumDisplaySettingsA("Fake-0", 2, &mode), 0);
  EXPECT_EQ(mode.dmPelsWidth, 800u);
  EXPECT_EQ(mode.dmPelsHeight, 600u);
  EXPECT_EQ(mode.dmDisplayFrequency, 75u);
  EXPECT_EQ(mutter::EnumDisplaySettingsA("Fake-0", 4, &mode), 0);
  EXPECT_EQ(mutter::EnumDisplaySettingsA("Fake-9", ENUM_CURRENT_SETTINGS, &mode), 0);
}

std::size_t AppliedCount(const std::string& calls) {
  std::size_t count = 0;
  for (std::size_t at = calls.find("ApplyMonitorsConfig"); at != std::string::npos;
       at = calls.find("ApplyMonitorsConfig", at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(MutterService, ChangeRequests) {
  struct Case {
    const char* What;
    const char* Device;
    bool WithMode;
    DWORD Fields;
    DWORD Bits;
    DWORD Width;
    DWORD Height;
    DWORD Flags;
    LONG Result;
    const char* ModeSent;  // the mode id sent for Fake-0; "" when nothing is sent
  };
  constexpr DWORD Size = DM_PELSWIDTH | DM_PELSHEIGHT;
  const Case cases[] = {
      {"16 bits", "Fake-0", true, Size | DM_BITSPERPEL, 16, 800, 600, 0, DISP_CHANGE_BADMODE, ""},
      {"32 bits", "Fake-0", true, Size | DM_BITSPERPEL, 32, 800, 600, 0, DISP_CHANGE_SUCCESSFUL, "800x600@60.000"},
      {"depth only: the current size", "Fake-0", true, DM_BITSPERPEL, 32, 0, 0, 0, DISP_CHANGE_SUCCESSFUL,
       "640x480@60.000"},
      {"no name: the primary display", "", true, Size, 0, 800, 600, 0, DISP_CHANGE_SUCCESSFUL, "800x600@60.000"},
      {"no such device", "Fake-9", true, Size, 0, 800, 600, 0, DISP_CHANGE_FAILED, ""},
      {"no mode, no flag", "Fake-0", false, 0, 0, 0, 0, 0, DISP_CHANGE_BADPARAM, ""},
  };
  for (const Case& change : cases) {
    const std::string before = Calls();
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = change.Fields;
    mode.dmBitsPerPel = change.Bits;
    mode.dmPelsWidth = change.Width;
    mode.dmPelsHeight = change.Height;
    EXPECT_EQ(mutter::ChangeDisplaySettingsExA(change.Device, change.WithMode ? &mode : nullptr, nullptr, change.Flags,
                                               nullptr),
              change.Result)
        << change.What;
    const std::string sent = Calls().substr(before.size());
    EXPECT_EQ(AppliedCount(sent), change.ModeSent[0] == '\0' ? 0u : 1u) << change.What << "\n" << sent;
    if (change.ModeSent[0] != '\0') {
      EXPECT_NE(sent.find(std::string("Fake-0 ") + change.ModeSent + " +0+0"), std::string::npos) << change.What;
    }
  }
}

}  // namespace
