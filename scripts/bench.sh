#!/usr/bin/env bash
# Builds and runs the listing benchmark under Wine (in the test prefix,
# under Xvfb when there is no display) and prints its table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
if [[ "${1:-}" != "--inner" ]]; then
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh" --win32-only
  if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --inner "$@"
  fi
  exec bash "$0" --inner "$@"
fi
shift
source "$root/scripts/wine-env.sh"
wine_prefix_ready
trap wine_server_stop EXIT
wine_server_start
wine "$BUILD_DIR/win32/listing_bench.exe" "$@" | tr -d '\r'
