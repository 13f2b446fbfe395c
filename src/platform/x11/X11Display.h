// The display service over X11 RandR: the three display calls answered from the default
// screen of the X server that DISPLAY names. One connection per run, opened at the first call.
#pragma once

#include "../DisplayService.h"

namespace x11 {

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD flags);
BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode);
LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameter);

}  // namespace x11
