// End-to-end runs of Tavelon.exe under Wine on a private dummy X server. What the program
// writes is checked against what the display service answers the probe, and what it changes
// against what the X server then reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "WineRun.h"

namespace {

const std::string Usage =
    "Usage: Tavelon.exe /H -    This help\r\n"
    "       Tavelon.exe with no parameters - list current display devices and supported modes\r\n"
    "       Tavelon.exe /Dn /Xxxx /Yyyy - set resolution of device n to xxx by yyy pixels\r\n"
    "       Tavelon.exe /Q - Quiet mode - suppress console output\r\n";

const std::pair<std::uint32_t, const char*> FlagLines[] = {
    {0x01, "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP"}, {0x02, "DISPLAY_DEVICE_MULTI_DRIVER"},
    {0x04, "DISPLAY_DEVICE_PRIMARY_DEVICE"},      {0x08, "DISPLAY_DEVICE_MIRRORING_DRIVER"},
    {0x10, "DISPLAY_DEVICE_VGA_COMPATIBLE"},
};

std::string SizeText(const ProbedMode& mode) {
  return std::to_string(mode.Width) + "x" + std::to_string(mode.Height);
}

// The inventory report of these devices, with or without the mode catalogue.
std::string ExpectedListing(const std::vector<ProbedDevice>& devices, bool catalogue) {
  std::string text;
  for (std::size_t number = 0; number < devices.size(); ++number) {
    const ProbedDevice& device = devices[number];
    text += "Device Num: " + std::to_string(number) + " Device Name: \"" + device.Name + "\"  \r\n";
    text += "Device String: \"" + device.String + "\"\r\n";
    for (const auto& [bit, line] : FlagLines) {
      if ((device.Flags & bit) != 0) text += std::string(line) + "\r\n";
    }
    text += "\r\n";
    if (device.HasCurrent) {
      text += "resolution: " + std::to_string(device.Current.Width) + "-" + std::to_string(device.Current.Height) +
              " Bits: " + std::to_string(device.Current.Bits) + "\r\n";
    } else {
      text += "EnumDisplaySettings returned 0\r\n";
    }
    if (catalogue) {
      // One line for the first mode of every run of equal sizes after mode 0.
      text += "\r\nIterating display modess on device " + device.Name + "...\r\nMode ";
      std::string previous;
      for (std::size_t index = 0; index < device.Modes.size(); ++index) {
        const std::string size = SizeText(device.Modes[index]);
        if (index >= 1 && size != previous) text += std::to_string(index) + " Resolution: " + size + "\r\nMode ";
        previous = size;
      }
      text += " Resolution: " + previous + "\r\nMode \r\n\r\n";
    }
    text += "\r\n\r\n";
  }
  return text + "\r\n";
}

std::string ChangeReport(const std::vector<ProbedDevice>& devices, int number, const ProbedMode& target) {
  const ProbedDevice& device = devices[static_cast<std::size_t>(number)];
  return "Device " + std::to_string(number) + " Current resolution: " + std::to_string(device.Current.Width) + "-" +
         std::to_string(device.Current.Height) + " Bits: " + std::to_string(device.Current.Bits) + "\r\n" +
         "Changing resolution to " + SizeText(target) + " on device " + std::to_string(number) + "\r\n";
}

struct OutputGeometry {
  std::uint32_t Width = 0, Height = 0;
  std::int32_t X = 0, Y = 0;
  bool Primary = false;
  bool operator==(const OutputGeometry&) const = default;
};

// The active outputs as xrandr reports them, by name.
std::map<std::string, OutputGeometry> Outputs(const DummyXServer& server) {
  static const std::regex line(R"(^(\S+) connected( primary)? (\d+)x(\d+)\+(\d+)\+(\d+))");
  std::map<std::string, OutputGeometry> outputs;
  std::istringstream lines(server.Xrandr({"--query"}));
  std::string text;
  std::smatch match;
  while (std::getline(lines, text)) {
    if (!std::regex_search(text, match, line)) continue;
    outputs[match[1]] = {static_cast<std::uint32_t>(std::stoul(match[3])), static_cast<std::uint32_t>(std::stoul(match[4])),
                         std::stoi(match[5]), std::stoi(match[6]), match[2].matched};
  }
  return outputs;
}

// The X output that shows a device: the one at the device's desktop position.
std::string OutputOf(const DummyXServer& server, const ProbedDevice& device) {
  for (const auto& [name, geometry] : Outputs(server)) {
    if (geometry.X == device.Current.X && geometry.Y == device.Current.Y) return name;
  }
  return "";
}

std::string TrimLineEnds(const std::string& text) {
  return std::regex_replace(text, std::regex(" +\r\n"), "\r\n");
}

// What Wine's console shows on a terminal: it repaints with a few escape sequences, writes
// an erase instead of blanks at a line's end and moves the cursor over a single one.
// Anything else it might send fails the conversion, so nothing is silently dropped.
std::string ShownOnTerminal(std::string stream) {
  for (const char* sequence : {"\x1b[?25l", "\x1b[?25h", "\x1b[K"}) {
    stream = std::regex_replace(stream, std::regex(std::regex_replace(sequence, std::regex(R"([\[?])"), "\\$&")), "");
  }
  stream = std::regex_replace(stream, std::regex(R"(\x1b\[1C)"), " ");
  if (stream.find('\x1b') != std::string::npos) ADD_FAILURE() << "unknown escape sequence in " << stream;
  return TrimLineEnds(stream);
}

RunOptions Arguments(std::vector<std::string> arguments, StdOutKind output = StdOutKind::Pipe) {
  RunOptions options;
  options.Arguments = std::move(arguments);
  options.Output = output;
  return options;
}

class WineRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Machine = std::make_unique<WineMachine>(); }
  static void TearDownTestSuite() { Machine.reset(); }

  static RunResult Tavelon(std::vector<std::string> arguments, StdOutKind output = StdOutKind::Pipe) {
    RunOptions options = Arguments(std::move(arguments), output);
    options.OutputFile = Machine->Work.File("tavelon.out");
    return Machine->Run(TavelonExe, options);
  }

  static std::unique_ptr<WineMachine> Machine;
};

