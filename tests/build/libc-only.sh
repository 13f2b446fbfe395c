#!/usr/bin/env bash
# The product's start-up: every shared library a program names is mapped on every run, so the
# product names none but the C library, and none at all as the static program it is built as
# (libstdc++ and the X libraries linked in; libsystemd loaded only by runs that reach a
# session bus). Usage: libc-only.sh <program>
set -euo pipefail
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v -x -e libc.so.6 -e ld-linux-x86-64.so.2 || true)
if [ -n "$needed" ]; then
  echo "$1 names more than the C library: $needed" >&2
  exit 1
fi
echo "$1 names no shared library but the C library"
