#!/usr/bin/env python3
# The package, and the uninstall command that names it. Usage: check_program.py SETUP_EXE VSIX
import json
import re
import sys
import zipfile
from xml.dom import minidom

program_path, package_path = sys.argv[1:3]
program = open(program_path, "rb").read()

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