std::unique_ptr<WineMachine> WineRun::Machine;

TEST(WindowsBuild, IsASelfContainedConsoleProgramOverUser32AndKernel32) {
  const RunResult dump = RunProgram(MINGW_OBJDUMP_PATH, Arguments({"-p", TavelonExe}));
  ASSERT_EQ(dump.ExitCode, 0) << dump.Err;
  EXPECT_NE(dump.Out.find("(Windows CUI)"), std::string::npos);

  // Imported functions by DLL, as objdump lists them under each "DLL Name:".
  std::map<std::string, std::set<std::string>> imports;
  std::istringstream lines(dump.Out);
  std::string line, dll;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_search(line, match, std::regex(R"(DLL Name: (\S+))"))) {
      dll = match[1];
      for (char& c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      imports[dll];
    } else if (line.empty()) {
      dll.clear();
    } else if (!dll.empty() && std::regex_match(line, match, std::regex(R"(\s+[0-9a-f]+\s+\d+\s+(\w+))"))) {
      imports[dll].insert(match[1]);
    }
  }
  for (const auto& [name, functions] : imports) {
    EXPECT_TRUE(name == "kernel32.dll" || name == "user32.dll" || name == "msvcrt.dll") << "imports " << name;
  }
  for (const char* function :
       {"EnumDisplayDevicesA", "EnumDisplaySettingsA", "ChangeDisplaySettingsExA", "CharNextA", "CharToOemA"}) {
    EXPECT_EQ(imports["user32.dll"].count(function), 1u) << function;
  }
  for (const char* function : {"GetCommandLineA", "GetStdHandle", "GetFileType", "WriteFile", "ExitProcess",
                               "GetModuleFileNameA", "GetModuleHandleA"}) {
    EXPECT_EQ(imports["kernel32.dll"].count(function), 1u) << function;
  }
}

TEST_F(WineRun, ListingAgreesWithWhatTheDisplayServiceAnswers) {
  const std::vector<ProbedDevice> devices = Machine->Probe();
  ASSERT_EQ(devices.size(), 2u);
  ASSERT_GT(devices[0].Modes.size(), 2u);
  const struct {
    std::vector<std::string> Arguments;
    std::string Expected;
  } cases[] = {
      {{}, ExpectedListing(devices, true)},
      {{"/Z"}, ExpectedListing(devices, false)},
      {{"/D1", "/X800"}, ExpectedListing(devices, false)},
      {{"/Q"}, ""},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.Arguments));
    const RunResult run = Tavelon(row.Arguments);
    EXPECT_EQ(run.Out, row.Expected);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.ExitCode, 0);
  }
}

TEST_F(WineRun, UsageTextComesAloneWithCrLf) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"/H"}, {"-h"}, {"/help"}, {"/Q", "/H", "/P1"}}) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const RunResult run = Tavelon(arguments);
    EXPECT_EQ(run.Out, Usage);
    EXPECT_EQ(run.ExitCode, 0);
  }
}

