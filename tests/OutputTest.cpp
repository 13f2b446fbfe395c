// Standard output: when the buffer is written out, and what a failed write does.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
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

// Offsets from the load base of the program file that hold code: its executable LOAD
// segments, each as [start, end), read from the ELF program headers.
std::vector<std::pair<std::uint64_t, std::uint64_t>> CodeRanges(const std::string& program) {
  const std::string image = ReadFile(program);
  Elf64_Ehdr header{};
  if (image.size() < sizeof header) return {};
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return {};
  std::vector<Elf64_Phdr> loads;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    const std::size_t at = header.e_phoff + std::size_t{i} * header.e_phentsize;
    if (at + sizeof segment > image.size()) return {};
    std::memcpy(&segment, image.data() + at, sizeof segment);
    if (segment.p_type == PT_LOAD) loads.push_back(segment);
  }
  if (loads.empty()) return {};
  // The loader maps the first LOAD segment at the base; the rest keep their distance from it.
  const std::uint64_t base = loads.front().p_vaddr & ~(loads.front().p_align - 1);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
  for (const Elf64_Phdr& segment : loads) {
    if ((segment.p_flags & PF_X) != 0) ranges.emplace_back(segment.p_vaddr - base, segment.p_vaddr - base + segment.p_memsz);
  }
  return ranges;
}

bool InCode(std::uint64_t offset) {
  static const auto ranges = CodeRanges(SimPath());
  EXPECT_FALSE(ranges.empty()) << "no executable segment in " << SimPath();
  for (const auto& [start, end] : ranges) {
    if (offset >= start && offset < end) return true;
  }
  return false;
}

// The failure report: the kind of failure, the program's file name, the failing step's
// offset as eight upper-case hex digits, the text with its period, an empty line.
// The offset must lie in the program's code; it is returned, or -1 for no report.
std::int64_t ExpectReport(const std::string& err, const std::string& text) {
  const std::string module = SimPath().substr(SimPath().rfind('/') + 1);
  const std::regex report("Exception EInOutError in module " + module + " at ([0-9A-F]{8})\\.\r\n" + text + "\r\n\r\n");
  std::smatch match;
  if (!std::regex_match(err, match, report)) {
    ADD_FAILURE() << "not the report of " << text << ": " << err;
    return -1;
  }
  const std::int64_t offset = std::stoll(match[1], nullptr, 16);
  EXPECT_TRUE(InCode(static_cast<std::uint64_t>(offset))) << "offset " << match[1] << " is not in the program's code";
  return offset;
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
      // A terminal hung up under the program: a long listing is still being written.
      {"terminal hangs up mid-listing", StdOutKind::TerminalHangsUp, LargeMachine(), {}, "File access denied\\."},
      {"terminal closed before the start", StdOutKind::TerminalGone, MachineFile("two-devices.json"), {"/H"},
       "File access denied\\."},
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

TEST(OutputFaults, ReportNamesTheFailingStep) {
  // Failures at one output step give one offset, whatever the fault; each step its own.
  const struct {
    const char* What;
    StdOutKind Output;
    std::vector<std::string> Arguments;
    std::string Text;
    const char* Step;
  } cases[] = {
      {"full device, usage", StdOutKind::DiskFull, {"/H"}, "Disk full\\.", "usage line"},
      {"closed, usage", StdOutKind::Closed, {"/H"}, "I/O error 105\\.", "usage line"},
      {"reader gone, usage", StdOutKind::ReaderGone, {"/H"}, "I/O error 32\\.", "usage line"},
      {"full device, listing", StdOutKind::DiskFull, {}, "Disk full\\.", "device header"},
      {"closed, listing", StdOutKind::Closed, {}, "I/O error 105\\.", "device header"},
      {"full device, quiet change", StdOutKind::DiskFull, {"/Q", "/D1", "/X1024", "/Y768"}, "Disk full\\.",
       "change report"},
      // Short enough to stay in the buffer until the end of the run.
      {"reader gone, quiet primary", StdOutKind::ReaderGone, {"/Q", "/P1"}, "I/O error 32\\.", "end of run"},
  };
  std::map<std::string, std::int64_t> offsetOfStep;
  for (const auto& row : cases) {
    SCOPED_TRACE(row.What);
    const SimRun run = RunSim(MachineFile("two-devices.json"), row.Arguments, {.Output = row.Output});
    EXPECT_EQ(run.Run.ExitCode, 1);
    const std::int64_t offset = ExpectReport(run.Run.Err, row.Text);
    if (offset < 0) continue;
    const auto [known, first] = offsetOfStep.emplace(row.Step, offset);
    EXPECT_EQ(known->second, offset) << "another offset for the " << row.Step;
    for (const auto& [step, other] : offsetOfStep) {
      if (step != row.Step) {
        EXPECT_NE(other, offset) << "same offset as the " << step;
      }
    }
  }
}

TEST(OutputFaults, ChangeIsNotMadeWhenItsReportCannotBeWritten) {
  // The quiet change writes its report before the change: on a full device the run ends
  // there, on /dev/null it goes on and changes the mode.
  const std::vector<std::string> arguments = {"/Q", "/D1", "/X1024", "/Y768"};
  const SimRun full = RunSim(MachineFile("two-devices.json"), arguments, {.Output = StdOutKind::DiskFull});
  EXPECT_EQ(full.Run.ExitCode, 1);
  ExpectReport(full.Run.Err, "Disk full\\.");
  EXPECT_TRUE(full.Calls("ChangeDisplaySettingsExA").empty());
  ASSERT_FALSE(full.Log.empty());
  EXPECT_EQ(full.Log.back(),
            (json{{"call", "EnumDisplaySettingsA"}, {"name", "\\\\.\\DISPLAY2"}, {"mode", -1}, {"result", 1}}));

  const SimRun null = RunSim(MachineFile("two-devices.json"), arguments, {.Output = StdOutKind::DevNull});
  EXPECT_EQ(null.Run.ExitCode, 0);
  EXPECT_EQ(null.Run.Err, "");
  const std::vector<json> changes = null.Calls("ChangeDisplaySettingsExA");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].at("name"), "\\\\.\\DISPLAY2");
  EXPECT_EQ(changes[0].at("mode").at("width"), 1024);
  EXPECT_EQ(changes[0].at("mode").at("height"), 768);
  EXPECT_EQ(changes[0].at("result"), 0);
  // Up to the change, both runs asked the same.
  EXPECT_EQ(std::vector<json>(null.Log.begin(), null.Log.end() - 1), full.Log);
}

