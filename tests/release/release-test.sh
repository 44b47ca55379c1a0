#!/usr/bin/env bash
# The release command end to end: two copies of the checkout, in folders of different names, with
# other clocks, time zones, locales and umasks, the second signed and time-stamped (a throwaway
# authority on loopback) in ways that must verify, give the same bytes once unsigned; a wrong
# password stops a release before it builds.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh openssl osslsigncode
work=$PWD/build/release-test
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*; see $work" && exit 1; }

# Blanks and shell characters: the password must reach the signing tool unchanged.
export PALVEX_SIGN_PASSWORD='throwaway pass & $HOME "quoted"'
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Palvex test signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
  -passout env:PALVEX_SIGN_PASSWORD
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

# release FOLDER EPOCH ZONE LOCALE UMASK [PFX]: releases a copy of the checkout made in FOLDER.
release() {
  mkdir -p "$1"
  git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -x -C "$1"
  (cd "$1" && umask "$5" && PALVEX_SIGN_PFX=${6:-} SOURCE_DATE_EPOCH=$2 TZ=$3 LC_ALL=$4 \
    scripts/release.sh) >"$1.log" 2>&1 || fail "release in $1 failed"
}
release "$work/a/palvex" "$(date +%s)" UTC C 022
release "$work/second/nested/copy" $(($(date +%s) - 400 * 86400)) Pacific/Kiritimati C.UTF-8 002 \
  "$work/signer.pfx"
a=$work/a/palvex/dist b=$work/second/nested/copy/dist
osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa.pem" -in "$b/palvex-setup.exe" \
  >"$work/verify.log" 2>&1 || fail "the signature does not verify"
grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" ||
  fail "the signature has no verified time stamp"
osslsigncode remove-signature -in "$b/palvex-setup.exe" -out "$work/stripped.exe" >/dev/null
cmp "$a/palvex-setup.exe" "$work/stripped.exe" || fail "the two programs differ"
cmp "$a/palvex-extension.vsix" "$b/palvex-extension.vsix" || fail "the two packages differ"
(cd "$b" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
if output=$(PALVEX_SIGN_PASSWORD=wrong PALVEX_SIGN_PFX=$work/signer.pfx \
  "$work/a/palvex/scripts/release.sh" 2>&1) || [[ $output != *"cannot open"* ]]; then
  fail "a wrong password did not stop the release: $output"
fi
rm -rf "$work"
echo "Release: reproducible, signed, time-stamped and verified"
