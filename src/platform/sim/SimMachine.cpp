// The simulated machine: the three display calls answered from a JSON fixture, for tests.
// TAVELON_SIM_MACHINE names the fixture; TAVELON_SIM_LOG, when set, names a file that gets
// one JSON object per line for every call, written at once so that it interleaves in order
// with whatever else is written to the same file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "../DisplayService.h"

namespace {

using nlohmann::json;

struct SimMode {
  DWORD Width = 0;   // pixels
  DWORD Height = 0;  // pixels
  DWORD Bits = 0;    // per pixel
  DWORD Frequency = 0;  // Hz
  DWORD Fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  LONG X = 0;
  LONG Y = 0;
};

struct SimDevice {
  std::string Name;    // bytes
  std::string String;  // bytes
  DWORD Flags = 0;
  std::optional<SimMode> Current;
  std::vector<SimMode> Modes;
  LONG ChangeResult = 0;
  LONG PrimaryResult = 0;
};

using SimDevices = std::vector<SimDevice>;

bool Loaded = false;
SimDevices Before;
std::optional<SimDevices> AfterChange;
bool Changed = false;
int LogFile = -1;

[[noreturn]] void FixtureError(const std::string& why) {
  const std::string text = "tavelon-sim: unusable machine fixture: " + why + "\n";
  if (write(STDERR_FILENO, text.data(), text.size()) < 0) {
    // Nothing more can be said.
  }
  std::_Exit(2);
}

// Fixture texts are bytes: each character of the JSON string is one byte, 0 to 255.
std::string BytesOf(const json& value, std::size_t maxBytes, const char* what) {
  const std::string utf8 = value.get<std::string>();
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
      i += 1;
    } else if ((lead & 0xE0) == 0xC0 && lead <= 0xC3 && i + 1 < utf8.size()) {
      bytes += static_cast<char>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
      i += 2;
    } else {
      FixtureError(std::string(what) + " holds a character above \\u00ff");
    }
  }
  if (bytes.size() > maxBytes) FixtureError(std::string(what) + " is longer than " + std::to_string(maxBytes) + " bytes");
  return bytes;
}

