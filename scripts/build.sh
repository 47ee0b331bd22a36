#!/usr/bin/env bash
# Builds the 32-bit Windows library, host and tests, and the native
# sanitizer build of the pure text units.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$root" -B "$build/win32" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DVEL_WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" >/dev/null
cmake --build "$build/win32" -j "$jobs"

if [[ "${1:-}" != "--win32-only" ]]; then
  cmake -S "$root/native" -B "$build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build/native" -j "$jobs"
fi
