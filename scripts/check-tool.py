#!/usr/bin/python3
"""Says whether a file can be embedded as the setup's palvex.exe: a 64-bit x64 Windows console
program. Exit code 0 when it can; otherwise 1, and one line on stderr saying what it is instead.

Usage: check-tool.py PATH

Runs as /usr/bin/python3, the interpreter Debian's python3-pefile is installed for.
"""
import os
import sys

import pefile


def What(path):
    """What is wrong with the file at path for a tool, or None when nothing is."""
    if not os.path.isfile(path):
        return "missing"
    try:
        pe = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError:
        return "not a Windows program"
    if pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]:
        return "a DLL, not a program"
    machine = pe.FILE_HEADER.Machine
    if machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        return "a 32-bit program"
    if machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]:
        name = pefile.MACHINE_TYPE.get(machine, hex(machine))
        return "built for another processor (%s)" % name.replace("IMAGE_FILE_MACHINE_", "")
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    if subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        return "a GUI program, not a console program"
    if subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"]:
        name = pefile.SUBSYSTEM_TYPE.get(subsystem, str(subsystem))
        return "not a console program (subsystem %s)" % name.replace("IMAGE_SUBSYSTEM_", "")
    return None


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    what = What(argv[1])
    if what:
        print("%s is %s; palvex.exe must be a 64-bit x64 Windows console program" % (argv[1], what),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
