#!/usr/bin/env bash
# The release command end to end: two copies of the checkout, in folders of different names, with
# other clocks, time zones, locales and umasks, the second signed with a throwaway certificate that
# must verify, give the same bytes once unsigned; a wrong password stops a release before it builds.
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
a=$work/a/palvex/dist
b=$work/second/nested/copy/dist
osslsigncode verify -CAfile "$work/cert.pem" -in "$b/palvex-setup.exe" >"$work/verify.log" 2>&1 ||
  fail "the signature does not verify"
osslsigncode remove-signature -in "$b/palvex-setup.exe" -out "$work/stripped.exe" >/dev/null
cmp "$a/palvex-setup.exe" "$work/stripped.exe" || fail "the two programs differ"
cmp "$a/palvex-extension.vsix" "$b/palvex-extension.vsix" || fail "the two packages differ"
(cd "$b" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
if output=$(PALVEX_SIGN_PASSWORD=wrong PALVEX_SIGN_PFX=$work/signer.pfx \
  "$work/a/palvex/scripts/release.sh" 2>&1) || [[ $output != *"cannot open"* ]]; then
  fail "a wrong password did not stop the release: $output"
fi
rm -rf "$work"
echo "Release: reproducible, signed and verified"
