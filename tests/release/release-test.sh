#!/usr/bin/env bash
# The release command end to end: two copies of the checkout, in folders of different names, with
# other clocks, time zones, locales and umasks, the second signed and time-stamped (a throwaway
# authority on loopback) in ways that must verify, give the same bytes once unsigned, and carry the
# signed tool unchanged; a wrong tool, password or work tree stops a release before it builds.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh openssl osslsigncode python3-pefile
work=$PWD/build/release-test
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*; see $work" && exit 1; }

# Blanks and shell characters: the password must reach the signing tool unchanged.
export PALVEX_SIGN_PASSWORD='throwaway pass & $HOME "quoted"'
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Palvex test signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
  -passout env:PALVEX_SIGN_PASSWORD
printf 'int main(void) { return 0; }\n' >"$work/main.c"
x86_64-w64-mingw32-gcc -o "$work/unsigned.exe" "$work/main.c"
x86_64-w64-mingw32-gcc -mwindows -o "$work/gui.exe" "$work/main.c"
x86_64-w64-mingw32-gcc -shared -o "$work/lib.dll" "$work/main.c"
printf '#include <iostream>\nint main() { std::cout << 1; }\n' >"$work/main.cpp"
x86_64-w64-mingw32-g++ -o "$work/needs-dll.exe" "$work/main.cpp"
osslsigncode sign -pkcs12 "$work/signer.pfx" -pass "$PALVEX_SIGN_PASSWORD" -in "$work/unsigned.exe" \
  -out "$work/tool.exe" >/dev/null
/usr/bin/python3 -c 'import pefile, sys; pe = pefile.PE(sys.argv[1]); pe.FILE_HEADER.Machine = 0xaa64
pe.write(sys.argv[2]); pe.FILE_HEADER.Machine = 0x14c; pe.write(sys.argv[3])
pe = pefile.PE(sys.argv[4]); pe.FILE_HEADER.TimeDateStamp += 1; pe.write(sys.argv[5])' \
  "$work/unsigned.exe" "$work/arm64.exe" "$work/x86.exe" "$work/tool.exe" "$work/tampered.exe"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Palvex test TSA" -addext \
  extendedKeyUsage=critical,timeStamping -keyout "$work/tsa.key" -out "$work/tsa.pem" 2>/dev/null
printf '%s\n' '[tsa]' 'default_tsa = t' '[t]' "serial = $work/tsa-serial" 'digests = sha256' \
  "signer_cert = $work/tsa.pem" "signer_key = $work/tsa.key" 'signer_digest = sha256' \
  'default_policy = 1.2.3.4' >"$work/tsa.cnf"
# RFC 3161 over HTTP: a DER query POSTed in, `openssl ts -reply` DER out.
python3 -c 'import http.server as h, subprocess, sys
class T(h.BaseHTTPRequestHandler):
  def do_POST(self):
    query = self.rfile.read(int(self.headers["Content-Length"]))
    self.send_response(200); self.send_header("Content-Type", "application/timestamp-reply")
    self.end_headers(); self.wfile.write(subprocess.run(["openssl", "ts", "-reply", "-config",
      sys.argv[1], "-queryfile", "/dev/stdin"], input=query, capture_output=True).stdout)
s = h.HTTPServer(("127.0.0.1", 0), T); print(s.server_port, flush=True); s.serve_forever()
' "$work/tsa.cnf" >"$work/tsa.port" 2>"$work/tsa.log" &
tsa=$! && trap 'kill "$tsa" 2>/dev/null || true' EXIT
for _ in {1..50}; do [[ -s $work/tsa.port ]] && break; sleep 0.1; done
# An http_proxy set here would otherwise take the loopback request too.
export PALVEX_TIMESTAMP_URL=http://127.0.0.1:$(<"$work/tsa.port") no_proxy=127.0.0.1

# release FOLDER EPOCH ZONE LOCALE UMASK [PFX]: releases a committed copy of this tree in FOLDER.
release() {
  mkdir -p "$1"
  git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -x -C "$1"
  (cd "$1" && git init -q && git add -A && GIT_COMMITTER_DATE=2000-01-01T00:00Z git -c user.name=T \
    -c user.email=t@example.invalid commit -q --date=2000-01-01T00:00Z -m "This work tree")
  (cd "$1" && umask "$5" && PALVEX_SIGN_PFX=${6:-} SOURCE_DATE_EPOCH=$2 TZ=$3 LC_ALL=$4 \
    scripts/release.sh "-DPALVEX_TOOL_EXE=$work/tool.exe") >"$1.log" 2>&1 ||
    fail "release in $1 failed"
}
release "$work/a/palvex" "$(date +%s)" UTC C 022
release "$work/second/nested/copy" $(($(date +%s) - 400 * 86400)) Pacific/Kiritimati C.UTF-8 002 \
  "$work/signer.pfx"
grep -q '^Built from commit .*, work tree clean$' "$work/a/palvex.log" || fail "commit not named"
x86_64-w64-mingw32-g++ -I"$work/a/palvex/build/release/version" -o "$work/stand-in.exe" \
  payload/tool/palvex.cpp
# Run from $work, where the paths are relative; dist/ of copy a must stay as compared below. Its
# work tree, now changed, is the last thing a release checks, and only the last row gets that far.
echo >>"$work/a/palvex/README.md"
while IFS='|' read -r says tool environment; do
  output=$(cd "$work" && env $environment a/palvex/scripts/release.sh \
    ${tool:+"-DPALVEX_TOOL_EXE=$tool"} 2>&1) && fail "release of '$tool' $environment did not stop"
  [[ $output == *"$says"* ]] || fail "release of '$tool' $environment did not say $says: $output"
done <<'EOF'
needs the real palvex.exe||
is missing|missing.exe|
is not a Windows program|main.c|
is a 32-bit program|x86.exe|
is a DLL|lib.dll|
is a GUI program|gui.exe|
built for another processor (ARM64)|arm64.exe|
needs libstdc++-6.dll, which Windows lacks|needs-dll.exe|
is the stand-in|stand-in.exe|
no Authenticode signature|unsigned.exe|PALVEX_SIGN_PFX=signer.pfx
no Authenticode signature|tampered.exe|PALVEX_SIGN_PFX=signer.pfx
needs PALVEX_TIMESTAMP_URL|tool.exe|PALVEX_SIGN_PFX=signer.pfx PALVEX_TIMESTAMP_URL=
cannot open|tool.exe|PALVEX_SIGN_PFX=signer.pfx PALVEX_SIGN_PASSWORD=wrong
uncommitted changes|tool.exe|
EOF
a=$work/a/palvex/dist b=$work/second/nested/copy/dist
osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa.pem" -in "$b/palvex-setup.exe" \
  >"$work/verify.log" 2>&1 || fail "the signature does not verify"
grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" ||
  fail "the signature has no verified time stamp"
wrestool -x --raw --type=10 --name=101 "$b/palvex-setup.exe" >"$work/embedded.exe"
cmp "$work/tool.exe" "$work/embedded.exe" && osslsigncode verify -CAfile "$work/cert.pem" \
  -in "$work/embedded.exe" >/dev/null || fail "the setup's palvex.exe is not the signed tool"
osslsigncode remove-signature -in "$b/palvex-setup.exe" -out "$work/stripped.exe" >/dev/null
cmp "$a/palvex-setup.exe" "$work/stripped.exe" || fail "the two programs differ"
cmp "$a/palvex-extension.vsix" "$b/palvex-extension.vsix" || fail "the two packages differ"
(cd "$b" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
scripts/check-setup.py "$a/palvex-setup.exe" "$work/main.c" "$a/palvex-extension.vsix" \
  2>/dev/null && fail "gate passed main.c"
rm -rf "$work"
echo "Release: wrong tools, signing and trees refused; reproducible, signed, time-stamped, verified"
