// The process environment on Windows: command line, standard handles, module name and address.
// Only kernel32 and user32 calls belong here, no C runtime console I/O; GetLastError stays here.
#include "../Console.h"

#include <windows.h>

namespace {

HANDLE StdOut = nullptr;

bool IsUsable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// The Windows codes 2 to 5 are the codes the failure report has texts for; a full disk and
// a handle that stands for no open file (Wine's answer for a closed descriptor 1) get the
// report's own codes.
int ErrorCode(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return StdOutDiskFull;
    case ERROR_INVALID_HANDLE:
      return StdOutNotOpen;
    default:
      return static_cast<int>(error);
  }
}

// Writes all bytes to the handle: 0, or the error code of the failure. A write that takes
// nothing without an error is a full device.
int WriteAll(HANDLE handle, const char* bytes, std::size_t count) {
  while (count > 0) {
    const DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr)) return ErrorCode(GetLastError());
    if (written == 0) return StdOutDiskFull;
    bytes += written;
    count -= written;
  }
  return 0;
}

}  // namespace

void StartProcess() {
  // A missing disk or a crash ends the run with a code, never with a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

const char* ProcessCommandLine() { return GetCommandLineA(); }

const char* NextCommandLineChar(const char* at) { return *at == '\0' ? at : CharNextA(at); }

int OpenStdOut() {
  if (!IsUsable(StdOut)) StdOut = GetStdHandle(STD_OUTPUT_HANDLE);
  return IsUsable(StdOut) ? 0 : StdOutNotOpen;
}

bool StdOutIsConsole() { return GetFileType(StdOut) == FILE_TYPE_CHAR; }

int WriteStdOut(const char* bytes, std::size_t count) { return WriteAll(StdOut, bytes, count); }

void WriteStdErr(const std::string& text) {
  // CharToOemA converts in place when both pointers are the same; the text holds no NUL.
  std::string oem = text;
  CharToOemA(oem.c_str(), oem.data());
  const HANDLE stdErr = GetStdHandle(STD_ERROR_HANDLE);
  if (IsUsable(stdErr)) WriteAll(stdErr, oem.data(), oem.size());
}

std::string ModuleName() {
  // Long enough for any path Windows can load a program from (32767 characters and NUL).
  std::string path(32768, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  if (path.empty()) return "Tavelon.exe";
  return path.substr(path.find_last_of("\\/:") + 1);
}

std::uint32_t ModuleOffset(const void* codeAddress) {
  const auto base = reinterpret_cast<const char*>(GetModuleHandleA(nullptr));
  return static_cast<std::uint32_t>(static_cast<const char*>(codeAddress) - base);
}

void EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }
