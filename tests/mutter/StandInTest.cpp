// tavelon against a stand-in for Mutter (fake-displayconfig) that logs every call it gets:
// what was asked of the compositor (the layout sent, how often the state was read) and how
// bad answers end. The stand-in's behaviours are described in FakeDisplayConfig.cpp.
#include <gtest/gtest.h>

#include "MutterRun.h"
#include "Sim.h"

namespace {

struct Case {
  const char* Behaviour;
  std::vector<std::string> Arguments;
  std::vector<std::string> Shows;  // lines the output holds
  const char* Lacks;               // text the output must not hold; "" for none
  int ExitCode;
  std::vector<std::string> Log;  // every call the stand-in got, in order
};

const std::string Read = "GetCurrentState";
std::string Applied(int serial, const std::string& layout) {
  return "ApplyMonitorsConfig serial " + std::to_string(serial) + " method 1: " + layout;
}
const std::string Fake1 = "Fake-1 1024x768@60.000 +640+0 scale 1 transform 0;";
const std::vector<std::string> ResizeTo800 = {"/Q", "/D0", "/X800", "/Y600"};

TEST(StandIn, WhatIsAskedAndHowBadAnswersEnd) {
  const Case cases[] = {
      // One read per run, names from display-name or else vendor and product.
      {"good", {}, {"Device String: \"FakeVendor FakeProduct\"", "Device String: \"Fake Panel 24\"\"",
                    "resolution: 640-480 Bits: 32", "Mode 1 Resolution: 800x600"}, "", 0, {Read}},
      // 800x600 at 60 Hz, not 75: nearest the current refresh. Fake-1 follows the right edge.
      {"good", ResizeTo800, {"Successful Change: Fake-0 FakeVendor FakeProduct"}, "", 0,
       {Read, Applied(1, "Fake-0 800x600@60.000 +0+0 scale 1 transform 0 primary; "
                         "Fake-1 1024x768@60.000 +800+0 scale 1 transform 0;")}},
      {"good", {"/Q", "/D0", "/X600", "/Y800"}, {"Error DISP_CHANGE_BADMODE"}, "", 0, {Read}},
      {"good", {"/Q", "/P1"}, {"Successful: Primary set to 1  Fake-1 Fake Panel 24\""}, "", 0,
       {Read, Applied(1, "Fake-0 640x480@60.000 +0+0 scale 1 transform 0; Fake-1 1024x768@60.000 +640+0 scale 1 "
                         "transform 0 primary;"), Read}},
      // Turned by 90 degrees: sizes as the desktop shows them, the transform kept.
      {"turned", {}, {"resolution: 480-640 Bits: 32", "Mode 1 Resolution: 600x800"}, "", 0, {Read}},
      {"turned", {"/Q", "/D0", "/X600", "/Y800"}, {"Successful Change: Fake-0 FakeVendor FakeProduct"}, "", 0,
       {Read, Applied(1, "Fake-0 800x600@60.000 +0+0 scale 1 transform 1 primary; "
                         "Fake-1 1024x768@60.000 +600+0 scale 1 transform 0;")}},
      {"turned", ResizeTo800, {"Error DISP_CHANGE_BADMODE"}, "", 0, {Read}},
      // Logical layout mode: Fake-0 at scale 2 measures 400 wide at 800x600.
      {"logical", ResizeTo800, {"Successful Change: Fake-0 FakeVendor FakeProduct"}, "", 0,
       {Read, Applied(1, "Fake-0 800x600@60.000 +0+0 scale 2 transform 0 primary; "
                         "Fake-1 1024x768@60.000 +400+0 scale 1 transform 0;")}},
      {"stale", ResizeTo800, {"Successful Change: Fake-0 FakeVendor FakeProduct"}, "", 0,
       {Read, Applied(1, "Fake-0 800x600@60.000 +0+0 scale 1 transform 0 primary; "
                         "Fake-1 1024x768@60.000 +800+0 scale 1 transform 0;"),
        Read, Applied(2, "Fake-0 800x600@60.000 +0+0 scale 1 transform 0 primary; "
                         "Fake-1 1024x768@60.000 +800+0 scale 1 transform 0;")}},
      {"refuse", ResizeTo800, {"Error DISP_CHANGE_FAILED"}, "", 0,
       {Read, Applied(1, "Fake-0 800x600@60.000 +0+0 scale 1 transform 0 primary; "
                         "Fake-1 1024x768@60.000 +800+0 scale 1 transform 0;"), Read}},
      {"wrong-signature", {}, {"Error EnumDisplayDevices for device 0"}, "Fake-0", 1, {Read}},
      {"no-current-mode", {}, {"Device Num: 0 Device Name: \"Fake-0\"  ", "EnumDisplaySettings returned 0",
                               "resolution: 1024-768 Bits: 32"}, "", 0, {Read}},
      {"no-current-mode", ResizeTo800, {"Error DISP_CHANGE_FAILED"}, "", 0, {Read}},
      {"no-logical-monitors", {}, {"Device Num: 1 Device Name: \"Fake-1\"  "}, "DISPLAY_DEVICE_ATTACHED", 0, {Read}},
      {"no-logical-monitors", ResizeTo800, {"Error DISP_CHANGE_FAILED"}, "", 0, {Read}},
      // Never answered: the call times out and the run ends as with no display at all.
      {"silent", {}, {"Error EnumDisplayDevices for device 0"}, "", 1, {Read}},
      {"leaves", ResizeTo800, {"Error DISP_CHANGE_FAILED"}, "", 0, {Read}},
  };
  for (const Case& test : cases) {
    const std::string what = std::string(test.Behaviour) + (test.Arguments.empty() ? "" : " " + test.Arguments[1]);
    TempFolder folder;
    const MutterSession session({FAKE_DISPLAYCONFIG, test.Behaviour, folder.File("calls")});
    const RunResult run = RunTavelon({session.BusAddress}, test.Arguments);
    for (const std::string& line : test.Shows) {
      EXPECT_NE(run.Out.find(Lines({line})), std::string::npos) << what << ": " << line << "\n" << run.Out;
    }
    if (test.Lacks[0] != '\0') {
      EXPECT_EQ(run.Out.find(test.Lacks), std::string::npos) << what << "\n" << run.Out;
    }
    EXPECT_EQ(run.ExitCode, test.ExitCode) << what;
    EXPECT_FALSE(run.TimedOut) << what;
    std::string log;
    for (const std::string& line : test.Log) log += line + "\n";
    EXPECT_EQ(ReadFile(folder.File("calls")), log) << what;
  }
}

}  // namespace
