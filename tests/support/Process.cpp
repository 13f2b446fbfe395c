#include "Process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

constexpr int PipePage = 4096;  // bytes: the smallest pipe Linux gives

void CloseIfOpen(int& fd) {
  if (fd != -1) close(fd);
  fd = -1;
}

// Whether the child has ended, leaving it to be reaped.
bool HasEnded(pid_t child) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavelon-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
  Path = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Path, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file) throw std::runtime_error("cannot write " + path);
}

RunResult RunProgram(const std::string& program, const RunOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  int outPipe[2] = {-1, -1};
  int errPipe[2] = {-1, -1};
  int ptyMaster = -1;
  int ptySlave = -1;
  if (options.ErrorFile.empty()) {
    if (pipe2(errPipe, O_CLOEXEC) != 0) Fail("pipe");
  } else {
    WriteFile(options.ErrorFile, "");
  }
  switch (options.Output) {
    case StdOutKind::Pipe:
      if (pipe2(outPipe, O_CLOEXEC) != 0) Fail("pipe");
      break;
    case StdOutKind::ReaderQuits:
    case StdOutKind::FullPipe:
      if (pipe2(outPipe, O_CLOEXEC) != 0) Fail("pipe");
      if (fcntl(outPipe[0], F_SETPIPE_SZ, PipePage) == -1) Fail("F_SETPIPE_SZ");
      if (options.Output == StdOutKind::FullPipe) {
        const std::string filler(static_cast<std::size_t>(PipePage - options.FullPipeRoom), '.');
        if (write(outPipe[1], filler.data(), filler.size()) != static_cast<ssize_t>(filler.size())) Fail("write");
      }
      break;
    case StdOutKind::ReaderGone:
      if (pipe2(outPipe, O_CLOEXEC) != 0) Fail("pipe");
      CloseIfOpen(outPipe[0]);
      break;
    case StdOutKind::Terminal:
    case StdOutKind::TerminalHangsUp:
    case StdOutKind::TerminalGone: {
      winsize size{};
      size.ws_col = options.TerminalColumns;
      size.ws_row = options.TerminalColumns == 0 ? 0 : 25;
      if (openpty(&ptyMaster, &ptySlave, nullptr, nullptr, &size) != 0) Fail("openpty");
      termios raw{};
      tcgetattr(ptySlave, &raw);
      cfmakeraw(&raw);
      tcsetattr(ptySlave, TCSANOW, &raw);
      fcntl(ptyMaster, F_SETFD, FD_CLOEXEC);
      if (options.Output == StdOutKind::TerminalGone) CloseIfOpen(ptyMaster);
      break;
    }
    case StdOutKind::File:
      WriteFile(options.OutputFile, "");
      break;
    default:
      break;
  }

  std::vector<std::string> argumentTexts{program};
  argumentTexts.insert(argumentTexts.end(), options.Arguments.begin(), options.Arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argumentTexts) argv.push_back(text.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child == -1) Fail("fork");
  if (child == 0) {
    for (const std::string& name : options.Unset) unsetenv(name.c_str());
    for (const auto& [name, value] : options.Environment) setenv(name.c_str(), value.c_str(), 1);
    int out = -1;
    switch (options.Output) {
      case StdOutKind::Pipe:
      case StdOutKind::ReaderQuits:
      case StdOutKind::FullPipe:
      case StdOutKind::ReaderGone: out = outPipe[1]; break;
      case StdOutKind::Terminal:
      case StdOutKind::TerminalHangsUp:
      case StdOutKind::TerminalGone: out = ptySlave; break;
      case StdOutKind::File: out = open(options.OutputFile.c_str(), O_WRONLY | O_APPEND); break;
      case StdOutKind::DiskFull: out = open("/dev/full", O_WRONLY); break;
      case StdOutKind::DevNull: out = open("/dev/null", O_WRONLY); break;
      case StdOutKind::Closed: break;
    }
    if (out == -1) {
      close(STDOUT_FILENO);
    } else {
      dup2(out, STDOUT_FILENO);
    }
    if (options.ErrorFile.empty()) {
      dup2(errPipe[1], STDERR_FILENO);
    } else {
      dup2(open(options.ErrorFile.c_str(), O_WRONLY | O_APPEND), STDERR_FILENO);
    }
    if (ptySlave != -1) close(ptySlave);
    execv(program.c_str(), argv.data());
    _exit(127);
  }

  CloseIfOpen(errPipe[1]);
  CloseIfOpen(outPipe[1]);
  CloseIfOpen(ptySlave);
  int outRead = ptyMaster != -1 ? ptyMaster : outPipe[0];
  const bool nothingToRead = outRead == -1 && errPipe[0] == -1;

  RunResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.TimeoutSeconds);
  if (options.Output == StdOutKind::FullPipe) {
    int queued = 0;
    while (ioctl(outPipe[0], FIONREAD, &queued) == 0 && queued < PipePage && !HasEnded(child) &&
           std::chrono::steady_clock::now() < deadline) {
      usleep(1000);
    }
    if (queued >= PipePage && options.WhenFull) options.WhenFull();
  }
  char chunk[65536];
  while (errPipe[0] != -1 || outRead != -1) {
    pollfd fds[2];
    nfds_t count = 0;
    if (outRead != -1) fds[count++] = {outRead, POLLIN, 0};
    if (errPipe[0] != -1) fds[count++] = {errPipe[0], POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.TimedOut = true;
      kill(child, SIGKILL);
      break;
    }
    if (poll(fds, count, static_cast<int>(left.count())) < 0) {
      if (errno == EINTR) continue;
      Fail("poll");
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      const bool isOut = fds[i].fd == outRead;
      if (n <= 0) {
        // A pseudo-terminal reports EIO once the child has closed its side.
        if (isOut) {
          CloseIfOpen(outRead);
        } else {
          CloseIfOpen(errPipe[0]);
        }
        continue;
      }
      (isOut ? result.Out : result.Err).append(chunk, static_cast<std::size_t>(n));
      const bool readerQuits = options.Output == StdOutKind::ReaderQuits || options.Output == StdOutKind::TerminalHangsUp;
      if (isOut && readerQuits && result.Out.find("\r\n") != std::string::npos) {
        result.Out.erase(result.Out.find("\r\n") + 2);
        CloseIfOpen(outRead);
      }
    }
  }
  CloseIfOpen(outRead);
  CloseIfOpen(errPipe[0]);
  if (options.Output == StdOutKind::FullPipe) result.Out.erase(0, static_cast<std::size_t>(PipePage - options.FullPipeRoom));
  int status = 0;
  // With nothing to read, the timeout applies to the child itself.
  while (nothingToRead && !result.TimedOut && !HasEnded(child)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      result.TimedOut = true;
      kill(child, SIGKILL);
    }
    usleep(10000);
  }
  waitpid(child, &status, 0);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (options.Output == StdOutKind::File) result.Out = ReadFile(options.OutputFile);
  if (!options.ErrorFile.empty()) result.Err = ReadFile(options.ErrorFile);
  return result;
}

int SpawnProgram(const std::vector<std::string>& arguments,
                 const std::vector<std::pair<std::string, std::string>>& environment, const std::string& logFile) {
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == -1) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    const int log = logFile.empty() ? null : open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(null, STDIN_FILENO);
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    setpgid(0, 0);
    for (const auto& [name, value] : environment) {
      if (value.empty()) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

void StopProgram(int pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 250; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}
