#!/usr/bin/env python3
# What the built program and its package must be, beyond what running them shows.
# Usage: check_program.py palvex-setup.exe palvex-extension.vsix OBJDUMP
import json
import re
import subprocess
import sys
import zipfile
from xml.dom import minidom

exe_path, vsix_path, objdump = sys.argv[1:4]
exe = open(exe_path, "rb").read()
# Statically linked, so it starts on a bare Windows; loaded before main are KnownDLLs alone, which
# never come from the program's folder (the others are delay-loaded).
dump = subprocess.run([objdump, "-p", exe_path], capture_output=True, text=True, check=True).stdout
dlls = {name.upper() for name in re.findall(r"DLL Name: (\S+)", dump)}
assert dlls == {"KERNEL32.DLL", "MSVCRT.DLL"}, f"imports {sorted(dlls)}"
# Without asInvoker, Windows takes a program named *setup* for an installer and elevates it.
assert b'level="asInvoker"' in exe and b">UTF-8</activeCodePage>" in exe, "manifest incomplete"
# Explorer shows the program with icon group 1 and takes from it the size each view needs.
ico = subprocess.run(["wrestool", "-x", "-t14", "-n1", exe_path], capture_output=True).stdout
assert [ico[6 + 16 * i] or 256 for i in range(len(ico) > 6 and ico[4])] == [16, 32, 48, 256], "icon"

vsix = zipfile.ZipFile(vsix_path)
assert vsix.namelist() == [
    "extension.vsixmanifest", "[Content_Types].xml", "extension/package.json",
    "extension/language-configuration.json", "extension/README.md",
    "extension/syntaxes/palvex.tmLanguage.json", "extension/snippets/palvex.json"
], vsix.namelist()
assert all(entry.compress_type == zipfile.ZIP_DEFLATED for entry in vsix.infolist()), "stored"
minidom.parseString(vsix.read("[Content_Types].xml"))  # the editor test reads the JSON entries
# The uninstall command must name the extension that the package declares.
manifest = json.loads(vsix.read("extension/package.json"))
identity = minidom.parseString(vsix.read("extension.vsixmanifest")).getElementsByTagName("Identity")
uninstalled = re.search(rb"--uninstall-extension (\S+)", exe)
ids = {f"{manifest['publisher']}.{manifest['name']}", uninstalled and uninstalled.group(1).decode(),
       f"{identity[0].getAttribute('Publisher')}.{identity[0].getAttribute('Id')}"}
assert len(ids) == 1, f"package and uninstall command name different extensions: {ids}"
print("program and package as they must be")
