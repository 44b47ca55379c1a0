#!/usr/bin/env bash
# The release command end to end: two copies of the checkout, in folders of different names, with
# other clocks, time zones, locales and umasks, the second signed and time-stamped (a throwaway
# authority on loopback) in ways that must verify, give the same bytes once unsigned, and carry the
# signed tool unchanged. Then a row for each mistake that must stop a release, leaving dist/ empty.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh windows release
repo=$PWD work=$PWD/build/release-test
rm -rf "$work" && mkdir -p "$work" && cd "$work"
fail() { echo "FAIL: $*; see $work" && exit 1; }
unset PALVEX_SIGN_PFX PALVEX_SIGN_PASSWORD PALVEX_TIMESTAMP_URL

# Blanks and shell characters: the password must reach the signing tool unchanged.
password='throwaway pass & $HOME "quoted"'
# The other signer has the same name: only its serial number and its key tell it apart. $signer and
# $other are their SHA-256 fingerprints.
for name in signer other; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Palvex test signer" \
    -addext extendedKeyUsage=codeSigning -keyout $name.key -out $name.pem 2>/dev/null
  declare $name="$(openssl x509 -in $name.pem -noout -fingerprint -sha256 | sed 's/.*=//; s/://g')"
done
openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.pfx -passout pass:"$password"
printf 'int main(void) { return 0; }\n' >main.c
for flags in "-o unsigned.exe" "-mwindows -o gui.exe" "-shared -o lib.dll"; do x86_64-w64-mingw32-gcc $flags main.c; done
printf '#include <iostream>\nint main() { std::cout << 1; }\n' >main.cpp
x86_64-w64-mingw32-g++ -o needs-dll.exe main.cpp
osslsigncode sign -certs signer.pem -key signer.key -in unsigned.exe -out tool.exe >/dev/null
# Same-length edits: other processors, an API set some Windows lack, a header changed after signing.
/usr/bin/python3 -c 'import pefile
pe = pefile.PE("unsigned.exe"); pe.FILE_HEADER.Machine = 0xaa64; pe.write("arm64.exe")
pe.FILE_HEADER.Machine = 0x14c; pe.write("x86.exe"); pe.FILE_HEADER.Machine = 0x8664
pe.set_bytes_at_rva(pe.DIRECTORY_ENTRY_IMPORT[0].struct.Name, b"ext-ms-win-1"); pe.write("ext-ms.exe")
for name in ["unsigned", "tool"]:
    pe = pefile.PE(name + ".exe"); pe.FILE_HEADER.TimeDateStamp += 1; pe.write(name + "-changed.exe")'
osslsigncode sign -certs other.pem -key other.key -in unsigned-changed.exe -out resigned.exe >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Palvex test TSA" -addext \
  extendedKeyUsage=critical,timeStamping -keyout tsa.key -out tsa.pem 2>/dev/null
printf '%s\n' '[tsa]' 'default_tsa = t' '[t]' 'serial = tsa-serial' 'digests = sha256' \
  'signer_cert = tsa.pem' 'signer_key = tsa.key' 'signer_digest = sha256' \
  'default_policy = 1.2.3.4' >tsa.cnf
# RFC 3161 over HTTP: a DER query POSTed in, `openssl ts -reply` DER out.
python3 -c 'import http.server as h, subprocess, sys
class T(h.BaseHTTPRequestHandler):
  def do_POST(self):
    query = self.rfile.read(int(self.headers["Content-Length"]))
    self.send_response(200); self.send_header("Content-Type", "application/timestamp-reply")
    self.end_headers(); self.wfile.write(subprocess.run(["openssl", "ts", "-reply", "-config",
      sys.argv[1], "-queryfile", "/dev/stdin"], input=query, capture_output=True).stdout)
