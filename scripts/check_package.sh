#!/usr/bin/env bash
# Checks the release archive as a user gets it: made by package.sh from
# the build, it holds exactly the library, README.txt and LICENSE.txt;
# the library has no debug sections and no symbol table, carries the
# VERSION file's version, and loads in the test host and answers the
# handshake.   check_package.sh <win32 build folder> <objdump>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
objdump=$2
version=$(head -n 1 "$root/VERSION")
BUILD_DIR=$(dirname "$build") bash "$root/scripts/package.sh" --no-build
archive="$(dirname "$build")/dist/velmora-$version-win32.zip"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 - "$archive" "$unpacked" "$version" <<'PY'
import struct, sys, zipfile
archive, into, version = sys.argv[1:]
with zipfile.ZipFile(archive) as package:
    names = sorted(package.namelist())
    assert names == ["LICENSE.txt", "README.txt", "velpdl.pdl"], names
    package.extractall(into)
    readme = package.read("README.txt").decode("ascii")
    assert "Velmora " + version in readme and "\r\n" in readme, "README.txt: version or line ends"
data = open(into + "/velpdl.pdl", "rb").read()
fixed = data.find(struct.pack("<I", 0xFEEF04BD))
assert fixed > 0, "no version resource"
ms, ls = struct.unpack_from("<II", data, fixed + 8)
numbers = [ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF]
expected = [int(part) for part in version.split(".")] + [0]
assert numbers == expected, "file version %s, expected %s" % (numbers, expected)
coff = struct.unpack_from("<I", data, 0x3C)[0] + 4  # after "PE\0\0"
symbols = struct.unpack_from("<I", data, coff + 12)[0]
assert symbols == 0, "a symbol table is left (%d symbols)" % symbols
print("archive ok:", names, "version", ".".join(map(str, numbers)))
PY
if "$objdump" -h "$unpacked/velpdl.pdl" | grep -q '\.debug'; then echo "debug sections left"; exit 1; fi
handshake=$(wine "$build/velhost.exe" --library "Z:$unpacked/velpdl.pdl" --handshake | tr -d '\r')
grep -q '^LibCallback(1) = 3$' <<<"$handshake" || { echo "$handshake"; echo "the packaged library does not answer"; exit 1; }
echo "package ok: $(stat -c %s "$archive") bytes, library $(stat -c %s "$unpacked/velpdl.pdl") bytes"
