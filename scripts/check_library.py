#!/usr/bin/env python3
"""Checks the built library file: PE32 i386 DLL, system imports only, the
expected exports, the version strings and the common-controls manifest."""
import os
import subprocess
import sys

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "VERSION")) as version_file:
    VERSION = version_file.read().strip()

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "mpr.dll", "comctl32.dll", "comdlg32.dll", "msvcrt.dll", "shlwapi.dll", "version.dll",
}
VERSION_STRINGS = {
    "FileVersion": VERSION + ".0",
    "ProductVersion": VERSION,
    "FileDescription": "Velmora plug-in  for Corvana Strandel",
    "InternalName": "velpdl.pdl",
    "OriginalFilename": "velpdl.pdl",
    "ProductName": "Corvana Strandel Plug-In",
}


def main(path, objdump, *exports):
    failures = []
    dump = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    if "file format pei-i386" not in dump:
        failures.append("not a PE32 i386 image")
    if "Characteristics 0x2" not in dump:  # IMAGE_FILE_DLL (0x2000)
        failures.append("not a DLL")
    imports = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line}
    foreign = sorted(imports - SYSTEM_DLLS)
    if foreign:
        failures.append("imports non-system DLLs: %s" % foreign)
    named = []
    in_names = False
    for line in dump.splitlines():
        if line.strip().startswith("[Ordinal/Name Pointer] Table"):
            in_names = True
            continue
        if in_names:
            if not line.strip().startswith("["):
                in_names = False
                continue
            named.append(line.split("]")[-1].strip())
    if sorted(named) != sorted(exports):
        failures.append("exports %s, expected %s" % (named, list(exports)))

    data = open(path, "rb").read()
    for key, value in VERSION_STRINGS.items():
        # The key's name may also be in the code (the library reads other
        # programs' version resources): any occurrence followed by the value.
        entry = (key + "\0").encode("utf-16-le")
        places = [at for at in range(len(data)) if data.startswith(entry, at)]
        if not places:
            failures.append("version key %s missing" % key)
            continue
        wanted = (value + "\0").encode("utf-16-le")
        if not any(wanted in data[at + len(entry):at + len(entry) + 4 + len(wanted)] for at in places):
            failures.append("version %s is not %r" % (key, value))
    if (b"Microsoft.Windows.Common-Controls" not in data or b'version="6.0.0.0"' not in data
            or b'processorArchitecture="x86"' not in data):
        failures.append("manifest does not ask for common controls 6.0.0.0 x86")
    for failure in failures:
        print("FAIL:", failure)
    print("%s: %s" % (path, "ok" if not failures else "%d problems" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