s = h.HTTPServer(("127.0.0.1", 0), T); print(s.server_port, flush=True); s.serve_forever()
' tsa.cnf >tsa.port 2>tsa.log &
tsa=$! && trap 'kill "$tsa" 2>/dev/null || true' EXIT
for _ in {1..50}; do [[ -s tsa.port ]] && break; sleep 0.1; done
# An http_proxy set here would otherwise take the loopback request too.
export no_proxy=127.0.0.1
signed() {  # COMMAND...: COMMAND with the signing variables, but for those the caller set itself
  PALVEX_SIGN_PFX=${PALVEX_SIGN_PFX-$work/signer.pfx} \
    PALVEX_SIGN_PASSWORD=${PALVEX_SIGN_PASSWORD-$password} \
    PALVEX_TIMESTAMP_URL=${PALVEX_TIMESTAMP_URL-http://127.0.0.1:$(<"$work/tsa.port")} "$@"
}

release() {  # FOLDER EPOCH ZONE LOCALE UMASK [signed]: releases a committed copy of this tree
  mkdir -p "$1" && git -C "$repo" ls-files -z --cached --others --exclude-standard |
    tar -C "$repo" --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -x -C "$1"
  (cd "$1" && git init -q && git add -A && GIT_COMMITTER_DATE=2000-01-01T00:00Z git -c user.name=T \
    -c user.email=t@example.invalid commit -q --date=2000-01-01T00:00Z -m "This work tree")
  (cd "$1" && umask "$5" && SOURCE_DATE_EPOCH=$2 TZ=$3 LC_ALL=$4 ${6-} \
    release/release.sh "-DPALVEX_TOOL_EXE=$work/tool.exe") >"$1.log" 2>&1 || fail "release in $1 failed"
}
release a/palvex "$(date +%s)" UTC C 022
release second/nested/copy $(($(date +%s) - 400 * 86400)) Pacific/Kiritimati C.UTF-8 002 signed
grep -q '^Built from commit .*, work tree clean$' a/palvex.log || fail "commit not named"
a=a/palvex/dist b=second/nested/copy/dist smoke=second/nested/copy/build/release/smoke-prefix
osslsigncode verify -CAfile signer.pem -TSA-CAfile tsa.pem -in $b/palvex-setup.exe >verify.log 2>&1 ||
  fail "the signature does not verify"
grep -q '^Timestamp Server Signature verification: ok' verify.log || fail "no verified time stamp"
wrestool -x --raw --type=10 --name=101 $b/palvex-setup.exe >embedded.exe
cmp tool.exe embedded.exe && osslsigncode verify -CAfile signer.pem -in embedded.exe >/dev/null ||
  fail "the setup's palvex.exe is not the signed tool"
osslsigncode remove-signature -in $b/palvex-setup.exe -out stripped.exe >/dev/null
cmp $a/palvex-setup.exe stripped.exe || fail "the two programs differ"
cmp $a/palvex-extension.vsix $b/palvex-extension.vsix || fail "the two packages differ"
(cd $b && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

x86_64-w64-mingw32-g++ -Ia/palvex/build/release/version -o stand-in.exe "$repo/payload/tool/palvex.cpp"
printf 'set(PALVEX_TOOL_EXE %s CACHE FILEPATH "" FORCE)\n' "$work/stand-in.exe" >tool.cmake
echo 'set(PROJECT_VERSION 9.9.9)' >version.cmake
gate() {  # EDIT: the gate on the signed release's files after EDIT, Python that changes their bytes
  # flip changes the last byte of a part's first copy; swap trades the names of two entries.
  /usr/bin/python3 -c 'import sys
setup, vsix, tool = (open(name, "rb").read() for name in sys.argv[2:])
flip = lambda data, part: data.replace(part, part[:-1] + bytes([part[-1] ^ 1]), 1)
swap = lambda data, a, b: data.replace(a, a.upper()).replace(b, a).replace(a.upper(), b)
exec(sys.argv[1])
open("setup.exe", "wb").write(setup); open("package.vsix", "wb").write(vsix)' "$1" \
    $b/palvex-setup.exe $b/palvex-extension.vsix tool.exe
  a/palvex/release/gate.py setup setup.exe tool.exe package.vsix
}
# Copy a's work tree, changed now (only --allow-dirty gets past that), is released from here with
# relative paths. Each row must stop, saying so; a release must also empty dist/.
echo >>a/palvex/README.md
PATH=$work/a/palvex/release:$PATH
while IFS='|' read -r says tool command; do
  command+=${tool:+ -DPALVEX_TOOL_EXE=$tool}
  touch $a/palvex-setup.exe
  output=$(eval "$command" 2>&1) && fail "'$command' did not stop"
  [[ $output == *"$says"* ]] || fail "'$command' did not say $says: $output"
  [[ $command != *release.sh* || -z $(ls -A $a) ]] || fail "'$command' left files in dist/"
done <<EOF
needs the real palvex.exe||release.sh
exclude each other|tool.exe|release.sh --stand-in
'PALVEX_TOOL_EXE=tool.exe' names PALVEX_TOOL_EXE||release.sh --stand-in -D PALVEX_TOOL_EXE=tool.exe
PALVEX_SIGN_PASSWORD is set but|tool.exe|PALVEX_SIGN_PFX= signed release.sh
names no file|tool.exe|PALVEX_SIGN_PFX=missing.pfx signed release.sh
PALVEX_SIGN_PASSWORD is unset|tool.exe|PALVEX_SIGN_PFX=signer.pfx release.sh
cannot open|tool.exe|PALVEX_SIGN_PASSWORD=wrong signed release.sh
needs PALVEX_TIMESTAMP_URL|tool.exe|PALVEX_TIMESTAMP_URL= signed release.sh
is missing|missing.exe|release.sh
is not a Windows program|main.c|release.sh
is a 32-bit program|x86.exe|release.sh
is a DLL|lib.dll|release.sh
is a GUI program|gui.exe|release.sh
built for another processor (ARM64)|arm64.exe|release.sh
needs libstdc++-6.dll, which Windows lacks|needs-dll.exe|release.sh
needs ext-ms-win-1, which Windows lacks|ext-ms.exe|release.sh
is the stand-in|stand-in.exe|release.sh
no Authenticode signature|tool-changed.exe|signed release.sh
no Authenticode signature||signed release.sh --stand-in
$other, not by the release's own, SHA-256 $signer|resigned.exe|signed release.sh --tool-signer $signer
no Authenticode signature|unsigned.exe|PALVEX_TIMESTAMP_URL= signed release.sh --no-timestamp
uncommitted changes|unsigned.exe|signed release.sh --unsigned-tool
uncommitted changes|resigned.exe|signed release.sh --tool-signer $other
is no git checkout|tool.exe|GIT_DIR=nowhere release.sh
not the checked copy|tool.exe|release.sh --allow-dirty -C $work/tool.cmake
manifests say version 9.9.9|tool.exe|release.sh --allow-dirty -DCMAKE_PROJECT_INCLUDE=$work/version.cmake
time-stamping failed|tool.exe|PALVEX_TIMESTAMP_URL=http://127.0.0.1:1 signed release.sh --allow-dirty
imports KERNEL33.DLL, MSVCRT.DLL||gate 'setup = flip(setup, b"KERNEL32")'
lacks level="asInvoker"||gate 'setup = flip(setup, b"asInvoker")'
its version resource says||gate 'setup = flip(setup, "ProductVersion".encode("utf-16-le")[:-1])'
resource 101 is not||gate 'setup = flip(setup, tool[-64:])'
resource 102 is not||gate 'setup = flip(setup, vsix[:64])'
in that order||gate 'vsix = swap(vsix, b"extension.vsixmanifest", b"extension/package.json")'
its install ended with exit code||smoke.sh --read-only .data $b/palvex-setup.exe $smoke
EOF
rm -rf "$work"
echo "Release: reproducible, signed, time-stamped, verified; each mistake refused, dist/ left empty"
