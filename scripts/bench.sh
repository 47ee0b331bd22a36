#!/usr/bin/env bash
# Builds and runs the listing benchmark under Wine (in the test prefix,
# under Xvfb when there is no display) and prints its table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
if [[ "${1:-}" != "--inner" ]]; then
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh" --win32-only
  source "$root/scripts/lib.sh"
  enter_with_display "$0" 1280x1024x24 "$@"
fi
shift
if [[ "${1:-}" == "--headless" ]]; then shift; fi
source "$root/scripts/wine-env.sh"
wine_prefix_ready
trap wine_server_stop EXIT
wine_server_start
wine "$BUILD_DIR/win32/listing_bench.exe" "$@" | tr -d '\r'
