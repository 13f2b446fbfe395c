// Private X servers for the end-to-end runs: Xorg with the dummy driver, Xvfb, Xephyr nested
// in a private Xvfb, TigerVNC's Xvnc, and XWayland under a headless weston. Each is started
// on a display number nobody holds and stopped by its own pid when the object goes (also
// when a test fails); only servers started here are ever stopped.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Process.h"

enum class XServerKind { XorgDummy, Xvfb, Xephyr, Xvnc, Xwayland };

// The program's own name for a kind, such as "Xvfb": for test traces.
const char* NameOf(XServerKind kind);

struct XServer {
  // Starts a server: Xephyr as it starts by default, resetting when its last client leaves;
  // Xorg and Xvfb do not reset, so that what a test sets up stays. Screens apply to Xvfb, one "WIDTHxHEIGHTxDEPTH" each; the other
  // kinds take the first size (XWayland: weston's headless output). Arguments go at the end
  // of the server's command line (weston's for XWayland). Throws std::runtime_error when
  // the server cannot be started.
  explicit XServer(XServerKind kind, const std::vector<std::string>& screens = {"1024x768x24"},
                   const std::vector<std::string>& arguments = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  XServerKind Kind;
  std::string Display;  // such as ":17"
  int Pid = -1;         // the server's, or weston's for XWayland (it stops its XWayland)

  // Runs xrandr -display Display with the arguments; its standard output. Throws on failure.
  std::string Xrandr(const std::vector<std::string>& arguments) const;

  // A server that resets when its last client leaves (Xephyr) turns away whoever connects
  // while it resets. Before a client of the tests runs, this waits (bounded) until a
  // connection of its own is taken, and holds it until the result goes, so the server
  // neither turns the client away nor resets under it. On other servers: nothing.
  std::shared_ptr<void> HoldConnection() const;

 private:
  std::unique_ptr<XServer> Host;    // the server Xephyr draws its window on
  std::unique_ptr<TempFolder> Own;  // weston's runtime folder and log
};

// A private Xorg server with the dummy video driver and the config file kept in tests/.
struct DummyXServer : XServer {
  // Starts the server and makes outputs DUMMY0 to DUMMY(monitors-1) active with a few
  // modes each, side by side, DUMMY0 primary. Throws std::runtime_error when it cannot.
  explicit DummyXServer(int monitors = 2);
};
