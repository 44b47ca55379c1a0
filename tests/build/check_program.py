#!/usr/bin/env python3
"""What the built program and its package must be, beyond what running them shows.

Usage: check_program.py palvex-setup.exe palvex-extension.vsix OBJDUMP
"""
import json
import re
import subprocess
import sys
import zipfile
from xml.dom import minidom

exe_path, vsix_path, objdump = sys.argv[1:4]
exe = open(exe_path, "rb").read()
problems = []

# Statically linked: the program must start on a bare Windows.
dump = subprocess.run([objdump, "-p", exe_path], capture_output=True, text=True, check=True).stdout
dlls = {name.upper() for name in re.findall(r"DLL Name: (\S+)", dump)}
if not dlls or dlls - {"KERNEL32.DLL", "ADVAPI32.DLL", "SHELL32.DLL", "USER32.DLL", "MSVCRT.DLL"}:
    problems.append(f"imports {sorted(dlls)}")
# Without asInvoker, Windows takes a program named *setup* for an installer and elevates it.
for needed in (b'level="asInvoker"', b">UTF-8</activeCodePage>"):
    if needed not in exe:
        problems.append(f"manifest lacks {needed.decode()}")

vsix = zipfile.ZipFile(vsix_path)
names = vsix.namelist()
if names != ["extension.vsixmanifest", "[Content_Types].xml", "extension/package.json",
             "extension/language-configuration.json", "extension/README.md",
             "extension/syntaxes/palvex.tmLanguage.json", "extension/snippets/palvex.json"]:
    problems.append(f"entries {names}")
if vsix.testzip() or any(entry.compress_type != zipfile.ZIP_DEFLATED for entry in vsix.infolist()):
    problems.append("an entry is damaged or not deflated")
for name in names:
    parse = json.loads if name.endswith(".json") else minidom.parseString
    if not name.endswith(".md"):
        try:
            parse(vsix.read(name))
        except Exception as error:
            problems.append(f"{name}: {error}")

# The uninstall command must name the extension that the package declares.
manifest = json.loads(vsix.read("extension/package.json"))
identity = minidom.parseString(vsix.read("extension.vsixmanifest")).getElementsByTagName("Identity")
uninstalled = re.search(rb"--uninstall-extension (\S+)", exe)
ids = {f"{manifest['publisher']}.{manifest['name']}", uninstalled and uninstalled.group(1).decode(),
       f"{identity[0].getAttribute('Publisher')}.{identity[0].getAttribute('Id')}"}
if len(ids) != 1:
    problems.append(f"package and uninstall command name different extensions: {ids}")

print("\n".join(problems) or "program and package as they must be")
sys.exit(1 if problems else 0)
