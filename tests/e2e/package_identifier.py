#!/usr/bin/env python3
"""Writes a header naming the extension identifier (publisher.name) that a built package declares.

Usage: package_identifier.py PACKAGE.vsix OUT.h
"""
import json
import sys
import zipfile

package, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(package) as archive:
    manifest = json.loads(archive.read("extension/package.json"))
identifier = manifest["publisher"] + "." + manifest["name"]
with open(out, "w", encoding="utf-8") as header:
    header.write("#pragma once\n")
    header.write(f"#define PALVEX_PACKAGE_IDENTIFIER {json.dumps(identifier)}\n")
