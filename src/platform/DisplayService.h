// The three display-service calls and the records they fill, for every platform.
// On Windows they are user32's; elsewhere one of the folders x11/ or sim/ defines them,
// chosen by the build. This is the only header that knows which platform it is on.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32

#include <windows.h>

#else

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using CHAR = char;
using HWND = void*;
using LPVOID = void*;
using LPCSTR = const char*;

constexpr int CCHDEVICENAME = 32;
constexpr int CCHFORMNAME = 32;

constexpr DWORD DISPLAY_DEVICE_ATTACHED_TO_DESKTOP = 0x01;
constexpr DWORD DISPLAY_DEVICE_MULTI_DRIVER = 0x02;
constexpr DWORD DISPLAY_DEVICE_PRIMARY_DEVICE = 0x04;
constexpr DWORD DISPLAY_DEVICE_MIRRORING_DRIVER = 0x08;
constexpr DWORD DISPLAY_DEVICE_VGA_COMPATIBLE = 0x10;

constexpr DWORD ENUM_CURRENT_SETTINGS = 0xFFFFFFFF;
constexpr DWORD CDS_SET_PRIMARY = 0x10;

constexpr DWORD DM_POSITION = 0x00000020;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD DM_DISPLAYFLAGS = 0x00200000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x00400000;

constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_RESTART = 1;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr LONG DISP_CHANGE_NOTUPDATED = -3;
constexpr LONG DISP_CHANGE_BADFLAGS = -4;
constexpr LONG DISP_CHANGE_BADPARAM = -5;

struct POINTL {
  LONG x;
  LONG y;
};

// The display form of DEVMODEA: 156 bytes, as user32 lays it out.
struct DEVMODEA {
  BYTE dmDeviceName[CCHDEVICENAME];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  POINTL dmPosition;
  DWORD dmDisplayOrientation;
  DWORD dmDisplayFixedOutput;
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  BYTE dmFormName[CCHFORMNAME];
  WORD dmLogPixels;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmDisplayFlags;
  DWORD dmDisplayFrequency;
  DWORD dmICMMethod;
  DWORD dmICMIntent;
  DWORD dmMediaType;
  DWORD dmDitherType;
  DWORD dmReserved1;
  DWORD dmReserved2;
  DWORD dmPanningWidth;
  DWORD dmPanningHeight;
};

#endif

// DISPLAY_DEVICEA in its short form: the four fields before DeviceID. The service fills
// no more than cb says, so the long form's DeviceID and DeviceKey are never asked for.
struct DisplayDeviceShortA {
  DWORD cb;
  CHAR DeviceName[32];
  CHAR DeviceString[128];
  DWORD StateFlags;
};

static_assert(sizeof(DisplayDeviceShortA) == 168);
static_assert(offsetof(DisplayDeviceShortA, cb) == 0);
static_assert(offsetof(DisplayDeviceShortA, DeviceName) == 4);
static_assert(offsetof(DisplayDeviceShortA, DeviceString) == 36);
static_assert(offsetof(DisplayDeviceShortA, StateFlags) == 164);

static_assert(sizeof(DEVMODEA) == 156);
static_assert(offsetof(DEVMODEA, dmSize) == 36);
static_assert(offsetof(DEVMODEA, dmDriverExtra) == 38);
static_assert(offsetof(DEVMODEA, dmFields) == 40);
static_assert(offsetof(DEVMODEA, dmPosition) == 44);
static_assert(offsetof(DEVMODEA, dmBitsPerPel) == 104);
static_assert(offsetof(DEVMODEA, dmPelsWidth) == 108);
static_assert(offsetof(DEVMODEA, dmPelsHeight) == 112);
static_assert(offsetof(DEVMODEA, dmDisplayFrequency) == 120);

#ifdef _WIN32

// user32 takes the short record through the long record's pointer type; cb tells it the size.
inline BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record,
                                DWORD flags) {
  return ::EnumDisplayDevicesA(device, deviceNumber, reinterpret_cast<PDISPLAY_DEVICEA>(record),
                               flags);
}

#else

// Non-zero: a device exists at deviceNumber and *record describes it (up to record->cb bytes).
BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record,
                         DWORD flags);

// Non-zero: *mode holds mode modeNumber of the device, or its current mode for
// ENUM_CURRENT_SETTINGS. Zero: no such mode; *mode is then the service's business.
BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode);

// Two uses: (mode, flags 0) changes the device's mode; (null, CDS_SET_PRIMARY) makes it primary.
// DISP_CHANGE_SUCCESSFUL (0) or a DISP_CHANGE_* failure.
LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND window, DWORD flags,
                              LPVOID parameter);

#endif
