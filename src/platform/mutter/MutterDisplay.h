// The display service over GNOME's compositor (Mutter) and its DisplayConfig interface on
// the session bus: the three display calls answered from one GetCurrentState per run, read
// again after a change.
#pragma once

#include "../DisplayService.h"

namespace mutter {

// True when org.gnome.Mutter.DisplayConfig has an owner on the session bus. It reads the
// state the first query needs, so choosing costs no round trip of its own; the connection
// serves the rest of the run. No session bus: false, at no cost.
bool Available();

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD flags);
BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode);
LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameter);

}  // namespace mutter
