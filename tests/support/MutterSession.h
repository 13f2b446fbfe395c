// A private D-Bus session bus with GNOME's compositor (Mutter) on it, for the end-to-end
// runs: the bus daemon on a socket in a private folder, Mutter started with that bus and a
// private XDG_RUNTIME_DIR, ready once it owns org.gnome.Mutter.DisplayConfig (bounded wait).
// Both are stopped by their own pids when the object goes. Runs as root.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct TempFolder;

struct MutterSession {
  enum class Kind {
    Headless,         // --headless --wayland --no-x11, virtual monitors 1280x720 and 1024x768@75
    HeadlessXwayland, // the same monitors with Xwayland; XwaylandDisplay names it
    X11Compositor,    // --x11 --replace on the X display given
  };
  // Throws std::runtime_error when the bus or Mutter cannot be started.
  explicit MutterSession(Kind kind, const std::string& x11Display = "");
  // A stand-in for Mutter instead: the command, run on the bus, must take the name. With no
  // command, the bus alone.
  explicit MutterSession(const std::vector<std::string>& standIn);
  ~MutterSession();
  MutterSession(const MutterSession&) = delete;
  MutterSession& operator=(const MutterSession&) = delete;

  std::string BusAddress;       // for DBUS_SESSION_BUS_ADDRESS
  std::string XwaylandDisplay;    // HeadlessXwayland only, such as ":1"
  std::string XwaylandAuthority;  // its XAUTHORITY file

  // What `gdbus call ... GetCurrentState` prints (GVariant text). Throws on failure.
  std::string GetCurrentStateText() const;

 private:
  void StartBus();
  // Starts the compositor and waits until it owns the name; throws with its log when not.
  void StartCompositor(const std::vector<std::string>& arguments,
                       std::vector<std::pair<std::string, std::string>> environment);
  std::unique_ptr<TempFolder> Folder;
  int BusPid = -1;
  int MutterPid = -1;
  int XwaylandClientPid = -1;  // the child Mutter runs to tell its Xwayland display
};

