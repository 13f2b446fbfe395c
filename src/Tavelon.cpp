// Tavelon: lists the desktop's display devices with their modes, changes one device's
// resolution, or makes one device the primary display. This file is the main sequence
// and the end of the run.
#include "Tavelon.h"

#include "CmdLin.h"
#include "Output.h"
#include "platform/Console.h"

namespace {

constexpr std::string_view UsageLines[] = {
    "Usage: Tavelon.exe /H -    This help",
    "       Tavelon.exe with no parameters - list current display devices and supported modes",
    "       Tavelon.exe /Dn /Xxxx /Yyyy - set resolution of device n to xxx by yyy pixels",
    "       Tavelon.exe /Q - Quiet mode - suppress console output",
};

void SetStartValues() {
  DeviceQueryName = nullptr;
  DeviceQueryFlags = 0;
  LastDeviceIndex = 0;
  PrimaryIndex = 0;
  LastAttachedIndex = 0;
}

void MainSequence() {
  SetStartValues();
  if (SwitchPresent('H')) {
    for (std::string_view line : UsageLines) WriteLine({line});
    return;
  }
  QuietMode = SwitchPresent('Q');
  ListDisplays();
  if (SwitchPresent('P')) {
    SetPrimary();
  } else if (SwitchPresent('D') && SwitchPresent('X') && SwitchPresent('Y')) {
    SetResolution();
  }
}

// Every end of the run comes here: the texts are released, pending output is written out
// and the process ends. Output that cannot be written out is reported, never lost silently.
[[noreturn]] __attribute__((noinline)) void EndRun(int exitCode) {
  ModeText = {};
  PrevModeText = {};
  if (const int error = FlushOutput()) {
    ReportOutputFailure(error, __builtin_return_address(0));
    exitCode = 1;
  }
  EndProcess(exitCode);
}

}  // namespace

void StopRun(int exitCode) { throw RunEnd{exitCode}; }

int main(int argc, char** argv) {
  StartProcess();
  const char* commandLine = ProcessCommandLine();
  ArgumentList = commandLine != nullptr ? SplitCommandLine(commandLine)
                                        : ArgumentsFromVector(argc, argv);
  int exitCode = 0;
  try {
    MainSequence();
  } catch (const RunEnd& end) {
    exitCode = end.ExitCode;
  }
  EndRun(exitCode);
}
