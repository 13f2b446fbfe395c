// Asks the X11 display service, in a process of its own, to make the output named on the
// command line primary, and prints the DISP_CHANGE_* result. For servers of one output,
// where tavelon never asks: that output is always listed as primary already.
#include <cstdio>

#include "platform/x11/X11Display.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::printf("%d\n", static_cast<int>(x11::ChangeDisplaySettingsExA(argv[1], nullptr, nullptr, CDS_SET_PRIMARY, nullptr)));
  return 0;
}
