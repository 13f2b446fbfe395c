# Cross build of the Windows product with Debian's mingw-w64 (g++-mingw-w64-x86-64-win32):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The win32 thread model needs no winpthread; the plain name is whichever model Debian's
# alternatives chose, and is taken only when the win32 one is missing.
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_TRIPLET}-g++-win32 ${MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLET}-windres)

# Headers and libraries come from the mingw-w64 tree only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
