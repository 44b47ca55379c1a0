#!/usr/bin/env bash
# The release command end to end, unsigned and signed with a throwaway self-signed code-signing
# certificate: what it writes to dist/, that the signature verifies (and fails once a byte
# changes), that removing it gives back the unsigned program, and that the signed program runs
# under Wine. Works on a copy of the checkout in build/release-signing-test/, so the checkout's own
# dist/ is left alone. Closes with "N passed, N failed"; exits 1 on any failure.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 2
root=$PWD
work=$root/build/release-signing-test
src=$work/src

passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@" >>"$work/checks.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok    $name"
  else
    failed=$((failed + 1))
    echo "FAIL  $name (see $work/checks.log)"
  fi
}
contains() { grep -qF -- "$2" <<<"$1"; }
lacks() { ! grep -qF -- "$2" <<<"$1"; }
fails() { ! "$@"; }
finish() {
  echo "$passed passed, $failed failed"
  [[ $failed -eq 0 ]]
  exit
}

scripts/install-deps.sh openssl osslsigncode

rm -rf "$work"
mkdir -p "$src" "$work/key"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do
    if [[ -e $file || -L $file ]]; then printf '%s\0' "$file"; fi
  done |
  tar --null -T - -cf - | tar -x -C "$src"

# Blanks and shell characters in the password: it must reach osslsigncode unchanged.
export TEST_PFX_PASSWORD='throwaway pass & $HOME "quoted"'
key=$work/key
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Palvex throwaway test signer" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
  -keyout "$key/key.pem" -out "$key/cert.pem" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$key/key.pem" -in "$key/cert.pem" -out "$key/signer.pfx" \
  -passout env:TEST_PFX_PASSWORD >/dev/null 2>&1
if [[ ! -s $key/signer.pfx ]]; then
  echo "could not make the throwaway certificate"
  failed=$((failed + 1))
  finish
fi

release() { (cd "$src" && scripts/release.sh) 2>&1; }
dist=$src/dist
sums_cover_both() {
  [[ $(cut -d' ' -f3 "$dist/SHA256SUMS" | sort | tr '\n' ' ') == "palvex-extension.vsix palvex-setup.exe " ]] &&
    (cd "$dist" && sha256sum -c SHA256SUMS)
}
verify() { osslsigncode verify -CAfile "$key/cert.pem" -in "$1"; }

echo "== Unsigned release"
output=$(unset PALVEX_SIGN_PFX PALVEX_SIGN_PASSWORD; release)
status=$?
echo "$output" >>"$work/checks.log"
check "release without a certificate succeeds" test "$status" -eq 0
check "it says the program is not signed" contains "$output" "is NOT signed"
check "SHA256SUMS covers both files and matches them" sums_cover_both
check "the unsigned program carries no signature" fails verify "$dist/palvex-setup.exe"
cp "$dist/palvex-setup.exe" "$work/unsigned.exe" 2>/dev/null
cp "$dist/palvex-extension.vsix" "$work/unsigned.vsix" 2>/dev/null

echo "== Unusable signing input stops the release before it builds"
output=$(PALVEX_SIGN_PFX=$key/signer.pfx PALVEX_SIGN_PASSWORD=wrong release)
status=$?
check "a wrong password fails" test "$status" -ne 0
check "  and says why" contains "$output" "cannot open"
check "  and signs nothing" lacks "$output" "Signed"
output=$(PALVEX_SIGN_PFX=$key/missing.pfx PALVEX_SIGN_PASSWORD=x release)
check "a missing certificate file fails" test $? -ne 0
output=$(unset PALVEX_SIGN_PASSWORD; PALVEX_SIGN_PFX=$key/signer.pfx release)
check "a certificate without a password variable fails" test $? -ne 0

echo "== Signed release"
output=$(PALVEX_SIGN_PFX=$key/signer.pfx PALVEX_SIGN_PASSWORD=$TEST_PFX_PASSWORD release)
status=$?
echo "$output" >>"$work/checks.log"
check "release with the certificate succeeds" test "$status" -eq 0
check "it says the program is signed" contains "$output" "Signed dist/palvex-setup.exe"
verification=$(verify "$dist/palvex-setup.exe" 2>&1)
status=$?
echo "$verification" >>"$work/checks.log"
check "the signature verifies against the throwaway CA" test "$status" -eq 0
check "  made with SHA-256" contains "$verification" "Message digest algorithm  : SHA256"
check "  by the throwaway signer" contains "$verification" "Subject: /CN=Palvex throwaway test signer"
check "  and not trusted without that CA" \
  fails osslsigncode verify -CAfile /etc/ssl/certs/ca-certificates.crt -in "$dist/palvex-setup.exe"
check "SHA256SUMS covers the signed program" sums_cover_both
osslsigncode remove-signature -in "$dist/palvex-setup.exe" -out "$work/stripped.exe" \
  >>"$work/checks.log" 2>&1
check "removing the signature gives back the unsigned build" cmp "$work/stripped.exe" "$work/unsigned.exe"
check "the package is the unsigned release's" cmp "$dist/palvex-extension.vsix" "$work/unsigned.vsix"
# One byte of code changed after signing: the digest no longer matches.
cp "$dist/palvex-setup.exe" "$work/tampered.exe"
text_offset=$(x86_64-w64-mingw32-objdump -h "$work/tampered.exe" | awk '$2 == ".text" { print $6 }')
python3 - "$work/tampered.exe" $((16#${text_offset:-400} + 16)) <<'EOF'
import sys
path, offset = sys.argv[1], int(sys.argv[2])
data = bytearray(open(path, "rb").read())
data[offset] ^= 0xFF
open(path, "wb").write(data)
EOF
check "a tampered copy fails verification" fails verify "$work/tampered.exe"

rm -rf "$key"

echo "== The signed program under Wine"
export WINEPREFIX=$work/wineprefix
. "$root/scripts/wine-env.sh"
# The prefix is some 700 MB and of no use afterwards.
trap 'wine_stop; rm -rf "$WINEPREFIX"' EXIT
wine_boot
output=$(printf '3\r\n' | wine "$dist/palvex-setup.exe" 2>&1)
status=$?
echo "$output" >>"$work/checks.log"
check "choosing Exit from the menu exits 0" test "$status" -eq 0
check "  after showing the menu" contains "$output" "[3] Exit"
check "  and saying Cancelled." contains "$output" "Cancelled."

finish
