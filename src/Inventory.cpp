// The inventory pass and the mode catalogue: reads the device table through the display
// service and reports every device with its flags, current mode and modes.
#include <cstring>

#include "CmdLin.h"
#include "Output.h"
#include "Tavelon.h"

LPCSTR DeviceQueryName = nullptr;
DWORD DeviceQueryFlags = 0;
DWORD DeviceQueryNumber = 0;
DisplayDeviceShortA DisplayTable[MaxDevices];
DEVMODEA CurrentMode;
std::int32_t LastDeviceIndex = 0;
bool EnumFailed = false;
bool LastCallOk = false;
std::int32_t PrimaryIndex = 0;
std::int32_t LastAttachedIndex = 0;
bool QuietMode = false;

std::int32_t ModeIndex = 0;
std::string ModeText;
std::string PrevModeText;

namespace {

struct StateFlagLine {
  DWORD Bit;
  std::string_view Text;
  std::int32_t* RecordedIndex;  // set to the device's number when the bit is set, or null
};

const StateFlagLine StateFlagLines[] = {
    {DISPLAY_DEVICE_ATTACHED_TO_DESKTOP, "DISPLAY_DEVICE_ATTACHED_TO_DESKTOP", &LastAttachedIndex},
    {DISPLAY_DEVICE_MULTI_DRIVER, "DISPLAY_DEVICE_MULTI_DRIVER", nullptr},
    {DISPLAY_DEVICE_PRIMARY_DEVICE, "DISPLAY_DEVICE_PRIMARY_DEVICE", &PrimaryIndex},
    {DISPLAY_DEVICE_MIRRORING_DRIVER, "DISPLAY_DEVICE_MIRRORING_DRIVER", nullptr},
    {DISPLAY_DEVICE_VGA_COMPATIBLE, "DISPLAY_DEVICE_VGA_COMPATIBLE", nullptr},
};

// Devices form an unbroken run from number 0; the first failed query ends it.
void EnumerateDevices() {
  for (std::int32_t i = 0;; ++i) {
    DisplayDeviceShortA& entry = DisplayTable[i];
    entry.cb = DisplayDeviceSize;
    DeviceQueryNumber = static_cast<DWORD>(i);
    LastCallOk = EnumDisplayDevicesA(DeviceQueryName, DeviceQueryNumber, &entry, DeviceQueryFlags) != 0;
    if (!LastCallOk) {
      LastDeviceIndex = i == 0 ? 0 : i - 1;
      if (i > 0) EnumFailed = false;
      return;
    }
    if (i == MaxDevices - 1) {
      LastDeviceIndex = i;
      EnumFailed = false;
      return;
    }
  }
}

void ReportDevice(std::int32_t number) {
  const DisplayDeviceShortA& entry = DisplayTable[number];
  if (!QuietMode) {
    WriteLine({"Device Num: ", DecimalText(number), " Device Name: \"", DeviceNameText(entry), "\"  "});
    WriteLine({"Device String: \"", DeviceStringText(entry), "\""});
  }
  for (const StateFlagLine& flag : StateFlagLines) {
    if ((entry.StateFlags & flag.Bit) == 0) continue;
    if (!QuietMode) WriteLine({flag.Text});
    if (flag.RecordedIndex != nullptr) *flag.RecordedIndex = number;
  }
  if (!QuietMode) WriteLine();

  QueryMode(entry, ENUM_CURRENT_SETTINGS);
  if (!QuietMode) {
    if (LastCallOk) {
      WriteLine({"resolution: ", DecimalText(CurrentMode.dmPelsWidth), "-",
                 DecimalText(CurrentMode.dmPelsHeight), " Bits: ", DecimalText(CurrentMode.dmBitsPerPel)});
    } else {
      WriteLine({"EnumDisplaySettings returned 0"});
    }
  }
  ListModes(entry);
  if (!QuietMode) WriteLine({"\r\n"});
}

// "WIDTHxHEIGHT" of CurrentMode, into ModeText without a new allocation once it has room.
void SetModeText() {
  ModeText.assign(DecimalText(CurrentMode.dmPelsWidth));
  ModeText += 'x';
  ModeText.append(DecimalText(CurrentMode.dmPelsHeight));
}

}  // namespace

std::string_view DeviceNameText(const DisplayDeviceShortA& device) {
  return {device.DeviceName, strnlen(device.DeviceName, sizeof device.DeviceName)};
}

std::string_view DeviceStringText(const DisplayDeviceShortA& device) {
  return {device.DeviceString, strnlen(device.DeviceString, sizeof device.DeviceString)};
}

DeviceNameArgument::DeviceNameArgument(const DisplayDeviceShortA& device) : Text{} {
  const std::string_view name = DeviceNameText(device);
  std::memcpy(Text, name.data(), name.size());
}

void QueryMode(const DisplayDeviceShortA& device, DWORD modeNumber) {
  CurrentMode.dmSize = DevModeSize;
  CurrentMode.dmDriverExtra = 0;
  LastCallOk = EnumDisplaySettingsA(DeviceNameArgument(device).Text, modeNumber, &CurrentMode) != 0;
}

void ListDisplays() {
  // Armed for every pass: a pass that reads no device must never report the entries an
  // earlier pass left in the table.
  EnumFailed = true;
  EnumerateDevices();
  if (EnumFailed) {
    WriteLine({"Error EnumDisplayDevices for device 0"});
    StopRun(1);
  }
  for (std::int32_t number = 0; number <= LastDeviceIndex; ++number) ReportDevice(number);
  if (!QuietMode) WriteLine();
}

// Lists one line per run of modes with the same width and height, naming the run's first
// mode; the run that starts at mode 0 gets none. The closing line repeats the last run.
void ListModes(const DisplayDeviceShortA& device) {
  if (ArgumentCount() != 0 || QuietMode) return;
  WriteLine();
  ModeIndex = 0;
  // A device whose mode 0 cannot be read shows no resolution, not the previous device's.
  ModeText.clear();
  WriteLine({"Iterating display modess on device ", DeviceNameText(device), "..."});
  WriteText({"Mode "});
  do {
    QueryMode(device, static_cast<DWORD>(ModeIndex));
    if (LastCallOk) {
      SetModeText();
      if (ModeText != PrevModeText && ModeIndex >= 1) {
        WriteText({DecimalText(ModeIndex), " Resolution: ", ModeText, "\r\nMode "});
      }
      PrevModeText = ModeText;
    } else {
      WriteText({" Resolution: ", ModeText, "\r\nMode "});
    }
    ++ModeIndex;
  } while (LastCallOk);
  WriteLine({"\r\n"});
}
