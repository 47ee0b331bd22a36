#!/usr/bin/env bash
# The run command: installs what is missing and builds the plug-in library.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" --win32-only
library="$BUILD_DIR/win32/velpdl.pdl"
echo "Built $library"
i686-w64-mingw32-objdump -f "$library" | sed -n 's/^.*file format /format: /p'