TEST_F(WineRun, ResolutionChangeToAnOfferedSizeReachesTheXServer) {
  for (int number : {0, 1}) {
    SCOPED_TRACE("device " + std::to_string(number));
    const std::vector<ProbedDevice> before = Machine->Probe();
    const ProbedDevice& device = before[static_cast<std::size_t>(number)];
    const std::string output = OutputOf(Machine->Server, device);
    ASSERT_NE(output, "");
    // The change keeps the current depth and refresh rate, so the new size must have both.
    const ProbedMode* target = nullptr;
    for (const ProbedMode& mode : device.Modes) {
      if (mode.Bits == device.Current.Bits && mode.Frequency == device.Current.Frequency &&
          SizeText(mode) != SizeText(device.Current)) {
        target = &mode;
        break;
      }
    }
    ASSERT_NE(target, nullptr);

    const RunResult change = Tavelon({"/D" + std::to_string(number), "/X" + std::to_string(target->Width),
                                      "/Y" + std::to_string(target->Height)});
    EXPECT_EQ(change.Out, ExpectedListing(before, false) + ChangeReport(before, number, *target) +
                              "Successful Change: " + device.Name + " " + device.String + "\r\n\r\n");
    EXPECT_EQ(change.ExitCode, 0);
    EXPECT_EQ(Outputs(Machine->Server)[output].Width, target->Width);
    EXPECT_EQ(Outputs(Machine->Server)[output].Height, target->Height);
    const std::vector<ProbedDevice> changed = Machine->Probe();
    EXPECT_EQ(SizeText(changed[static_cast<std::size_t>(number)].Current), SizeText(*target));

    // And back, quietly: only the change report.
    const RunResult back = Tavelon({"/Q", "/D" + std::to_string(number), "/X" + std::to_string(device.Current.Width),
                                    "/Y" + std::to_string(device.Current.Height)});
    EXPECT_EQ(back.Out, ChangeReport(changed, number, device.Current) + "Successful Change: " + device.Name + " " +
                            device.String + "\r\n\r\n");
    EXPECT_EQ(Outputs(Machine->Server)[output].Width, device.Current.Width);
    EXPECT_EQ(Outputs(Machine->Server)[output].Height, device.Current.Height);
  }
}

TEST_F(WineRun, SizeTheOutputDoesNotOfferIsRefusedAndNothingMoves) {
  const std::vector<ProbedDevice> devices = Machine->Probe();
  const ProbedDevice& device = devices[0];
  // A size the output has only at refresh rates other than the current one: the change
  // carries the current rate over, so Wine finds no such mode either.
  const ProbedMode* otherRate = nullptr;
  for (const ProbedMode& mode : device.Modes) {
    bool atCurrentRate = false;
    for (const ProbedMode& same : device.Modes) {
      atCurrentRate |= SizeText(same) == SizeText(mode) && same.Frequency == device.Current.Frequency;
    }
    if (!atCurrentRate) otherRate = &mode;
  }
  ASSERT_NE(otherRate, nullptr) << "the dummy server offers 1280x720 at 45 and 70 Hz only";
  ProbedMode noSuchSize;
  noSuchSize.Width = 1234;
  noSuchSize.Height = 567;

  const auto outputsBefore = Outputs(Machine->Server);
  for (const ProbedMode& target : {noSuchSize, *otherRate}) {
    SCOPED_TRACE(SizeText(target));
    const RunResult run = Tavelon({"/Q", "/D0", "/X" + std::to_string(target.Width), "/Y" + std::to_string(target.Height)});
    EXPECT_EQ(run.Out, ChangeReport(devices, 0, target) + "Error DISP_CHANGE_BADMODE\r\n\r\n");
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(Outputs(Machine->Server), outputsBefore);
  }
}

// Wine answers DISP_CHANGE_SUCCESSFUL to CDS_SET_PRIMARY with no mode, yet neither its own
// device flags nor the X server's primary output move. This test holds that down, so a Wine
// that starts moving the primary shows up here.
TEST_F(WineRun, PrimaryChangeIsAnsweredAsDoneButNothingMoves) {
  const std::vector<ProbedDevice> devices = Machine->Probe();
  ASSERT_NE(devices[0].Flags & 0x04, 0u);
  const std::string primaryBefore = OutputOf(Machine->Server, devices[0]);
  ASSERT_TRUE(Outputs(Machine->Server)[primaryBefore].Primary);

  const RunResult run = Tavelon({"/P1"});
  const std::string listing = ExpectedListing(devices, false);
  EXPECT_EQ(run.Out, listing + "Successful: Primary set to 1  " + devices[1].Name + " " + devices[1].String +
                         "\r\n\r\n" + listing);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_TRUE(Outputs(Machine->Server)[primaryBefore].Primary);
  EXPECT_EQ(Machine->Probe()[0].Flags, devices[0].Flags);

  const struct {
    std::string Switch;
    std::string Line;
  } refusals[] = {
      {"/P0", "Primary is already set to 0 - nothing to do."},
      {"/P2", "Cannot set primary to 2 - not a physical display."},
      {"/P-1", "Cannot set primary to -1 - not a physical display."},
  };
  for (const auto& row : refusals) {
    SCOPED_TRACE(row.Switch);
    const RunResult refused = Tavelon({"/Q", row.Switch});
    EXPECT_EQ(refused.Out, row.Line + "\r\n");
    EXPECT_EQ(refused.ExitCode, 1);
  }
}

