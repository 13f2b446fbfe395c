# The Debian packages each job needs, sourced by the scripts beside this file.
BUILD_PACKAGES=(cmake make g++ pkg-config libxcb1-dev libxcb-randr0-dev nlohmann-json3-dev)
TEST_PACKAGES=(libgtest-dev)
