#include "XServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

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

// The command line of a server of this kind on display number; Xephyr draws on hostDisplay.
std::vector<std::string> ServerCommand(XServerKind kind, int number, const std::vector<std::string>& screens,
                                       const std::string& logFile) {
  const std::string display = ":" + std::to_string(number);
  const std::string first = screens.at(0);
  const std::string size = first.substr(0, first.rfind('x'));
  switch (kind) {
    case XServerKind::XorgDummy:
      return {"Xorg", display, "-config", TAVELON_TEST_DATA "/xorg-dummy.conf", "-logfile", logFile,
              "-noreset", "-nolisten", "tcp", "-novtswitch"};
    case XServerKind::Xvfb: {
      // Without -noreset the modes a test adds would be gone when its xrandr call leaves.
      std::vector<std::string> command = {"Xvfb", display, "-noreset", "-nolisten", "tcp"};
      for (std::size_t i = 0; i < screens.size(); ++i) {
        command.insert(command.end(), {"-screen", std::to_string(i), screens[i]});
      }
      return command;
    }
    case XServerKind::Xephyr:
      return {"Xephyr", display, "-screen", size, "-nolisten", "tcp"};
    case XServerKind::Xvnc:
      // No RFB port: nothing here views it, and a port would be shared with other tests.
      return {"Xvnc", display, "-geometry", size, "-SecurityTypes", "None", "-rfbport", "-1", "-nolisten", "tcp"};
    case XServerKind::Xwayland:
      break;
  }
  throw std::invalid_argument("no command line for this kind");
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
  throw std::runtime_error("X server did not start in time on :" + std::to_string(number));
}


TempFolder& LogFolder() {
  static TempFolder folder;
  return folder;
}

// weston names the display its XWayland listens on in its log, once the socket is open;
// XWayland itself starts at the first client.
int WestonDisplayNumber(pid_t weston, const std::string& logFile) {
  const std::string marker = "xserver listening on display :";
  const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string log = ReadFile(logFile);
    const std::size_t found = log.find(marker);
    if (found != std::string::npos) return std::atoi(log.c_str() + found + marker.size());
    if (waitpid(weston, nullptr, WNOHANG) == weston) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  StopProgram(weston);
  throw std::runtime_error("weston named no X display in time (log " + logFile + ")");
}

}  // namespace

const char* NameOf(XServerKind kind) {
  switch (kind) {
    case XServerKind::XorgDummy: return "Xorg dummy";
    case XServerKind::Xvfb: return "Xvfb";
    case XServerKind::Xephyr: return "Xephyr";
    case XServerKind::Xvnc: return "Xvnc";
    case XServerKind::Xwayland: return "XWayland";
  }
  return "?";
}

XServer::XServer(XServerKind kind, const std::vector<std::string>& screens, const std::vector<std::string>& arguments)
    : Kind(kind) {
  if (kind == XServerKind::Xwayland) {
    // weston wants a private runtime folder (mkdtemp makes it 0700) and picks the X display
    // number itself, taking its lock as any X server does.
    Own = std::make_unique<TempFolder>();
    const std::string size = screens.at(0).substr(0, screens[0].rfind('x'));
    const std::string log = Own->File("weston.log");
    std::vector<std::string> command = {"weston", "--backend=headless-backend.so", "--xwayland", "--no-config",
                                        "--idle-time=0", "--socket=tavelon-wayland",
                                        "--width=" + size.substr(0, size.find('x')),
                                        "--height=" + size.substr(size.find('x') + 1), "--log=" + log};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const pid_t pid = SpawnProgram(command, {{"XDG_RUNTIME_DIR", Own->Path}}, "");
    const int number = WestonDisplayNumber(pid, log);
    if (number < 0 || !WaitUntilReady(pid, number)) {
      StopProgram(pid);
      throw std::runtime_error("weston ended early: " + ReadFile(log));
    }
    Pid = pid;
    Display = ":" + std::to_string(number);
    return;
  }
  std::vector<std::pair<std::string, std::string>> environment;
  if (kind == XServerKind::Xephyr) {
    Host = std::make_unique<XServer>(XServerKind::Xvfb, std::vector<std::string>{"1920x1200x24"});
    environment = {{"DISPLAY", Host->Display}};
  }
  int after = static_cast<int>(getpid()) + static_cast<int>(kind) * 7;
  for (int attempt = 0; attempt < 5 && Pid == -1; ++attempt) {
    const int number = FreeDisplayNumber(after);
    const std::string log = LogFolder().File(std::string(NameOf(kind)) + "." + std::to_string(number) + ".log");
    std::vector<std::string> command = ServerCommand(kind, number, screens, log);
    command.insert(command.end(), arguments.begin(), arguments.end());
    const pid_t pid = SpawnProgram(command, environment, "");
    if (WaitUntilReady(pid, number)) {
      Pid = pid;
      Display = ":" + std::to_string(number);
    }
    after = number + 1 - FirstDisplay;
  }
  if (Pid == -1) {
    throw std::runtime_error(std::string(NameOf(kind)) + " would not start (log files under " + LogFolder().Path + ")");
  }
}

XServer::~XServer() { StopProgram(Pid); }

DummyXServer::DummyXServer(int monitors) : XServer(XServerKind::XorgDummy) {
  // A throw from here on stops the server in the base's destructor.
  if (monitors < 1 || monitors > 16) throw std::invalid_argument("the dummy driver has 16 outputs");
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
}

std::shared_ptr<void> XServer::HoldConnection() const {
  if (Kind != XServerKind::Xephyr) return nullptr;
  const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
  for (;;) {
    xcb_connection_t* connection = xcb_connect(Display.c_str(), nullptr);
    if (xcb_connection_has_error(connection) == 0) {
      return std::shared_ptr<void>(connection, [](void* held) { xcb_disconnect(static_cast<xcb_connection_t*>(held)); });
    }
    xcb_disconnect(connection);
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("no connection to " + Display);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string XServer::Xrandr(const std::vector<std::string>& arguments) const {
  const std::shared_ptr<void> held = HoldConnection();
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
