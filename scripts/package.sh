#!/usr/bin/env bash
# Builds the release archive: build/dist/velmora-<version>-win32.zip with a
# stripped velpdl.pdl (no debug sections, no symbol table), README.txt for
# users and LICENSE.txt. The version is the VERSION file's.
#   package.sh [--no-build]   (--no-build: package what is built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
version=$(head -n 1 "$root/VERSION")

if [[ "${1:-}" != "--no-build" ]]; then
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh" --win32-only
fi

stage="$build/dist/velmora-$version"
rm -rf "$stage"
mkdir -p "$stage"
i686-w64-mingw32-strip --strip-all -o "$stage/velpdl.pdl" "$build/win32/velpdl.pdl"
sed "s/@VERSION@/$version/" "$root/res/dist/README.txt" | sed 's/$/\r/' > "$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE.txt" > "$stage/LICENSE.txt"
archive="$build/dist/velmora-$version-win32.zip"
rm -f "$archive"
(cd "$stage" && python3 -m zipfile -c "$archive" velpdl.pdl README.txt LICENSE.txt)
echo "$archive ($(stat -c %s "$stage/velpdl.pdl") bytes of library)"