TEST(OutputFaults, ClosedOutputIsNotTakenByAnotherFile) {
  // With descriptor 1 closed, the first file the program opens would get it and pass for
  // standard output. The run must end at its first output step having asked only for
  // the devices, and the call log, opened later, must hold just those calls.
  const SimRun run = RunSim(MachineFile("two-devices.json"), {"/Z"}, {.Output = StdOutKind::Closed});
  EXPECT_EQ(run.Run.ExitCode, 1);
  ExpectReport(run.Run.Err, "I/O error 105\\.");
  const std::vector<json> devicesAsked = {
      {{"call", "EnumDisplayDevicesA"}, {"device", 0}, {"result", 1}},
      {{"call", "EnumDisplayDevicesA"}, {"device", 1}, {"result", 1}},
      {{"call", "EnumDisplayDevicesA"}, {"device", 2}, {"result", 0}},
  };
  EXPECT_EQ(run.Log, devicesAsked);

  // Whatever holds descriptor 1 is what /dev/stdout opens. Held by /dev/null, a log named
  // so goes nowhere; were it left free, the machine fixture opened first would take it and
  // the log lines would be appended to the fixture.
  TempFolder folder;
  const std::string machine = MachineFile("two-devices.json").dump();
  WriteFile(folder.File("machine.json"), machine);
  const RunResult byName =
      RunProgram(SimPath(), {.Arguments = {"/Z"},
                             .Environment = {{"TAVELON_SIM_MACHINE", folder.File("machine.json")},
                                             {"TAVELON_SIM_LOG", "/dev/stdout"}},
                             .Output = StdOutKind::Closed});
  EXPECT_EQ(byName.ExitCode, 1);
  ExpectReport(byName.Err, "I/O error 105\\.");
  EXPECT_EQ(ReadFile(folder.File("machine.json")), machine);
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
