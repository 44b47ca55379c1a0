#!/usr/bin/python3
"""The release's gate: says whether a file may ship (the README's "Releases" tells why each rule).

  gate.py tool PATH [NAME]
      PATH as the setup's palvex.exe: the real tool, a 64-bit x64 Windows console program that needs
      no DLL beyond Windows' own, since the setup installs it alone.
  gate.py signer CERT.pem SHA256 PATH [NAME]
      the first signer of PATH's Authenticode signature: the certificate in CERT.pem, matched by
      issuer and serial number, or the one with the SHA-256 fingerprint SHA256 (empty: none). That
      the signature covers the file's bytes is not checked here.
  gate.py setup SETUP_EXE TOOL_EXE VSIX
      a built palvex-setup.exe, whatever CMake arguments or toolchain built it: its imports,
      manifest, payloads (resources 101 and 102) and versions, and the package's layout and names.
NAME is what a line calls the file (the release checks a copy of the file the maintainer named).
Exit code 0 when it may; otherwise 1, and one line on stderr for each fault.
Runs as /usr/bin/python3, for which Debian's python3-pefile and python3-asn1crypto are installed.
"""
import hashlib
import json
import os
import re
import sys
import zipfile
from pathlib import Path
from xml.dom import minidom

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
PACKAGE_ENTRIES = [
    "extension.vsixmanifest", "[Content_Types].xml", "extension/package.json",
    "extension/language-configuration.json", "extension/README.md",
    "extension/syntaxes/palvex.tmLanguage.json", "extension/snippets/palvex.json"]


def Parse(data, *directories):
    """The PE image in data, with only the named data directories parsed (IMPORT, RESOURCE...)."""
    pe = pefile.PE(data=data, fast_load=True)
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_" + name] for name in directories])
    return pe


def Dlls(pe):
    """The DLLs that the parsed import directories name, loaded at start or delay-loaded."""
    return [entry.dll.decode("ascii", "replace") for entry in
            getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]


def Name(table, value, otherwise):
    """pefile's name for a header value, without its IMAGE_FILE_MACHINE_ or IMAGE_SUBSYSTEM_."""
    name = table.get(value)
    return re.sub(r"^IMAGE_(FILE_MACHINE|SUBSYSTEM)_", "", name) if name else otherwise


def ToolFault(path):
    """What is wrong with the file at path for a tool, or None when nothing is."""
    if not os.path.isfile(path):
        return "missing"
    data = Path(path).read_bytes()
    try:
        # GNU ld 2.40 writes no delay-import directory for dlltool's delay libraries: those go unseen.
        pe = Parse(data, "IMPORT", "DELAY_IMPORT")
    except pefile.PEFormatError:
        return "not a Windows program"
    if pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]:
        return "a DLL, not a program"
    machine, subsystem = pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Subsystem
    if machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        return "a 32-bit program"
    if machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]:
        return "built for another processor (%s)" % Name(pefile.MACHINE_TYPE, machine, hex(machine))
    if subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        return "a GUI program, not a console program"
    if subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"]:
        return "not a console program (subsystem %s)" % Name(pefile.SUBSYSTEM_TYPE, subsystem,
                                                             str(subsystem))
    if STAND_IN_MARK in data:
        return "the stand-in from payload/tool (for a trial release, pass --stand-in instead)"
    for dll in Dlls(pe):
        name = dll.lower().removesuffix(".dll")
        if name not in WINDOWS_DLLS and not name.startswith("api-ms-win-"):
            return ("a program that needs %s, which Windows lacks and the setup does not install:"
                    " link it statically" % dll)
    return None


