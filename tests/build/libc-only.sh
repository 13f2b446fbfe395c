#!/usr/bin/env bash
# The product's start-up: every shared library it names is mapped on every run, so it names
# the C library alone (libstdc++, the X libraries linked in; libsystemd loaded only by runs
# that reach a session bus). Usage: libc-only.sh <program>
set -euo pipefail
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v -x -e libc.so.6 -e ld-linux-x86-64.so.2 || true)
if [ -n "$needed" ]; then
  echo "$1 names more than the C library: $needed" >&2
  exit 1
fi
echo "$1 names only the C library"
