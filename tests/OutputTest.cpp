// Standard output: when the buffer is written out, and what a failed write does.
#include <gtest/gtest.h>

#include <regex>

#include "Sim.h"

namespace {

using nlohmann::json;

// A device with enough alternating modes that its catalogue far outgrows a pipe's buffer.
json LargeMachine() {
  json modes = json::array();
  for (int i = 0; i < 100000; ++i) modes.push_back(i % 2 == 0 ? Mode(640, 480) : Mode(800, 600));
  return {{"devices", json::array({Device("BIG", "S", 5, Mode(640, 480), modes)})}};
}

// The failure report: the kind of failure, the program's file name, the failing step's
// offset as eight upper-case hex digits, the text with its period, an empty line.
void ExpectReport(const std::string& err, const std::string& text) {
  const std::string module = SimPath().substr(SimPath().rfind('/') + 1);
  const std::regex report("Exception EInOutError in module " + module + " at [0-9A-F]{8}\\.\r\n" + text + "\r\n\r\n");
  EXPECT_TRUE(std::regex_match(err, report)) << err;
}

struct FaultCase {
  const char* What;
  StdOutKind Output;
  json Machine;
  std::vector<std::string> Arguments;
  std::string Text;
};

TEST(OutputFaults, ReportAndExitCodeOne) {
  const FaultCase cases[] = {
      {"full device, mid-run", StdOutKind::DiskFull, MachineFile("two-devices.json"), {}, "Disk full\\."},
      {"full device, at the end of the run", StdOutKind::DiskFull, MachineFile("two-devices.json"), {"/Q", "/P1"},
       "Disk full\\."},
      {"closed", StdOutKind::Closed, MachineFile("two-devices.json"), {}, "I/O error 105\\."},
      {"closed, usage", StdOutKind::Closed, MachineFile("two-devices.json"), {"/H"}, "I/O error 105\\."},
      {"reader quits", StdOutKind::ReaderQuits, LargeMachine(), {}, "I/O error 32\\."},
      {"reader gone before the start", StdOutKind::ReaderGone, MachineFile("two-devices.json"), {"/H"}, "I/O error 32\\."},
  };
  for (const FaultCase& fault : cases) {
    SCOPED_TRACE(fault.What);
    const SimRun run = RunSim(fault.Machine, fault.Arguments, {.Output = fault.Output});
    ExpectReport(run.Run.Err, fault.Text);
    EXPECT_EQ(run.Run.ExitCode, 1);
    EXPECT_FALSE(run.Run.TimedOut);
  }
}

TEST(OutputFaults, RunEndsAtTheFailedWrite) {
  // The first 128 bytes fill up among device 0's flag lines, before its mode is asked for:
  // once that block cannot be written, the service hears nothing more.
  const SimRun run = RunSim(MachineFile("two-devices.json"), {}, {.Output = StdOutKind::DiskFull});
  EXPECT_EQ(run.Run.ExitCode, 1);
  ASSERT_EQ(run.Log.size(), 3u);
  EXPECT_EQ(run.Log.back(), (json{{"call", "EnumDisplayDevicesA"}, {"device", 2}, {"result", 0}}));
}

TEST(OutputFaults, ClosedOutputIsNotTakenByAnotherFile) {
  // With descriptor 1 closed, the call log must not land on it and pass for output.
  const SimRun run = RunSim(MachineFile("two-devices.json"), {"/Z"}, {.Output = StdOutKind::Closed});
  EXPECT_EQ(run.Run.ExitCode, 1);
  for (const json& line : run.Log) EXPECT_TRUE(line.contains("call")) << line;
  EXPECT_FALSE(run.Log.empty());
}

TEST(OutputFaults, QuietRunWithNothingToWriteNeedsNoOutput) {
  const SimRun run = RunSim(MachineFile("two-devices.json"), {"/Q"}, {.Output = StdOutKind::Closed});
  EXPECT_EQ(run.Run.ExitCode, 0);
  EXPECT_EQ(run.Run.Err, "");
}

// The program's output and its display-service calls, in the order they reached one file:
// the call log is written to the same place as standard output.
struct Interleaved {
  std::string Output;                    // all output bytes
  std::vector<std::size_t> OutputAtCall;  // output bytes written before each call
  std::vector<json> Calls;
};

Interleaved Split(const std::string& stream) {
  Interleaved result;
  std::size_t at = 0;
  for (;;) {
    const std::size_t call = stream.find("{\"call\"", at);
    result.Output += stream.substr(at, call == std::string::npos ? std::string::npos : call - at);
    if (call == std::string::npos) break;
    const std::size_t end = stream.find('\n', call);
    result.Calls.push_back(json::parse(stream.substr(call, end - call)));
    result.OutputAtCall.push_back(result.Output.size());
    at = end + 1;
  }
  return result;
}

TEST(Flushing, FileAndPipeGetWholeBlocksAndTheRestAtTheEnd) {
  TempFolder folder;
  const std::string outputFile = folder.File("out.txt");
  const std::tuple<const char*, RunOptions> cases[] = {
      {"file", {.Environment = {{"TAVELON_SIM_LOG", outputFile}}, .Output = StdOutKind::File, .OutputFile = outputFile}},
      {"pipe", {.Environment = {{"TAVELON_SIM_LOG", "/dev/stdout"}}, .Output = StdOutKind::Pipe}},
  };
  for (const auto& [what, options] : cases) {
    SCOPED_TRACE(what);
    const SimRun run = RunSim(MachineFile("two-devices.json"), {}, options);
    const Interleaved stream = Split(run.Run.Out);
    EXPECT_EQ(stream.Output, GoldenFile("two-devices-listing.txt"));
    ASSERT_EQ(stream.Calls.size(), 20u);
    for (std::size_t written : stream.OutputAtCall) EXPECT_EQ(written % 128, 0u) << written;
    // Blocks went out during the run, not only at its end.
    EXPECT_GE(stream.OutputAtCall.back(), 256u);
    EXPECT_LT(stream.OutputAtCall.back(), stream.Output.size());
  }
}

TEST(Flushing, TerminalGetsEveryStepAtOnce) {
  const SimRun run = RunSim(MachineFile("two-devices.json"), {},
                            {.Environment = {{"TAVELON_SIM_LOG", "/dev/stdout"}}, .Output = StdOutKind::Terminal});
  const Interleaved stream = Split(run.Run.Out);
  EXPECT_EQ(stream.Output, GoldenFile("two-devices-listing.txt"));
  ASSERT_EQ(stream.Calls.size(), 20u);
  const std::string listing = stream.Output;
  for (std::size_t i = 0; i < stream.Calls.size(); ++i) {
    const json& call = stream.Calls[i];
    const std::string before = listing.substr(0, stream.OutputAtCall[i]);
    if (call.at("call") == "EnumDisplaySettingsA" && call.at("mode") == 0) {
      // The partial line "Mode " is on the screen before the first mode is asked for.
      EXPECT_EQ(before.substr(before.size() - 7), "\r\nMode ") << call;
    }
    if (call.at("call") == "EnumDisplaySettingsA" && call.at("mode") == -1) {
      // The device's header and flag lines are shown before its current mode is asked for.
      EXPECT_EQ(before.substr(before.size() - 4), "\r\n\r\n") << call;
    }
  }
  EXPECT_EQ(stream.OutputAtCall[2], 0u);  // nothing is written before the device query ends
}

}  // namespace
