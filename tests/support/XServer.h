// A private Xorg server with the dummy video driver, for the end-to-end runs: started on a
// free display number with the config file kept in tests/, stopped by its own pid when the
// object goes (also when a test fails). Only the server started here is ever stopped.
#pragma once

#include <string>
#include <vector>

struct DummyXServer {
  // Starts the server and makes outputs DUMMY0 to DUMMY(monitors-1) active with a few
  // modes each, side by side, DUMMY0 primary. Throws std::runtime_error when it cannot.
  explicit DummyXServer(int monitors = 2);
  ~DummyXServer();
  DummyXServer(const DummyXServer&) = delete;
  DummyXServer& operator=(const DummyXServer&) = delete;

  std::string Display;  // such as ":17"
  int Pid = -1;

  // Runs xrandr -display Display with the arguments; its standard output. Throws on failure.
  std::string Xrandr(const std::vector<std::string>& arguments) const;
};
