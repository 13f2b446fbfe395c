// Fuzzes the whole program in process: the command line, the machine the display service
// describes, the answers to changes and the fate of every write all come from the input.
// The service checks on every call that the program only names devices it was told of.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Tavelon.h"
#include "platform/Console.h"

int TavelonMain(int argc, char** argv);

namespace {

struct FuzzMode {
  DWORD Width, Height, Bits;
};

struct FuzzDevice {
  std::string Name;  // up to 32 bytes, NULs included
  std::string String;
  DWORD Flags;
  bool HasCurrent;
  FuzzMode Current;
  std::vector<FuzzMode> Modes;
  LONG ChangeResult;
  LONG PrimaryResult;
};

struct ProgramEnded {
  int ExitCode;
};

std::vector<FuzzDevice> Machine;
std::string CommandLine;
std::string Out;
std::string Err;
std::size_t OutLimit;  // bytes standard output takes before it fails; 0: never fails
int OutError;
bool Console;
DWORD DevicesReported;  // devices the service has reported so far in this run

// Aborts, naming the broken rule, which the fuzzer then reports as a crash with its input.
void Check(bool holds, const char* rule) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", rule);
  std::abort();
}

// The program may only name a device that the service reported to it.
void CheckKnownDevice(LPCSTR name) {
  Check(name != nullptr, "device named");
  const std::size_t length = strnlen(name, 33);
  Check(length <= 32, "device name within 32 bytes");
  for (DWORD i = 0; i < DevicesReported && i < Machine.size(); ++i) {
    const std::string& known = Machine[i].Name;
    if (std::string_view(name, length) == std::string_view(known.data(), strnlen(known.data(), known.size()))) return;
  }
  Check(false, "only devices the service reported are named");
}

FuzzMode ConsumeMode(FuzzedDataProvider& data) {
  return {data.ConsumeIntegral<DWORD>(), data.ConsumeIntegral<DWORD>(), data.ConsumeIntegral<DWORD>()};
}

void BuildRun(FuzzedDataProvider& data) {
  Machine.clear();
  CommandLine = "fuzz " + data.ConsumeRandomLengthString(80);
  OutLimit = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::size_t>(1, 4096) : 0;
  OutError = data.PickValueInArray({101, 32, 5, 2});
  Console = data.ConsumeBool();
  const int devices = data.ConsumeIntegralInRange(0, 13);
  for (int i = 0; i < devices; ++i) {
    FuzzDevice device;
    device.Name = data.ConsumeBytesAsString(data.ConsumeIntegralInRange<std::size_t>(0, 32));
    device.String = data.ConsumeBytesAsString(data.ConsumeIntegralInRange<std::size_t>(0, 128));
    // Names go out as the service gives them; without line feeds of their own, every line
    // feed in the output is the program's, which must be preceded by CR.
    std::replace(device.Name.begin(), device.Name.end(), '\n', '_');
    std::replace(device.String.begin(), device.String.end(), '\n', '_');
    device.Flags = data.ConsumeIntegral<DWORD>();
    device.HasCurrent = data.ConsumeBool();
    device.Current = ConsumeMode(data);
    const int modes = data.ConsumeIntegralInRange(0, 40);
    for (int m = 0; m < modes; ++m) device.Modes.push_back(ConsumeMode(data));
    device.ChangeResult = data.ConsumeIntegralInRange<LONG>(-7, 2);
    device.PrimaryResult = data.ConsumeIntegralInRange<LONG>(-7, 2);
    Machine.push_back(std::move(device));
  }
}

// Program-wide state starts zero in a fresh process; here every run shares one.
void ResetProgramState() {
  std::memset(DisplayTable, 0, sizeof DisplayTable);
  std::memset(&CurrentMode, 0, sizeof CurrentMode);
  std::memset(&NewMode, 0, sizeof NewMode);
  DeviceQueryNumber = 0;
  LastCallOk = false;
  QuietMode = false;
  ModeIndex = 0;
  ModeText.clear();
  PrevModeText.clear();
  TargetDevice = TargetWidth = TargetHeight = 0;
  PrimaryTarget = nullptr;
  Out.clear();
  Err.clear();
  DevicesReported = 0;
}

