// Output that cannot be written, with tavelon's listing of eleven outputs with many modes
// each: the failure report, exit code 1, and the run ends there.
#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "Sim.h"
#include "X11Run.h"

namespace {

constexpr int Outputs = 11;
constexpr int ExtraModes = 24;

// Eleven active outputs, each offering ExtraModes more sizes: a listing of about 12 KB.
class ElevenOutputs : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Server = std::make_unique<DummyXServer>(Outputs);
    std::vector<std::string> names;
    for (int i = 0; i < ExtraModes; ++i) {
      const int width = 648 + 8 * i;
      const int height = 488;
      const int horizontalTotal = width + 160;
      const int verticalTotal = height + 30;
      const double clockMHz = horizontalTotal * verticalTotal * 60 / 1e6;  // 60 Hz
      names.push_back("faults" + std::to_string(i));
      // xrandr takes one new mode per call.
      Server->Xrandr({"--newmode", names.back(), std::to_string(clockMHz), std::to_string(width),
                      std::to_string(width + 40), std::to_string(width + 80), std::to_string(horizontalTotal),
                      std::to_string(height), std::to_string(height + 5), std::to_string(height + 10),
                      std::to_string(verticalTotal)});
    }
    for (int output = 0; output < Outputs; ++output) {
      std::vector<std::string> addModes;
      for (const std::string& name : names) {
        addModes.insert(addModes.end(), {"--addmode", "DUMMY" + std::to_string(output), name});
      }
      Server->Xrandr(addModes);
    }
  }
  static void TearDownTestSuite() { Server.reset(); }
  static std::unique_ptr<DummyXServer> Server;
};
std::unique_ptr<DummyXServer> ElevenOutputs::Server;

TEST_F(ElevenOutputs, ListingIsLargerThanTwoPipePages) {
  const RunResult run = RunTavelon(*Server, {});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_GT(run.Out.size(), 2u * 4096);
  EXPECT_NE(run.Out.find("Iterating display modess on device DUMMY10..."), std::string::npos);
}

TEST_F(ElevenOutputs, FailedWritesEndWithTheReport) {
  const std::tuple<const char*, StdOutKind, std::vector<std::string>, std::string> cases[] = {
      {"full device", StdOutKind::DiskFull, {}, "Disk full\\."},
      {"full device, at the first step after a change", StdOutKind::DiskFull, {"/Q", "/P1"}, "Disk full\\."},
      {"closed", StdOutKind::Closed, {}, "I/O error 105\\."},
      {"reader quits", StdOutKind::ReaderQuits, {}, "I/O error 32\\."},
  };
  for (const auto& [what, output, arguments, text] : cases) {
    SCOPED_TRACE(what);
    RunOptions options;
    options.Arguments = arguments;
    options.Environment = {{"DISPLAY", Server->Display}};
    options.Output = output;
    options.TimeoutSeconds = 20;
    const RunResult run = RunProgram(TAVELON_PATH, options);
    const std::regex report("Exception EInOutError in module tavelon at [0-9A-F]{8}\\.\r\n" + text + "\r\n\r\n");
    EXPECT_TRUE(std::regex_match(run.Err, report)) << run.Err;
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_FALSE(run.TimedOut);
    if (output == StdOutKind::ReaderQuits) {
      EXPECT_EQ(run.Out, "Device Num: 0 Device Name: \"DUMMY0\"  \r\n");
    }
  }
}

// The server killed while tavelon waits on a full pipe, with the whole state already read:
// every listing is finished from that state, whole; the primary change, which needs the
// server, fails, and the listing after it cannot read the devices again: exit code 1.
// Never a listing cut short, never a stale one after a change.
TEST(ServerGoneWhileWriting, ListingsWholeChangeFails) {
  const std::vector<std::string> cases[] = {{}, {"/Z"}, {"/P1"}};
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(arguments.empty() ? "no arguments" : arguments[0]);
    std::optional<DummyXServer> server(std::in_place, 2);
    std::string expected;
    if (arguments == std::vector<std::string>{"/P1"}) {
      const std::string listing = RunTavelon(*server, {"/Z"}).Out;
      expected = listing + Lines({"Error DISP_CHANGE_FAILED", "", "Error EnumDisplayDevices for device 0"});
    } else {
      expected = RunTavelon(*server, arguments).Out;
    }
    RunOptions options;
    options.Arguments = arguments;
    options.Environment = {{"DISPLAY", server->Display}};
    options.Output = StdOutKind::FullPipe;
    // tavelon writes its 128-byte output buffer whole: the pipe is full after the first
    // write, in the first device, and the second write waits.
    options.FullPipeRoom = 128;
    bool killed = false;
    options.WhenFull = [&] {
      server.reset();
      killed = true;
    };
    options.TimeoutSeconds = 20;
    const RunResult run = RunProgram(TAVELON_PATH, options);
    EXPECT_TRUE(killed);
    EXPECT_FALSE(run.TimedOut);
    EXPECT_EQ(run.Out, expected);
    EXPECT_EQ(run.ExitCode, arguments.empty() || arguments[0] != "/P1" ? 0 : 1);
  }
}

}  // namespace
