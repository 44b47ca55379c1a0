#!/usr/bin/env python3
# What the built program and its package must be, beyond what running them shows.
# Usage: check_program.py palvex-setup.exe palvex-extension.vsix OBJDUMP
import json
import re
import subprocess
import sys
import zipfile
from xml.dom import minidom

program_path, package_path, objdump = sys.argv[1:4]
program = open(program_path, "rb").read()

# Statically linked, so it starts on a bare Windows; loaded before main are KnownDLLs alone, which
# never come from the program's folder (the others are delay-loaded).
headers = subprocess.run([objdump, "-p", program_path], capture_output=True, text=True, check=True)
imported_dlls = {name.upper() for name in re.findall(r"DLL Name: (\S+)", headers.stdout)}
assert imported_dlls == {"KERNEL32.DLL", "MSVCRT.DLL"}, f"imports {sorted(imported_dlls)}"

# Without asInvoker, Windows takes a program named *setup* for an installer and elevates it.
assert b'level="asInvoker"' in program and b">UTF-8</activeCodePage>" in program, "manifest"

package = zipfile.ZipFile(package_path)
assert package.namelist() == [
    "extension.vsixmanifest", "[Content_Types].xml", "extension/package.json",
    "extension/language-configuration.json", "extension/README.md",
    "extension/syntaxes/palvex.tmLanguage.json", "extension/snippets/palvex.json"
], package.namelist()
assert all(entry.compress_type == zipfile.ZIP_DEFLATED for entry in package.infolist()), "stored"
minidom.parseString(package.read("[Content_Types].xml"))  # the editor test reads the JSON entries

# The uninstall command must name the extension that both of the package's manifests declare.
package_json = json.loads(package.read("extension/package.json"))
vsix_manifest = minidom.parseString(package.read("extension.vsixmanifest"))
identity = vsix_manifest.getElementsByTagName("Identity")[0]
uninstall_command = re.search(rb"--uninstall-extension (\S+)", program)
extension_ids = {f"{package_json['publisher']}.{package_json['name']}",
                 f"{identity.getAttribute('Publisher')}.{identity.getAttribute('Id')}",
                 uninstall_command and uninstall_command.group(1).decode()}
assert len(extension_ids) == 1, f"the package and the uninstall command differ: {extension_ids}"
print("program and package as they must be")