// The line is written into a batch file and run by Wine's cmd, so the program's
// GetCommandLineA holds it exactly as written (the probe shows that it does); the program
// then splits it itself: quotes join, a backslash escapes nothing. (A switch glued to the
// quoted program, as in "Tavelon.exe"/H, cannot be tried this way: Wine's cmd takes it for
// part of the program's file name and finds no such program.)
TEST_F(WineRun, CommandLineIsSplitFromTheRawString) {
  const std::vector<ProbedDevice> devices = Machine->Probe();
  const std::string catalogue = ExpectedListing(devices, true);
  const std::string listing = ExpectedListing(devices, false);
  const struct {
    std::string AfterProgram;  // what follows the quoted program path
    std::string Expected;
    int ExitCode;
  } cases[] = {
      {" \"/H\"", Usage, 0},
      {" \"\"/H", Usage, 0},
      {" \"a\\\" /H", Usage, 0},          // a\ and /H: the backslash escapes no quote
      {" \"\" \"\"   ", catalogue, 0},    // pairs of quotes are no arguments
      {" \"/Q /H\"", "", 0},              // one argument, the Q switch
      {" /Z\" /H\"", listing, 0},         // one argument "/Z /H"
      {" /P\"7\"", listing + "Cannot set primary to 7 - not a physical display.\r\n", 1},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.AfterProgram);
    const std::string probe = "\"" + WineMachine::WindowsPath(ProbeExe) + "\" commandline";
    const RunResult echo = Machine->RunCommandLine(probe + row.AfterProgram);
    EXPECT_EQ(echo.Out, "commandline " + probe + row.AfterProgram + "\n");

    const RunResult run = Machine->RunCommandLine("\"" + WineMachine::WindowsPath(TavelonExe) + "\"" + row.AfterProgram);
    EXPECT_EQ(run.Out, row.Expected);
    EXPECT_EQ(run.ExitCode, row.ExitCode);
  }
}

// A file, a pipe and a terminal get the same text. On a terminal Wine's console stands
// between: GetFileType answers FILE_TYPE_CHAR, and what reaches the terminal is the
// console's repaint of that text.
TEST_F(WineRun, FilePipeAndTerminalGetTheSameText) {
  const std::string listing = ExpectedListing(Machine->Probe(), true);
  const struct {
    StdOutKind Output;
    unsigned FileType;  // what Wine's GetFileType answers for it
  } cases[] = {
      {StdOutKind::File, 1},      // FILE_TYPE_DISK
      {StdOutKind::Pipe, 3},      // FILE_TYPE_PIPE
      {StdOutKind::Terminal, 2},  // FILE_TYPE_CHAR
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(static_cast<int>(row.Output));
    RunOptions probe = Arguments({"filetype"}, row.Output);
    probe.OutputFile = Machine->Work.File("probe.out");
    probe.TerminalColumns = 200;
    EXPECT_EQ(Machine->Run(ProbeExe, probe).Err, "filetype " + std::to_string(row.FileType) + "\n");

    for (const auto& [arguments, expected] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{{{"/H"}, Usage}, {{}, listing}}) {
      RunOptions options = Arguments(arguments, row.Output);
      options.OutputFile = Machine->Work.File("tavelon.out");
      options.TerminalColumns = 200;  // no line of the listing is wrapped
      const RunResult run = Machine->Run(TavelonExe, options);
      if (row.Output == StdOutKind::Terminal) {
        EXPECT_EQ(ShownOnTerminal(run.Out), TrimLineEnds(expected));
      } else {
        EXPECT_EQ(run.Out, expected);
      }
      EXPECT_EQ(run.ExitCode, 0);
    }
  }
}

