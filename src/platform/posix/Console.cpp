// The process environment on POSIX systems: argument vector, file descriptors 1 and 2,
// the executable's name and load address. Only generic POSIX (and the linker's symbol for
// the program's start) belongs here; errno never leaves this file.
#include "../Console.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace {

bool StdOutClosed = false;

int ErrorCode(int error) { return error == ENOSPC ? StdOutDiskFull : error; }

}  // namespace

void StartProcess() {
  // A reader that goes away must show as a failed write, not kill the process.
  signal(SIGPIPE, SIG_IGN);
  // A closed standard output is reported at the first write. Until then descriptor 1 is held
  // by /dev/null, so that no file or connection the program opens can take its place.
  if (fcntl(STDOUT_FILENO, F_GETFD) == -1) {
    StdOutClosed = true;
    const int placeholder = open("/dev/null", O_WRONLY);
    if (placeholder != -1 && placeholder != STDOUT_FILENO) close(placeholder);
  }
}

const char* ProcessCommandLine() { return nullptr; }

const char* NextCommandLineChar(const char* at) { return *at == '\0' ? at : at + 1; }

int OpenStdOut() { return StdOutClosed ? StdOutNotOpen : 0; }

// Any character device counts, as on Windows: a terminal, but also /dev/null and /dev/full,
// where a failed step must be known before the next one runs.
bool StdOutIsConsole() {
  struct stat status {};
  return fstat(STDOUT_FILENO, &status) == 0 && S_ISCHR(status.st_mode);
}

int WriteStdOut(const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(STDOUT_FILENO, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return ErrorCode(errno);
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return 0;
}

void WriteStdErr(const std::string& text) {
  const char* bytes = text.data();
  std::size_t count = text.size();
  while (count > 0) {
    const ssize_t written = write(STDERR_FILENO, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
}

std::string ModuleName() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0) return "tavelon";
  const std::string_view whole(path, static_cast<std::size_t>(length));
  return std::string(whole.substr(whole.find_last_of('/') + 1));
}

// The linker's symbol for the first byte of the program's own image, where it was loaded:
// the same in a static program, where the dynamic loader's dladdr knows nothing.
extern "C" const char __executable_start[];

std::uint32_t ModuleOffset(const void* codeAddress) {
  const char* address = static_cast<const char*>(codeAddress);
  if (address < __executable_start) return 0;
  return static_cast<std::uint32_t>(address - __executable_start);
}

void EndProcess(int exitCode) { std::exit(exitCode); }
