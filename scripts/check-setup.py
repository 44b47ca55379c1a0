#!/usr/bin/python3
"""Says whether a built palvex-setup.exe may ship, whatever CMake arguments or toolchain built it:
  - it imports KERNEL32 and msvcrt alone, KnownDLLs that never come from the program's folder
    (a downloaded setup shares Downloads with whatever else was downloaded);
  - its manifest asks for asInvoker, or Windows elevates a program named *setup*, and for UTF-8;
  - resource 101 is the tool and resource 102 the extension package shipped beside it, byte for
    byte;
  - its version resource and the package's two manifests carry the version in the project() line
    of CMakeLists.txt;
  - the package has the VSIX layout that VS Code installs, and names the extension that the
    setup's uninstall command removes.
Exit code 0 when it may; otherwise 1, and one line on stderr for each fault.

Usage: check-setup.py SETUP_EXE TOOL_EXE VSIX

Runs as /usr/bin/python3, the interpreter Debian's python3-pefile is installed for.
"""
import json
import os
import re
import sys
import zipfile
from xml.dom import minidom

import pefile

PACKAGE_ENTRIES = [
    "extension.vsixmanifest", "[Content_Types].xml", "extension/package.json",
    "extension/language-configuration.json", "extension/README.md",
    "extension/syntaxes/palvex.tmLanguage.json", "extension/snippets/palvex.json"]


def Resource(pe, type_id, name_id):
    """The bytes of the resource of that type and numeric name, or None."""
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id == type_id:
            for name_entry in type_entry.directory.entries:
                if name_entry.id == name_id:
                    data = name_entry.directory.entries[0].data.struct
                    return pe.get_data(data.OffsetToData, data.Size)
    return None


def Version():
    """The version of the project() line in CMakeLists.txt, read from the line itself: the build's
    own idea of the version is among what is checked."""
    with open(os.path.join(os.path.dirname(__file__), "..", "CMakeLists.txt")) as cmake_lists:
        return re.search(r"^project\(\w+ VERSION (\d+\.\d+\.\d+)\b", cmake_lists.read(),
                         re.MULTILINE).group(1)


def Faults(setup_path, tool_path, package_path):
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
    for name, path in [(101, tool_path), (102, package_path)]:
        with open(path, "rb") as payload:
            if Resource(pe, pefile.RESOURCE_TYPE["RT_RCDATA"], name) != payload.read():
                faults.append("resource %d is not %s byte for byte" % (name, path))

    version = Version()
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


def PackageFaults(setup_path, package_path):
    """What is wrong with the package, or with the uninstall command that names its extension. XML
    or JSON that does not parse stops the check with Python's own error."""
    package = zipfile.ZipFile(package_path)
    if package.namelist() != PACKAGE_ENTRIES:
        return ["the package holds %s, not %s in that order" %
                (package.namelist(), PACKAGE_ENTRIES)]
    faults = []
    if any(entry.compress_type != zipfile.ZIP_DEFLATED for entry in package.infolist()):
        faults.append("the package stores entries uncompressed, not deflated")
    minidom.parseString(package.read("[Content_Types].xml"))
    package_json = json.loads(package.read("extension/package.json"))
    identity = minidom.parseString(package.read("extension.vsixmanifest")).getElementsByTagName(
        "Identity")[0]
    with open(setup_path, "rb") as setup:
        uninstall = re.search(rb"--uninstall-extension (\S+)", setup.read())
    names = {"%s.%s" % (package_json["publisher"], package_json["name"]),
             "%s.%s" % (identity.getAttribute("Publisher"), identity.getAttribute("Id")),
             uninstall.group(1).decode() if uninstall else "no uninstall command"}
    if len(names) != 1:
        faults.append("the package's two manifests and the uninstall command name %s" %
                      " and ".join(sorted(names)))
    versions = (package_json["version"], identity.getAttribute("Version"))
    if set(versions) != {Version()}:
        faults.append("the package's manifests say version %s (package.json) and %s"
                      " (extension.vsixmanifest), not %s as in CMakeLists.txt" %
                      (*versions, Version()))
    return faults


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    faults = Faults(argv[1], argv[2], argv[3]) + PackageFaults(argv[1], argv[3])
    for fault in faults:
        print("%s must not ship: %s" % (argv[1], fault), file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