// On a console every output step is written out when it ends: the console repaints once per
// usage line. Buffered like a file, the text would come in 128-byte pieces that end mid-line.
TEST_F(WineRun, ConsoleShowsEveryOutputStepAtOnce) {
  RunOptions options = Arguments({"/H"}, StdOutKind::Terminal);
  options.TerminalColumns = 200;
  const RunResult run = Machine->Run(TavelonExe, options);
  std::vector<std::string> repaints;
  std::string stream = run.Out;
  for (std::size_t end; (end = stream.find("\x1b[?25h")) != std::string::npos; stream.erase(0, end + 6)) {
    repaints.push_back(ShownOnTerminal(stream.substr(0, end + 6)));
  }
  std::vector<std::string> lines;
  std::istringstream usage(Usage);
  for (std::string line; std::getline(usage, line);) lines.push_back(line + "\n");
  EXPECT_EQ(repaints, lines);
  EXPECT_EQ(stream, "");
}

// Offsets within the loaded program that hold code: the .text section's, relative to the
// image base.
std::pair<std::uint32_t, std::uint32_t> CodeOffsets(const std::string& program) {
  const RunResult headers = RunProgram(MINGW_OBJDUMP_PATH, Arguments({"-p", "-h", program}));
  std::smatch match;
  std::uint64_t base = 0;
  if (std::regex_search(headers.Out, match, std::regex(R"(ImageBase\s+([0-9a-f]+))"))) base = std::stoull(match[1], nullptr, 16);
  if (!std::regex_search(headers.Out, match, std::regex(R"(\.text\s+([0-9a-f]+)\s+([0-9a-f]+))"))) return {0, 0};
  const auto start = static_cast<std::uint32_t>(std::stoull(match[2], nullptr, 16) - base);
  return {start, start + static_cast<std::uint32_t>(std::stoull(match[1], nullptr, 16))};
}

TEST_F(WineRun, FailedWriteEndsWithTheFailureReport) {
  // A copy under another name shows that the report names the running file.
  const std::string renamed = Machine->Work.File("Other Name.exe");
  std::filesystem::copy_file(TavelonExe, renamed);
  const auto [codeStart, codeEnd] = CodeOffsets(TavelonExe);
  ASSERT_LT(codeStart, codeEnd);
  // Step: the output step the run fails at; failures at one step give one offset, each step
  // its own. Empty where the step depends on how long Wine's device texts are.
  const struct {
    std::string Program;
    std::string ModuleName;
    StdOutKind Output;
    std::vector<std::string> Arguments;
    std::string Text;
    std::string Step;
  } cases[] = {
      {TavelonExe, "Tavelon.exe", StdOutKind::DiskFull, {"/H"}, "Disk full.", "usage line"},
      {TavelonExe, "Tavelon.exe", StdOutKind::DiskFull, {}, "Disk full.", "device header"},
      {renamed, "Other Name.exe", StdOutKind::DiskFull, {"/H"}, "Disk full.", "usage line"},
      {TavelonExe, "Tavelon.exe", StdOutKind::Closed, {"/H"}, "I/O error 105.", "usage line"},
      // Wine answers a pipe without a reader with ERROR_PIPE_NOT_CONNECTED.
      {TavelonExe, "Tavelon.exe", StdOutKind::ReaderGone, {}, "I/O error 233.", ""},
  };
  const std::regex report(R"(Exception EInOutError in module (.+) at ([0-9A-F]{8})\.\r\n(.*)\r\n\r\n)");
  std::map<std::string, std::uint32_t> offsetOfStep;
  for (const auto& row : cases) {
    SCOPED_TRACE(row.ModuleName + " " + ::testing::PrintToString(row.Arguments) + " " + row.Text);
    const RunResult run = Machine->Run(row.Program, Arguments(row.Arguments, row.Output));
    std::smatch match;
    ASSERT_TRUE(std::regex_match(run.Err, match, report)) << run.Err;
    EXPECT_EQ(match[1], row.ModuleName);
    const auto offset = static_cast<std::uint32_t>(std::stoul(match[2], nullptr, 16));
    EXPECT_GE(offset, codeStart);
    EXPECT_LT(offset, codeEnd);
    EXPECT_EQ(match[3], row.Text);
    EXPECT_EQ(run.ExitCode, 1);
    if (row.Step.empty()) continue;
    const auto [known, first] = offsetOfStep.emplace(row.Step, offset);
    EXPECT_EQ(known->second, offset) << "another offset for the " << row.Step;
    for (const auto& [step, other] : offsetOfStep) {
      if (step != row.Step) {
        EXPECT_NE(other, offset) << "same offset as the " << step;
      }
    }
  }
}

}  // namespace
