#!/usr/bin/env python3
"""Packs payload/extension/ into the VSIX that the setup program embeds.

Usage: pack_vsix.py EXTENSION_DIR OUT_FILE VERSION

Every @PROJECT_VERSION@ in the entries becomes VERSION, so both manifests carry the build's version.

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


def stray_files(source):
    # A file dropped into the folder would silently be left out of the package; refuse instead,
    # so that it is either added to ENTRIES or removed.
    expected = {file_name for file_name, _ in ENTRIES}
    present = {p.relative_to(source).as_posix() for p in source.rglob("*") if p.is_file()}
    return sorted(present - expected)


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    source, out, version = Path(argv[1]), Path(argv[2]), argv[3].encode()
    missing = [name for name, _ in ENTRIES if not (source / name).is_file()]
    if missing:
        sys.exit(f"pack_vsix: missing in {source}: {', '.join(missing)}")
    extra = stray_files(source)
    if extra:
        sys.exit(f"pack_vsix: not part of the package, remove from {source}: {', '.join(extra)}")
    out.parent.mkdir(parents=True, exist_ok=True)
    tmp = out.with_name(out.name + ".tmp")
    try:
        with zipfile.ZipFile(tmp, "w") as archive:
            for file_name, entry_name in ENTRIES:
                info = zipfile.ZipInfo(entry_name, date_time=FIXED_TIME)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.create_system = 0  # zipfile would record the host's system otherwise
                info.external_attr = 0
                content = (source / file_name).read_bytes().replace(b"@PROJECT_VERSION@", version)
                archive.writestr(info, content, compresslevel=9)
        tmp.replace(out)
    finally:
        tmp.unlink(missing_ok=True)


if __name__ == "__main__":
    main(sys.argv)
