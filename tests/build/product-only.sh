#!/usr/bin/env bash
# Configures and builds the product alone, as the main job does, in each build type: it must
# look for no test tool (GoogleTest, nlohmann-json, clang, Wine, mingw-w64) and build without
# a single warning. Usage: product-only.sh <source folder>
set -euo pipefail
source_folder=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

for type in Debug Release RelWithDebInfo MinSizeRel; do
  build="$folder/$type"
  cmake -S "$source_folder" -B "$build" -DCMAKE_BUILD_TYPE="$type" -DBUILD_TESTING=OFF -DTAVELON_WERROR=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON --no-warn-unused-cli >/dev/null
  cmake --build "$build" -j2 >/dev/null
  # Every program a configure looks for is recorded in its cache, found or not.
  if grep -E '^(CLANGXX|WINE_PROGRAM|WINESERVER_PROGRAM|MINGW_OBJDUMP)[:=]' "$build/CMakeCache.txt"; then
    echo "$type: the product's configure looked for a test tool" >&2
    exit 1
  fi
  test -x "$build/tavelon"
  echo "$type: product built"
done
