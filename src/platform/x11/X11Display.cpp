// Placeholder until the X11 RandR display service lands: no server is ever found.
#include "../DisplayService.h"

BOOL EnumDisplayDevicesA(LPCSTR, DWORD, DisplayDeviceShortA*, DWORD) { return 0; }
BOOL EnumDisplaySettingsA(LPCSTR, DWORD, DEVMODEA*) { return 0; }
LONG ChangeDisplaySettingsExA(LPCSTR, DEVMODEA*, HWND, DWORD, LPVOID) { return DISP_CHANGE_FAILED; }
