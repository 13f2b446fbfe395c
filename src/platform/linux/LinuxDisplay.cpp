// The Linux product's display service: the three display calls, forwarded to the service
// chosen once per run. Only the choice belongs here; each service lives in its own folder.
#include "../DisplayService.h"
#include "../x11/X11Display.h"

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD flags) {
  return x11::EnumDisplayDevicesA(device, deviceNumber, record, flags);
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
  return x11::EnumDisplaySettingsA(deviceName, modeNumber, mode);
}

LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameter) {
  return x11::ChangeDisplaySettingsExA(deviceName, mode, window, flags, parameter);
}
