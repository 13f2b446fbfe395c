// Test tool for the Wine runs, cross-compiled beside Tavelon.exe: asks user32 and kernel32
// directly what Tavelon.exe asks them, with the long DISPLAY_DEVICEA record, and writes the
// raw answers one per line to standard output, so the tests can tell what Wine itself says.
//
//   wine-probe displays      every device, its current mode and every mode, in the service's order:
//                              device N flags F          (F in decimal)
//                              name TEXT                 (the bytes up to the first NUL)
//                              string TEXT
//                              current W H BITS HZ X Y   or "current none"
//                              mode N W H BITS HZ
//   wine-probe commandline...  "commandline " and the raw string GetCommandLineA answers
//   wine-probe filetype      "filetype N": GetFileType of standard output, on standard error
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void Displays() {
  for (DWORD device = 0;; ++device) {
    DISPLAY_DEVICEA record{};
    record.cb = sizeof record;
    if (!EnumDisplayDevicesA(nullptr, device, &record, 0)) break;
    std::printf("device %lu flags %lu\n", device, record.StateFlags);
    std::printf("name %.*s\n", static_cast<int>(strnlen(record.DeviceName, sizeof record.DeviceName)),
                record.DeviceName);
    std::printf("string %.*s\n",
                static_cast<int>(strnlen(record.DeviceString, sizeof record.DeviceString)),
                record.DeviceString);
    char name[sizeof record.DeviceName + 1] = {};
    std::memcpy(name, record.DeviceName, sizeof record.DeviceName);
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsA(name, ENUM_CURRENT_SETTINGS, &mode)) {
      std::printf("current %lu %lu %lu %lu %ld %ld\n", mode.dmPelsWidth, mode.dmPelsHeight,
                  mode.dmBitsPerPel, mode.dmDisplayFrequency, mode.dmPosition.x, mode.dmPosition.y);
    } else {
      std::printf("current none\n");
    }
    for (DWORD number = 0;; ++number) {
      mode = DEVMODEA{};
      mode.dmSize = sizeof mode;
      if (!EnumDisplaySettingsA(name, number, &mode)) break;
      std::printf("mode %lu %lu %lu %lu %lu\n", number, mode.dmPelsWidth, mode.dmPelsHeight,
                  mode.dmBitsPerPel, mode.dmDisplayFrequency);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Lines end in a bare LF, as written: the tests read names up to the line end.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const char* command = argc > 1 ? argv[1] : "";
  if (std::strcmp(command, "displays") == 0) {
    Displays();
  } else if (std::strncmp(command, "commandline", 11) == 0) {
    // Also when the first argument runs on, as in commandline/H: the raw string is the answer.
    std::printf("commandline %s\n", GetCommandLineA());
  } else if (std::strcmp(command, "filetype") == 0) {
    std::fprintf(stderr, "filetype %lu\n", GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)));
  } else {
    std::fprintf(stderr, "usage: wine-probe displays|commandline|filetype\n");
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
