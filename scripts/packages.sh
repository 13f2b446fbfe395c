# The Debian packages each job needs, sourced by the scripts beside this file.
# The product: what builds build/tavelon and nothing else.
# libsystemd-dev for sd-bus's header: the product loads libsystemd itself, only when it needs it.
PRODUCT_PACKAGES=(cmake make g++ pkg-config libxcb1-dev libxcb-randr0-dev libxau-dev libxdmcp-dev libsystemd-dev)
# A private dummy X server, for the main job when there is no DISPLAY and for the tests.
DUMMY_X_PACKAGES=(xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
# GNOME's compositor on a private session bus, with Xwayland, and gdbus to read its state.
MUTTER_TEST_PACKAGES=(mutter dbus xwayland libglib2.0-bin)
# The other X servers the X11 tests start: Xvfb, Xephyr, TigerVNC's Xvnc, and XWayland under
# weston's headless backend.
X11_SERVER_TEST_PACKAGES=(xvfb xserver-xephyr tigervnc-standalone-server weston xwayland)
# The unit tests, the simulated machine and the fuzzers.
TEST_PACKAGES=(nlohmann-json3-dev libgtest-dev clang libclang-rt-14-dev)
# The Windows build and Wine to run it: the mingw-w64 cross compiler (win32 threads, with its
# binutils for objdump), Wine's 64-bit loader and its /usr/bin/wine, the X libraries Wine's
# X11 driver loads at run time (only recommended by libwine).
WINE_TEST_PACKAGES=(g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine wine64
  libxrandr2 libxrender1 libxinerama1 libxi6 libxcursor1 libxfixes3 libxcomposite1 libxxf86vm1)
