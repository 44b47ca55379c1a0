#!/usr/bin/python3
"""Says whether a built palvex-setup.exe may ship, whatever CMake arguments or toolchain built it:
  - it imports KERNEL32 and msvcrt alone, KnownDLLs that never come from the program's folder
    (a downloaded setup shares Downloads with whatever else was downloaded);
  - its manifest asks for asInvoker, or Windows elevates a program named *setup*, and for UTF-8;
  - resource 101 is the tool, byte for byte;
  - its version resource carries the version in the project() line of CMakeLists.txt.
Exit code 0 when it may; otherwise 1, and one line on stderr for each fault.

Usage: check-setup.py SETUP_EXE TOOL_EXE

Runs as /usr/bin/python3, the interpreter Debian's python3-pefile is installed for.
"""
import os
import re
import sys

import pefile


def Resource(pe, type_id, name_id):
    """The bytes of the resource of that type and numeric name, or None."""
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id == type_id:
            for name_entry in type_entry.directory.entries:
                if name_entry.id == name_id:
                    data = name_entry.directory.entries[0].data.struct
                    return pe.get_data(data.OffsetToData, data.Size)
    return None


def Faults(setup_path, tool_path):
    pe = pefile.PE(setup_path, fast_load=True)
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    faults = []
    dlls = sorted(entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT)
    if dlls != ["KERNEL32.DLL", "MSVCRT.DLL"]:
        faults.append("imports %s, not KERNEL32.dll and msvcrt.dll alone" % ", ".join(dlls))
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return faults + ["it has no resources: no manifest, tool or version"]
    manifest = Resource(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"], 1) or b""
    for needed in [b'level="asInvoker"', b">UTF-8</activeCodePage>"]:
        if needed not in manifest:
            faults.append("its manifest lacks %s" % needed.decode())
    with open(tool_path, "rb") as tool:
        if Resource(pe, pefile.RESOURCE_TYPE["RT_RCDATA"], 101) != tool.read():
            faults.append("resource 101 is not %s byte for byte" % tool_path)

    # Read from the line itself: the build's own idea of the version is among what is checked.
    with open(os.path.join(os.path.dirname(__file__), "..", "CMakeLists.txt")) as cmake_lists:
        version = re.search(r"^project\(\w+ VERSION (\d+\.\d+\.\d+)\b", cmake_lists.read(),
                            re.MULTILINE).group(1)
    # What Explorer's Details tab shows as the file and the product version.
    fixed = pe.VS_FIXEDFILEINFO[0]
    file_version = "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                    fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    strings = {key: value for info in pe.FileInfo[0] for table in getattr(info, "StringTable", [])
               for key, value in table.entries.items()}
    product_version = strings.get(b"ProductVersion", b"").decode()
    if (file_version, product_version) != (version + ".0", version):
        faults.append("its version resource says %s and %s, not %s as in CMakeLists.txt" %
                      (file_version, product_version, version))
    return faults


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    faults = Faults(argv[1], argv[2])
    for fault in faults:
        print("%s must not ship: %s" % (argv[1], fault), file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