const FuzzDevice* DeviceNamed(LPCSTR name) {
  for (const FuzzDevice& device : Machine) {
    if (std::string_view(device.Name.data(), strnlen(device.Name.data(), device.Name.size())) == name) return &device;
  }
  return nullptr;
}

void Fill(const FuzzMode& from, DEVMODEA& mode) {
  mode.dmPelsWidth = from.Width;
  mode.dmPelsHeight = from.Height;
  mode.dmBitsPerPel = from.Bits;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
}

}  // namespace

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD flags) {
  Check(device == nullptr && flags == 0 && record->cb == 168, "device query arguments");
  Check(deviceNumber <= 10, "no device query past number 10");
  if (deviceNumber >= Machine.size()) return 0;
  const FuzzDevice& answer = Machine[deviceNumber];
  std::memset(record->DeviceName, 0, sizeof record->DeviceName);
  std::memset(record->DeviceString, 0, sizeof record->DeviceString);
  std::memcpy(record->DeviceName, answer.Name.data(), answer.Name.size());
  std::memcpy(record->DeviceString, answer.String.data(), answer.String.size());
  record->StateFlags = answer.Flags;
  if (deviceNumber + 1 > DevicesReported) DevicesReported = deviceNumber + 1;
  return 1;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
  CheckKnownDevice(deviceName);
  Check(mode->dmSize == 156 && mode->dmDriverExtra == 0, "mode query record sizes");
  const FuzzDevice* device = DeviceNamed(deviceName);
  if (device == nullptr) return 0;
  if (modeNumber == ENUM_CURRENT_SETTINGS) {
    if (!device->HasCurrent) return 0;
    Fill(device->Current, *mode);
    return 1;
  }
  if (modeNumber >= device->Modes.size()) return 0;
  Fill(device->Modes[modeNumber], *mode);
  return 1;
}

LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameter) {
  CheckKnownDevice(deviceName);
  Check(window == nullptr && parameter == nullptr, "change call window and parameter");
  Check(mode == nullptr ? flags == CDS_SET_PRIMARY : flags == 0 && mode->dmSize == 156, "change call mode and flags");
  const FuzzDevice* device = DeviceNamed(deviceName);
  if (device == nullptr) return DISP_CHANGE_BADPARAM;
  return mode != nullptr ? device->ChangeResult : device->PrimaryResult;
}

void StartProcess() {}
const char* ProcessCommandLine() { return CommandLine.c_str(); }
const char* NextCommandLineChar(const char* at) { return *at == '\0' ? at : at + 1; }
int OpenStdOut() { return 0; }
bool StdOutIsConsole() { return Console; }

int WriteStdOut(const char* bytes, std::size_t count) {
  if (OutLimit != 0 && Out.size() + count > OutLimit) return OutError;
  Out.append(bytes, count);
  return 0;
}

void WriteStdErr(const std::string& text) { Err += text; }
std::string ModuleName() { return "fuzz"; }
std::uint32_t ModuleOffset(const void*) { return 0; }
void EndProcess(int exitCode) { throw ProgramEnded{exitCode}; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  BuildRun(provider);
  ResetProgramState();
  int exitCode = -1;
  try {
    char program[] = "fuzz";
    char* argv[] = {program, nullptr};
    TavelonMain(1, argv);
  } catch (const ProgramEnded& end) {
    exitCode = end.ExitCode;
  }
  Check(exitCode == 0 || exitCode == 1, "exit code 0 or 1");
  Check(Err.empty() || (exitCode == 1 && Err.rfind("Exception EInOutError in module fuzz at 00000000.\r\n", 0) == 0),
        "standard error holds only the failure report");
  for (std::size_t at = Out.find('\n'); at != std::string::npos; at = Out.find('\n', at + 1)) {
    Check(at > 0 && Out[at - 1] == '\r', "every line ends in CR LF");
  }
  return 0;
}
