// Program-wide state and the procedures of the main sequence, the inventory pass and
// the change actions. All of it lives for the whole run, on the program's one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "UTypes.h"

// Inventory (Inventory.cpp).
extern LPCSTR DeviceQueryName;    // device argument of the device query: null for the whole run
extern DWORD DeviceQueryFlags;    // flags argument of the device query: 0 for the whole run
extern DWORD DeviceQueryNumber;   // device number being queried
extern DisplayDeviceShortA DisplayTable[MaxDevices];
extern DEVMODEA CurrentMode;      // filled by every mode query
extern std::int32_t LastDeviceIndex;
extern bool EnumFailed;           // armed by every pass; this pass has read no device yet
extern bool LastCallOk;
extern std::int32_t PrimaryIndex;
extern std::int32_t LastAttachedIndex;
extern bool QuietMode;

// Mode catalogue (Inventory.cpp).
extern std::int32_t ModeIndex;
extern std::string ModeText;       // "WIDTHxHEIGHT" of the latest mode read
extern std::string PrevModeText;   // the one read before it

// Changes (Changes.cpp).
extern std::int32_t TargetDevice;
extern std::int32_t TargetWidth;   // pixels
extern std::int32_t TargetHeight;  // pixels
extern DEVMODEA NewMode;
extern DisplayDeviceShortA* PrimaryTarget;

// Ends the run at once with the exit code, through the end-of-run steps. Does not return.
[[noreturn]] void StopRun(int exitCode);

// Reads up to MaxDevices devices into DisplayTable and reports them; StopRun(1) when a pass
// reads none.
void ListDisplays();

// The mode catalogue of one device; writes nothing unless the command line is empty.
void ListModes(const DisplayDeviceShortA& device);

// Changes one device's width and height (switches D, X, Y).
void SetResolution();

// Makes one device the primary display (switch P) and lists the devices again.
void SetPrimary();

// The one line for a non-zero result of ChangeDisplaySettingsExA.
void ReportChangeOutcome(LONG result);

// A device's name and description, up to their first NUL or the end of the array.
std::string_view DeviceNameText(const DisplayDeviceShortA& device);
std::string_view DeviceStringText(const DisplayDeviceShortA& device);

// A device's name as a NUL-terminated argument for the display service: a name that fills
// all 32 characters has no NUL of its own, and the service must not read on into the
// description behind it.
struct DeviceNameArgument {
  char Text[sizeof DisplayDeviceShortA::DeviceName + 1];
  explicit DeviceNameArgument(const DisplayDeviceShortA& device);
};

// Queries a mode of the device into CurrentMode, its size fields set as the platform
// documents; sets LastCallOk.
void QueryMode(const DisplayDeviceShortA& device, DWORD modeNumber);
