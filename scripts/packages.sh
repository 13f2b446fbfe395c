# The Debian packages each job needs, sourced by the scripts beside this file.
BUILD_PACKAGES=(cmake make g++ pkg-config libxcb1-dev libxcb-randr0-dev libxau-dev libxdmcp-dev nlohmann-json3-dev)
TEST_PACKAGES=(libgtest-dev clang libclang-rt-14-dev)
# A private dummy X server for the end-to-end runs of tavelon.
X11_TEST_PACKAGES=(xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
# The Windows build and Wine to run it: the mingw-w64 cross compiler (win32 threads, with its
# binutils for objdump), Wine's 64-bit loader and its /usr/bin/wine, the X libraries Wine's
# X11 driver loads at run time (only recommended by libwine), and the dummy X server with xrandr.
WINE_TEST_PACKAGES=(g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine wine64
  libxrandr2 libxrender1 libxinerama1 libxi6 libxcursor1 libxfixes3 libxcomposite1 libxxf86vm1
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