// Bytes back to a JSON string, byte n as character n.
std::string TextOf(const char* bytes) {
  std::string utf8;
  for (const char* at = bytes; *at != '\0'; ++at) {
    const auto byte = static_cast<unsigned char>(*at);
    if (byte < 0x80) {
      utf8 += static_cast<char>(byte);
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

DWORD Unsigned(const json& object, const char* key, DWORD otherwise) {
  if (!object.contains(key)) return otherwise;
  const auto value = object.at(key).get<std::int64_t>();
  if (value < 0 || value > 0xFFFFFFFFll) FixtureError(std::string(key) + " is not an unsigned 32-bit number");
  return static_cast<DWORD>(value);
}

LONG Signed(const json& object, const char* key) {
  if (!object.contains(key)) return 0;
  const auto value = object.at(key).get<std::int64_t>();
  if (value < INT32_MIN || value > INT32_MAX) FixtureError(std::string(key) + " is not a signed 32-bit number");
  return static_cast<LONG>(value);
}

SimMode ModeOf(const json& object) {
  SimMode mode;
  mode.Width = Unsigned(object, "width", 0);
  mode.Height = Unsigned(object, "height", 0);
  mode.Bits = Unsigned(object, "bits", 0);
  mode.Frequency = Unsigned(object, "frequency", 0);
  mode.Fields = Unsigned(object, "fields", mode.Fields);
  mode.X = Signed(object, "x");
  mode.Y = Signed(object, "y");
  return mode;
}

SimDevices DevicesOf(const json& machine) {
  SimDevices devices;
  for (const json& entry : machine.at("devices")) {
    SimDevice device;
    device.Name = BytesOf(entry.value("name", json("")), 32, "name");
    device.String = BytesOf(entry.value("string", json("")), 128, "string");
    device.Flags = Unsigned(entry, "flags", 0);
    if (entry.contains("current") && !entry.at("current").is_null()) device.Current = ModeOf(entry.at("current"));
    if (entry.contains("modes")) {
      const json& modes = entry.at("modes");
      device.Modes.reserve(modes.size());
      for (const json& mode : modes) device.Modes.push_back(ModeOf(mode));
    }
    device.ChangeResult = Signed(entry, "change_result");
    device.PrimaryResult = Signed(entry, "primary_result");
    devices.push_back(std::move(device));
  }
  return devices;
}

void LoadMachine() {
  if (Loaded) return;
  Loaded = true;
  const char* path = std::getenv("TAVELON_SIM_MACHINE");
  if (path == nullptr) FixtureError("TAVELON_SIM_MACHINE is not set");
  std::ifstream file(path, std::ios::binary);
  if (!file) FixtureError(std::string("cannot read ") + path);
  try {
    const json machine = json::parse(file);
    Before = DevicesOf(machine);
    if (machine.contains("after_change")) AfterChange = DevicesOf(machine.at("after_change"));
  } catch (const json::exception& error) {
    FixtureError(std::string(path) + ": " + error.what());
  }
  if (const char* logPath = std::getenv("TAVELON_SIM_LOG")) {
    LogFile = open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (LogFile == -1) FixtureError(std::string("cannot open the call log ") + logPath);
  }
}

const SimDevices& Devices() { return Changed && AfterChange ? *AfterChange : Before; }

const SimDevice* DeviceNamed(LPCSTR name) {
  if (name == nullptr) return nullptr;
  for (const SimDevice& device : Devices()) {
    if (device.Name == name) return &device;
  }
  return nullptr;
}

bool Logging() { return LogFile != -1; }

void Log(const json& line) {
  const std::string text = line.dump() + "\n";
  if (write(LogFile, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    FixtureError("cannot write the call log");
  }
}

void FillMode(const SimMode& from, DEVMODEA& mode) {
  // The service answers a whole record; only the caller's size fields survive.
  const WORD size = mode.dmSize;
  const WORD driverExtra = mode.dmDriverExtra;
  std::memset(&mode, 0, sizeof mode);
  mode.dmSize = size;
  mode.dmDriverExtra = driverExtra;
  mode.dmFields = from.Fields;
  mode.dmPosition = {from.X, from.Y};
  mode.dmBitsPerPel = from.Bits;
  mode.dmPelsWidth = from.Width;
  mode.dmPelsHeight = from.Height;
  mode.dmDisplayFrequency = from.Frequency;
}

json ModeJson(const DEVMODEA& mode) {
  return {{"width", mode.dmPelsWidth},       {"height", mode.dmPelsHeight},
          {"bits", mode.dmBitsPerPel},       {"frequency", mode.dmDisplayFrequency},
          {"fields", mode.dmFields},         {"x", mode.dmPosition.x},
          {"y", mode.dmPosition.y},          {"size", mode.dmSize},
          {"driver_extra", mode.dmDriverExtra}};
}

}  // namespace

BOOL EnumDisplayDevicesA(LPCSTR, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD) {
  LoadMachine();
  const SimDevices& devices = Devices();
  const bool found = deviceNumber < devices.size() && record->cb >= sizeof(DisplayDeviceShortA);
  if (found) {
    const SimDevice& device = devices[deviceNumber];
    std::memset(record->DeviceName, 0, sizeof record->DeviceName);
    std::memset(record->DeviceString, 0, sizeof record->DeviceString);
    std::memcpy(record->DeviceName, device.Name.data(), device.Name.size());
    std::memcpy(record->DeviceString, device.String.data(), device.String.size());
    record->StateFlags = device.Flags;
  }
  if (Logging()) Log({{"call", "EnumDisplayDevicesA"}, {"device", deviceNumber}, {"result", found ? 1 : 0}});
  return found ? 1 : 0;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
  LoadMachine();
  const SimDevice* device = DeviceNamed(deviceName);
  const SimMode* answer = nullptr;
  if (device != nullptr) {
    if (modeNumber == ENUM_CURRENT_SETTINGS) {
      if (device->Current) answer = &*device->Current;
    } else if (modeNumber < device->Modes.size()) {
      answer = &device->Modes[modeNumber];
    }
  }
  if (answer != nullptr) FillMode(*answer, *mode);
  if (Logging()) {
    Log({{"call", "EnumDisplaySettingsA"},
         {"name", TextOf(deviceName != nullptr ? deviceName : "")},
         {"mode", static_cast<std::int32_t>(modeNumber)},
         {"result", answer != nullptr ? 1 : 0}});
  }
  return answer != nullptr ? 1 : 0;
}

LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND, DWORD flags, LPVOID) {
  LoadMachine();
  const SimDevice* device = DeviceNamed(deviceName);
  LONG result = DISP_CHANGE_BADPARAM;
  if (device != nullptr) result = mode != nullptr ? device->ChangeResult : device->PrimaryResult;
  if (Logging()) {
    Log({{"call", "ChangeDisplaySettingsExA"},
         {"name", TextOf(deviceName != nullptr ? deviceName : "")},
         {"mode", mode != nullptr ? ModeJson(*mode) : json(nullptr)},
         {"flags", flags},
         {"result", result}});
  }
  if (result == DISP_CHANGE_SUCCESSFUL) Changed = true;
  return result;
}
