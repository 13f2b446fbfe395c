// The Linux product's display service: the three display calls, forwarded to the service
// chosen once per run. Only the choice belongs here; each service lives in its own folder.
#include "../DisplayService.h"
#include "../mutter/MutterDisplay.h"
#include "../x11/X11Display.h"

namespace {

// GNOME's compositor where its DisplayConfig name has an owner on the session bus (Wayland
// or X11 alike), else X11 RandR on DISPLAY. Decided at the first call, kept for the run.
bool UseMutter() {
  static const bool useMutter = mutter::Available();
  return useMutter;
}

}  // namespace

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD flags) {
  if (UseMutter()) return mutter::EnumDisplayDevicesA(device, deviceNumber, record, flags);
  return x11::EnumDisplayDevicesA(device, deviceNumber, record, flags);
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
  if (UseMutter()) return mutter::EnumDisplaySettingsA(deviceName, modeNumber, mode);
  return x11::EnumDisplaySettingsA(deviceName, modeNumber, mode);
}

LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameter) {
  if (UseMutter()) return mutter::ChangeDisplaySettingsExA(deviceName, mode, window, flags, parameter);
  return x11::ChangeDisplaySettingsExA(deviceName, mode, window, flags, parameter);
}
