#include "WineRun.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>

const std::string TavelonExe = TAVELON_EXE_PATH;
const std::string ProbeExe = WINE_PROBE_PATH;

namespace {

const std::string Wine = WINE_PATH;
const std::string WineServer = WINESERVER_PATH;

// Wine boots slowly and leaves services running that inherit the standard descriptors of
// whoever started them; files, not pipes, let those runs end when the program ends.
RunOptions QuietOptions(const WineMachine& machine, std::vector<std::string> arguments, int timeoutSeconds) {
  RunOptions options;
  options.Arguments = std::move(arguments);
  options.Output = StdOutKind::File;
  options.OutputFile = machine.Work.File("daemon.out");
  options.ErrorFile = machine.Work.File("daemon.err");
  options.TimeoutSeconds = timeoutSeconds;
  return options;
}

void Require(const RunResult& run, const std::string& what) {
  if (run.ExitCode != 0 || run.TimedOut) {
    throw std::runtime_error(what + " failed (exit " + std::to_string(run.ExitCode) + "): " + run.Err);
  }
}

}  // namespace

WineMachine::WineMachine() {
  // The server runs until the destructor ends it, so the services wineboot starts stay up
  // with it and no later run starts them again with its own descriptors.
  std::filesystem::create_directory(PrefixPath());
  RunOptions server = QuietOptions(*this, {"-p"}, 60);
  server.Environment = Environment();
  Require(RunProgram(WineServer, server), "wineserver -p");
  // The prefix is made here, once, with the services that stay up with the server.
  Require(Run("wineboot", QuietOptions(*this, {"-i"}, 240)), "wineboot -i");
}

WineMachine::~WineMachine() {
  RunOptions kill = QuietOptions(*this, {"-k"}, 60);
  kill.Environment = Environment();
  RunProgram(WineServer, kill);
}

std::vector<std::pair<std::string, std::string>> WineMachine::Environment() const {
  return {
      {"WINEPREFIX", PrefixPath()},
      {"WINEDEBUG", "-all"},
      {"DISPLAY", Server.Display},
      // No Mono, Gecko or menu entries: they would ask questions or write outside the prefix.
      {"WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=d"},
  };
}

RunResult WineMachine::Run(const std::string& program, RunOptions options) const {
  options.Arguments.insert(options.Arguments.begin(), program);
  const auto environment = Environment();
  options.Environment.insert(options.Environment.end(), environment.begin(), environment.end());
  return RunProgram(Wine, options);
}

RunResult WineMachine::RunCommandLine(const std::string& line, StdOutKind output) const {
  const std::string batch = Work.File("run.cmd");
  WriteFile(batch, "@" + line + "\r\n");
  RunOptions options;
  options.Arguments = {"/c", WindowsPath(batch)};
  options.Output = output;
  options.OutputFile = Work.File("cmd.out");
  return Run("cmd", options);
}

std::vector<ProbedDevice> WineMachine::Probe() const {
  RunOptions options;
  options.Arguments = {"displays"};
  const RunResult run = Run(ProbeExe, options);
  Require(run, "wine-probe displays");
  std::vector<ProbedDevice> devices;
  std::istringstream lines(run.Out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "device") {
      std::string flagsWord;
      devices.emplace_back();
      int number = 0;
      fields >> number >> flagsWord >> devices.back().Flags;
    } else if (devices.empty()) {
      throw std::runtime_error("probe line before any device: " + line);
    } else if (kind == "name") {
      devices.back().Name = line.substr(5);
    } else if (kind == "string") {
      devices.back().String = line.substr(7);
    } else if (kind == "current") {
      ProbedMode& mode = devices.back().Current;
      devices.back().HasCurrent =
          static_cast<bool>(fields >> mode.Width >> mode.Height >> mode.Bits >> mode.Frequency >> mode.X >> mode.Y);
    } else if (kind == "mode") {
      ProbedMode mode;
      int number = 0;
      fields >> number >> mode.Width >> mode.Height >> mode.Bits >> mode.Frequency;
      devices.back().Modes.push_back(mode);
    } else {
      throw std::runtime_error("unknown probe line: " + line);
    }
  }
  return devices;
}

std::string WineMachine::WindowsPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}