def Signer(path):
    """The certificate of the first signer of the program's Authenticode signature, or None when it
    has no signature or the signature does not carry that certificate."""
    data = Path(path).read_bytes()
    directory = Parse(data).OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    if not directory.Size:
        return None
    # The directory's address is a file offset. A WIN_CERTIFICATE: its length, revision and type in
    # 8 bytes, then the PKCS#7 SignedData, padded to 8 bytes.
    start = directory.VirtualAddress + 8
    signed = cms.ContentInfo.load(data[start:start + directory.Size - 8], strict=False)["content"]
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
    own = x509.Certificate.load(pem.unarmor(Path(own_path).read_bytes())[2])
    if (signer.issuer, signer.serial_number) == (own.issuer, own.serial_number):
        return None
    fingerprint = Fingerprint(signer)
    if allowed and allowed.replace(":", "").upper() == fingerprint:
        return None
    return ("signed by the certificate with SHA-256 %s, not by the release's own, SHA-256 %s. Sign it"
            " with the release's certificate, or pass --tool-signer %s to ship it signed by that"
            " other one" % (fingerprint, Fingerprint(own), fingerprint))


def Resource(pe, type_name, name_id):
    """The bytes of the resource of that type (RT_RCDATA...) and numeric name, or None."""
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id == pefile.RESOURCE_TYPE[type_name]:
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


def SetupFaults(setup_path, tool_path, package_path):
    setup = Path(setup_path).read_bytes()
    pe = Parse(setup, "IMPORT", "RESOURCE")
    faults = []
    # KnownDLLs, which never come from the program's folder: a downloaded setup shares Downloads
    # with whatever else was downloaded.
    dlls = sorted(dll.upper() for dll in Dlls(pe))
    if dlls != ["KERNEL32.DLL", "MSVCRT.DLL"]:
        faults.append("imports %s, not KERNEL32.dll and msvcrt.dll alone" % ", ".join(dlls))
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return faults + ["it has no resources: no manifest, tool or version"]
    # Without asInvoker, Windows elevates a program named *setup*.
    manifest = Resource(pe, "RT_MANIFEST", 1) or b""
    for needed in [b'level="asInvoker"', b">UTF-8</activeCodePage>"]:
        if needed not in manifest:
            faults.append("its manifest lacks %s" % needed.decode())
    for name, path in [(101, tool_path), (102, package_path)]:
        if Resource(pe, "RT_RCDATA", name) != Path(path).read_bytes():
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
    return faults + PackageFaults(setup, package_path, version)


def PackageFaults(setup, package_path, version):
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
    uninstall = re.search(rb"--uninstall-extension (\S+)", setup)
    names = {"%s.%s" % (package_json["publisher"], package_json["name"]),
             "%s.%s" % (identity.getAttribute("Publisher"), identity.getAttribute("Id")),
             uninstall.group(1).decode() if uninstall else "no uninstall command"}
    if len(names) != 1:
        faults.append("the package's two manifests and the uninstall command name %s" %
                      " and ".join(sorted(names)))
    versions = (package_json["version"], identity.getAttribute("Version"))
    if set(versions) != {version}:
        faults.append("the package's manifests say version %s (package.json) and %s"
                      " (extension.vsixmanifest), not %s as in CMakeLists.txt" %
                      (*versions, version))
    return faults


def main(argv):
    command, args = (argv[1], argv[2:]) if len(argv) > 1 else ("", [])
    if command == "setup" and len(args) == 3:
        lines = ["%s must not ship: %s" % (args[0], fault) for fault in SetupFaults(*args)]
    elif command == "tool" and len(args) in (1, 2):
        fault = ToolFault(args[0])
        lines = ["%s is %s; palvex.exe must be the real tool, a 64-bit x64 Windows console program"
                 " that needs only Windows' own DLLs" % (args[-1], fault)] if fault else []
    elif command == "signer" and len(args) in (3, 4):
        fault = SignerFault(args[2], args[0], args[1])
        lines = ["%s is %s" % (args[-1], fault)] if fault else []
    else:
        sys.exit(__doc__)
    for line in lines:
        print(line, file=sys.stderr)
    return 1 if lines else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
