#!/usr/bin/env bash
# The test command: installs what is missing, builds both builds and runs
# every test through CTest (the Windows ones under Wine, in a private prefix).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

if [[ "${1:-}" != "--inner" ]]; then
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh"
  source "$root/scripts/lib.sh"
  enter_with_display "$0" 1280x1024x24
fi

source "$root/scripts/wine-env.sh"
wine_prefix_ready
# A small drive S: that the tests can fill: a full drive must leave the
# files the manager wrote earlier. Without the right to mount one, the
# tests make the writes fail instead.
small="$BUILD_DIR/smalldrive"
mkdir -p "$small"
if mountpoint -q "$small" || mount -t tmpfs -o size=512k velmora-small "$small" 2>/dev/null; then
  ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
else
  rm -f "$WINEPREFIX/dosdevices/s:"
  echo "No small drive (mount refused): the full-drive test fails the writes itself"
fi
trap 'wine_server_stop; umount "$small" 2>/dev/null || true' EXIT
wine_server_start

mkdir -p "$BUILD_DIR/artifacts"
status=0
log=$(mktemp)
echo "== Windows build under Wine =="
ctest --test-dir "$BUILD_DIR/win32" --output-on-failure --timeout 900 2>&1 | tee "$log" || status=1
echo "== Native build, AddressSanitizer and UndefinedBehaviorSanitizer =="
ctest --test-dir "$BUILD_DIR/native" --output-on-failure --timeout 900 2>&1 | tee -a "$log" || status=1

# One closing line over both runs.
read -r total failed < <(awk '/tests passed, .* tests failed out of/ {f+=$4; t+=$NF} END {print t+0, f+0}' "$log")
rm -f "$log"
echo "Artifacts (screenshots): $BUILD_DIR/artifacts"
echo "$((total - failed)) passed, $failed failed"
[[ $status -eq 0 && $failed -eq 0 && $total -gt 0 ]]
