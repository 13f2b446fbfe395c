// Tavelon.exe and the probe under Wine on a private dummy X server: one fresh Wine prefix
// per machine, its wineserver kept running for the machine's life and ended with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Process.h"
#include "XServer.h"

// One mode as the probe read it from EnumDisplaySettingsA.
struct ProbedMode {
  std::uint32_t Width = 0;        // pixels
  std::uint32_t Height = 0;       // pixels
  std::uint32_t Bits = 0;         // per pixel
  std::uint32_t Frequency = 0;    // Hz
  std::int32_t X = 0, Y = 0;      // desktop position, current mode only
};

// One device as the probe read it, with its long DISPLAY_DEVICEA record.
struct ProbedDevice {
  std::string Name;
  std::string String;
  std::uint32_t Flags = 0;
  bool HasCurrent = false;
  ProbedMode Current;
  std::vector<ProbedMode> Modes;  // in the service's order
};

class WineMachine {
 public:
  // Starts the X server, makes a fresh prefix and boots it. Throws when it cannot.
  WineMachine();
  // Ends the prefix's wineserver and every Wine process in it, then the X server.
  ~WineMachine();
  WineMachine(const WineMachine&) = delete;
  WineMachine& operator=(const WineMachine&) = delete;

  // Runs a Windows program (a path on this machine) under wine with the options' arguments
  // and output; the machine's Wine environment is added to the options'.
  RunResult Run(const std::string& program, RunOptions options) const;

  // Runs a command line through Wine's cmd from a batch file, so that the line reaches the
  // program exactly as written.
  RunResult RunCommandLine(const std::string& line, StdOutKind output = StdOutKind::Pipe) const;

  // What the display service answers now, read by the probe.
  std::vector<ProbedDevice> Probe() const;

  // The Windows form of a path on this machine (Wine's drive Z: is the root).
  static std::string WindowsPath(const std::string& path);

  DummyXServer Server{2};
  TempFolder Work;

 private:
  std::vector<std::pair<std::string, std::string>> Environment() const;
  std::string PrefixPath() const { return Work.File("prefix"); }
};

// Paths of the programs under test, from the build.
extern const std::string TavelonExe;
extern const std::string ProbeExe;
