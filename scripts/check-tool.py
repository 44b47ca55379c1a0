#!/usr/bin/python3
"""Says whether a file can be embedded as the setup's palvex.exe: the real tool, a 64-bit x64
Windows console program that needs no DLL beyond Windows' own, since the setup installs it alone.
With --signer, says instead whether the first signer of its Authenticode signature is the
certificate in CERT.pem, matched by issuer and serial number, or the certificate whose SHA-256
fingerprint --allowed names; that the signature covers the file's bytes is not checked here.
Exit code 0 when it can; otherwise 1, and one line on stderr saying what it is instead. NAME is
what that line calls the file (the release checks a copy of the file the maintainer named).

Usage: check-tool.py PATH [NAME]
       check-tool.py --signer CERT.pem [--allowed SHA256] PATH [NAME]

Runs as /usr/bin/python3, the interpreter Debian's python3-pefile is installed for.
"""
import argparse
import hashlib
import os
import sys

import pefile
from asn1crypto import cms, pem, x509

# Windows 10's KnownDLLs (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs on a
# clean install, less its WOW64 entries, which serve 32-bit programs), then system DLLs that every
# Windows 10 and later has outside that list. api-ms-win-* API sets are Windows' own too; ext-ms-*
# ones are not, some editions lack them.
WINDOWS_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus",
    "imagehlp", "imm32", "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32",
    "psapi", "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32",
    "ws2_32",
    "bcrypt", "bcryptprimitives", "crypt32", "kernelbase", "ntdll", "ucrtbase", "userenv",
    "version",
}
# The stand-in's own words (payload/tool/palvex.cpp), in every build of it.
STAND_IN_MARK = b"this is the stand-in that Palvex Setup installs"


def ForeignDll(pe):
    """The first DLL, loaded at start or delay-loaded, that Windows does not provide, or None.
    GNU ld 2.40 writes no delay-import directory for dlltool's delay libraries: those go unseen."""
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]])
    for entry in (getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) +
                  getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])):
        dll = entry.dll.decode("ascii", "replace")
        name = dll.lower().removesuffix(".dll")
        if name not in WINDOWS_DLLS and not name.startswith("api-ms-win-"):
            return dll
    return None


def What(path):
    """What is wrong with the file at path for a tool, or None when nothing is."""
    if not os.path.isfile(path):
        return "missing"
    with open(path, "rb") as f:
        data = f.read()
    try:
        pe = pefile.PE(data=data, fast_load=True)
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
    if STAND_IN_MARK in data:
        return "the stand-in from payload/tool (for a trial release, pass --stand-in instead)"
    dll = ForeignDll(pe)
    if dll:
        return ("a program that needs %s, which Windows lacks and the setup does not install: link"
                " it statically" % dll)
    return None


def Signer(path):
    """The certificate of the first signer of the program's Authenticode signature, or None when it
    has no signature or the signature does not carry that certificate."""
    pe = pefile.PE(path, fast_load=True)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    if not directory.Size:
        return None
    # The directory's address is a file offset. A WIN_CERTIFICATE: its length, revision and type in
    # 8 bytes, then the PKCS#7 SignedData, padded to 8 bytes.
    with open(path, "rb") as f:
        f.seek(directory.VirtualAddress + 8)
        signed = cms.ContentInfo.load(f.read(directory.Size - 8), strict=False)["content"]
    signer = signed["signer_infos"][0]["sid"].chosen
    for certificate in signed["certificates"]:
        if (certificate.chosen.issuer == signer["issuer"] and
                certificate.chosen.serial_number == signer["serial_number"].native):
            return certificate.chosen
    return None


def Fingerprint(certificate):
    return hashlib.sha256(certificate.dump()).hexdigest().upper()


def SignerFault(path, own_path, allowed):
    """What is wrong with the signer of the program at path, or None when nothing is."""
    signer = Signer(path)
    if signer is None:
        return "unsigned, or its signature lacks its signer's certificate"
    with open(own_path, "rb") as f:
        own = x509.Certificate.load(pem.unarmor(f.read())[2])
    if (signer.issuer, signer.serial_number) == (own.issuer, own.serial_number):
        return None
    fingerprint = Fingerprint(signer)
    if allowed and allowed.replace(":", "").upper() == fingerprint:
        return None
    return ("signed by the certificate with SHA-256 %s, not by the release's own, SHA-256 %s. Sign it"
            " with the release's certificate, or pass --tool-signer %s to ship it signed by that"
            " other one" % (fingerprint, Fingerprint(own), fingerprint))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("path")
    parser.add_argument("name", nargs="?")
    parser.add_argument("--signer", metavar="CERT.pem")
    parser.add_argument("--allowed", metavar="SHA256")
    args = parser.parse_args()
    name = args.name or args.path
    if args.signer:
        fault = SignerFault(args.path, args.signer, args.allowed)
        if fault:
            print("%s is %s" % (name, fault), file=sys.stderr)
            return 1
        return 0
    what = What(args.path)
    if what:
        print("%s is %s; palvex.exe must be the real tool, a 64-bit x64 Windows console program that"
              " needs only Windows' own DLLs" % (name, what), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
