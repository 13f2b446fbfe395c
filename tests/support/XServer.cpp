#include "XServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "Process.h"

namespace {

// Two modes of one size that no output offers until the server is set up, far enough apart
// in refresh (45 Hz and 70 Hz) that the nearest one to a current mode is never in doubt.
// Timings: pixel clock in MHz, then horizontal and vertical display, sync and total.
const std::vector<std::vector<std::string>> ExtraModes = {
    {"1280x720_45", "55.6875", "1280", "1390", "1430", "1650", "720", "725", "730", "750"},
    {"1280x720_70", "86.625", "1280", "1390", "1430", "1650", "720", "725", "730", "750"},
};

constexpr int FirstDisplay = 40;
constexpr int DisplayRange = 400;
constexpr auto StartTimeout = std::chrono::seconds(20);

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

// A display number nobody holds: neither its socket nor its lock file exists. Xorg takes
// the lock itself, so a race with another test process shows as an early exit, retried.
int FreeDisplayNumber(int after) {
  for (int i = 0; i < DisplayRange; ++i) {
    const int number = FirstDisplay + (after + i) % DisplayRange;
    if (!Exists("/tmp/.X11-unix/X" + std::to_string(number)) &&
        !Exists("/tmp/.X" + std::to_string(number) + "-lock")) {
      return number;
    }
  }
  throw std::runtime_error("no free X display number");
}

bool Accepting(int number) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd == -1) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

pid_t StartXorg(int number, const std::string& logFile) {
  const std::string display = ":" + std::to_string(number);
  const std::string config = TAVELON_TEST_DATA "/xorg-dummy.conf";
  std::vector<std::string> arguments = {"Xorg", display, "-config", config, "-logfile", logFile,
                                        "-noreset", "-nolisten", "tcp", "-novtswitch"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == -1) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    // Its own process group: a terminal's signals meant for the test do not reach it.
    setpgid(0, 0);
    execvp("Xorg", argv.data());
    _exit(127);
  }
  return child;
}

// Waits, bounded, until the server accepts connections. False when it ended first.
bool WaitUntilReady(pid_t pid, int number) {
  const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return false;
    if (Accepting(number)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  throw std::runtime_error("Xorg did not start in time on :" + std::to_string(number));
}

void StopServer(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 250; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

TempFolder& LogFolder() {
  static TempFolder folder;
  return folder;
}

}  // namespace

DummyXServer::DummyXServer(int monitors) {
  if (monitors < 1 || monitors > 16) throw std::invalid_argument("the dummy driver has 16 outputs");
  int after = static_cast<int>(getpid());
  for (int attempt = 0; attempt < 5 && Pid == -1; ++attempt) {
    const int number = FreeDisplayNumber(after);
    const pid_t pid = StartXorg(number, LogFolder().File("Xorg." + std::to_string(number) + ".log"));
    if (WaitUntilReady(pid, number)) {
      Pid = pid;
      Display = ":" + std::to_string(number);
    }
    after = number + 1 - FirstDisplay;
  }
  if (Pid == -1) throw std::runtime_error("Xorg would not start (log files under " + LogFolder().Path + ")");

  try {
    for (const std::vector<std::string>& mode : ExtraModes) {
      std::vector<std::string> arguments = {"--newmode"};
      arguments.insert(arguments.end(), mode.begin(), mode.end());
      Xrandr(arguments);
    }
    std::vector<std::string> layout;
    for (int i = 0; i < monitors; ++i) {
      const std::string output = "DUMMY" + std::to_string(i);
      // DUMMY0 starts with 1024x768 of its own; the others have no mode until given one.
      if (i > 0) Xrandr({"--addmode", output, "1024x768"});
      for (const std::vector<std::string>& mode : ExtraModes) Xrandr({"--addmode", output, mode[0]});
      layout.insert(layout.end(), {"--output", output, "--mode", "1024x768", "--pos", std::to_string(i * 1024) + "x0"});
      if (i == 0) layout.push_back("--primary");
    }
    Xrandr(layout);
    // The query makes the server probe the outputs it just switched on, so their mode lists
    // are final before any test reads them.
    Xrandr({"--query"});
  } catch (...) {
    StopServer(Pid);
    throw;
  }
}

DummyXServer::~DummyXServer() { StopServer(Pid); }

std::string DummyXServer::Xrandr(const std::vector<std::string>& arguments) const {
  RunOptions options;
  options.Arguments = {"-display", Display};
  options.Arguments.insert(options.Arguments.end(), arguments.begin(), arguments.end());
  options.TimeoutSeconds = 20;
  const RunResult run = RunProgram("/usr/bin/xrandr", options);
  if (run.ExitCode != 0) {
    std::string command = "xrandr";
    for (const std::string& argument : options.Arguments) command += " " + argument;
    throw std::runtime_error(command + " failed: " + run.Err);
  }
  return run.Out;
}
