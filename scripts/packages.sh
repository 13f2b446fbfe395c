# The Debian packages each job needs, sourced by the scripts beside this file.
BUILD_PACKAGES=(cmake make g++ pkg-config libxcb1-dev libxcb-randr0-dev nlohmann-json3-dev)
TEST_PACKAGES=(libgtest-dev clang libclang-rt-14-dev)
# A private dummy X server for the end-to-end runs of tavelon.
X11_TEST_PACKAGES=()
# The Windows build and Wine to run it.
WINE_TEST_PACKAGES=()
