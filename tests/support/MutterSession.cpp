#include "MutterSession.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sstream>
#include <thread>

#include "Process.h"

namespace {

constexpr auto StartTimeout = std::chrono::seconds(30);

bool Ended(int pid) { return waitpid(pid, nullptr, WNOHANG) == pid; }

// Waits, bounded, until the condition holds; false when the process ended first.
template <typename Condition>
bool WaitFor(int pid, Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    if (Ended(pid)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

RunResult Gdbus(const std::string& busAddress, const std::vector<std::string>& arguments) {
  RunOptions options;
  options.Arguments = arguments;
  options.Environment = {{"DBUS_SESSION_BUS_ADDRESS", busAddress}};
  options.TimeoutSeconds = 20;
  return RunProgram("/usr/bin/gdbus", options);
}

}  // namespace


void MutterSession::StartBus() {
  BusAddress = "unix:path=" + Folder->File("bus");
  BusPid = SpawnProgram({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + BusAddress}, {},
                        Folder->File("bus.log"));
  if (!WaitFor(BusPid, [&] { return Gdbus(BusAddress, {"call", "--session", "--dest", "org.freedesktop.DBus",
                                                       "--object-path", "/org/freedesktop/DBus", "--method",
                                                       "org.freedesktop.DBus.GetId"}).ExitCode == 0; })) {
    StopProgram(BusPid);
    throw std::runtime_error("dbus-daemon did not start");
  }
}

void MutterSession::StartCompositor(const std::vector<std::string>& arguments,
                                    std::vector<std::pair<std::string, std::string>> environment) {
  const std::string runtime = Folder->File("runtime");
  mkdir(runtime.c_str(), 0700);
  environment.insert(environment.end(),
                     {{"DBUS_SESSION_BUS_ADDRESS", BusAddress}, {"XDG_RUNTIME_DIR", runtime}, {"WAYLAND_DISPLAY", ""}});
  MutterPid = SpawnProgram(arguments, environment, Folder->File("mutter.log"));
  const bool owned = WaitFor(MutterPid, [&] {
    return Gdbus(BusAddress, {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                              "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner",
                              "org.gnome.Mutter.DisplayConfig"})
               .Out.find("true") != std::string::npos;
  });
  if (!owned) {
    const std::string log = ReadFile(Folder->File("mutter.log"));
    StopProgram(MutterPid);
    StopProgram(BusPid);
    throw std::runtime_error(arguments[0] + " did not take org.gnome.Mutter.DisplayConfig in time:\n" + log);
  }
}

MutterSession::MutterSession(const std::vector<std::string>& standIn) : Folder(std::make_unique<TempFolder>()) {
  StartBus();
  if (!standIn.empty()) StartCompositor(standIn, {});
}

MutterSession::MutterSession(Kind kind, const std::string& x11Display) : Folder(std::make_unique<TempFolder>()) {
  StartBus();
  std::vector<std::string> arguments = {"mutter"};
  const std::string displayFile = Folder->File("xwayland-display");
  if (kind == Kind::X11Compositor) {
    arguments.insert(arguments.end(), {"--x11", "--replace"});
    StartCompositor(arguments, {{"DISPLAY", x11Display}});
    return;
  }
  arguments.insert(arguments.end(), {"--headless", "--wayland", "--virtual-monitor", "1280x720",
                                     "--virtual-monitor", "1024x768@75"});
  if (kind == Kind::Headless) {
    arguments.push_back("--no-x11");
    StartCompositor(arguments, {{"DISPLAY", ""}});
    return;
  }
  // Mutter gives the program it runs the Xwayland display and its authority file; the
  // program tells them and its own pid, so that it too is stopped by pid.
  arguments.insert(arguments.end(), {"--", "/bin/sh", "-c",
                                     "echo \"$$ $DISPLAY $XAUTHORITY\" > " + displayFile + ".part && mv " +
                                         displayFile + ".part " + displayFile + " && exec sleep 100000"});
  StartCompositor(arguments, {{"DISPLAY", ""}});
  if (!WaitFor(MutterPid, [&] { return std::filesystem::exists(displayFile); })) {
    StopProgram(MutterPid);
    StopProgram(BusPid);
    throw std::runtime_error("mutter did not start its Xwayland client in time");
  }
  const std::string told = ReadFile(displayFile);
  XwaylandClientPid = std::atoi(told.c_str());
  std::istringstream words(told.substr(told.find(' ') + 1));
  words >> XwaylandDisplay >> XwaylandAuthority;
}

MutterSession::~MutterSession() {
  StopProgram(XwaylandClientPid);
  StopProgram(MutterPid);
  StopProgram(BusPid);
}

std::string MutterSession::GetCurrentStateText() const {
  const RunResult result = Gdbus(BusAddress, {"call", "--session", "--dest", "org.gnome.Mutter.DisplayConfig",
                                              "--object-path", "/org/gnome/Mutter/DisplayConfig", "--method",
                                              "org.gnome.Mutter.DisplayConfig.GetCurrentState"});
  if (result.ExitCode != 0) throw std::runtime_error("GetCurrentState failed: " + result.Err);
  return result.Out;
}
