#!/usr/bin/env python3
"""Packs payload/extension/ into the VSIX that the setup program embeds.

Usage: pack_vsix.py EXTENSION_DIR OUT_FILE

The archive is the same bytes on every build: fixed entry order, times and attributes, deflate at a
fixed level, nothing taken from the host.
"""
import sys
import zipfile
from pathlib import Path

# (file below EXTENSION_DIR, entry name), in the order the package must list them.
ENTRIES = [
    ("extension.vsixmanifest", "extension.vsixmanifest"),
    ("[Content_Types].xml", "[Content_Types].xml"),
    ("package.json", "extension/package.json"),
    ("language-configuration.json", "extension/language-configuration.json"),
    ("README.md", "extension/README.md"),
    ("syntaxes/palvex.tmLanguage.json", "extension/syntaxes/palvex.tmLanguage.json"),
    ("snippets/palvex.json", "extension/snippets/palvex.json"),
]

FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    source, out = Path(argv[1]), Path(argv[2])
    out.parent.mkdir(parents=True, exist_ok=True)
    tmp = out.with_name(out.name + ".tmp")
    with zipfile.ZipFile(tmp, "w") as archive:
        for file_name, entry_name in ENTRIES:
            info = zipfile.ZipInfo(entry_name, date_time=FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # zipfile would record the host's system otherwise
            info.external_attr = 0
            archive.writestr(info, (source / file_name).read_bytes(), compresslevel=9)
    tmp.replace(out)


if __name__ == "__main__":
    main(sys.argv)
