#!/usr/bin/env bash
# Builds the release artefacts from scratch in build/release (the windows preset's settings, tests
# off, only the setup program and its payloads) and writes to dist/:
#   palvex-setup.exe         signed when PALVEX_SIGN_PFX and PALVEX_SIGN_PASSWORD are set, and then
#                            time-stamped by the RFC 3161 server at PALVEX_TIMESTAMP_URL when set
#   palvex-extension.vsix    the extension package the setup embeds, for installing by hand
#   SHA256SUMS               sha256sum lines for both, computed after signing
# Extra arguments go to CMake's configure step, e.g. -DPALVEX_TOOL_EXE=/path/to/palvex.exe.
#
# The unsigned files are the same bytes on every build of the same commit with the same toolchain
# (tests/release/release-test.sh checks it); `osslsigncode remove-signature` turns the signed
# program back into the unsigned one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
dist=dist

sign=false
if [[ -n ${PALVEX_SIGN_PFX:-} ]]; then
  if [[ ! -f $PALVEX_SIGN_PFX || -z ${PALVEX_SIGN_PASSWORD+set} ]]; then
    echo "release: PALVEX_SIGN_PFX must name a PKCS#12 file and PALVEX_SIGN_PASSWORD be set" >&2
    exit 2
  fi
  scripts/install-deps.sh osslsigncode openssl
  # A wrong password should stop the release before a build, not after it. Files from older
  # tools use ciphers that OpenSSL 3 keeps in its legacy provider.
  if ! openssl pkcs12 -in "$PALVEX_SIGN_PFX" -passin env:PALVEX_SIGN_PASSWORD -noout 2>/dev/null &&
     ! openssl pkcs12 -legacy -in "$PALVEX_SIGN_PFX" -passin env:PALVEX_SIGN_PASSWORD -noout \
       2>/dev/null; then
    echo "release: cannot open $PALVEX_SIGN_PFX with PALVEX_SIGN_PASSWORD" >&2
    exit 2
  fi
  sign=true
fi

scripts/install-deps.sh
rm -rf "$build"
cmake --preset windows -B "$build" -DBUILD_TESTING=OFF "$@" >/dev/null
cmake --build "$build" --target palvex-setup -j"$(nproc)" >/dev/null
if ! grep -q '^PALVEX_TOOL_EXE:FILEPATH=.' "$build/CMakeCache.txt"; then
  # The stand-in answers `palvex --version` like the real tool, so nothing else would show it.
  echo "WARNING: this release embeds the stand-in palvex.exe; pass -DPALVEX_TOOL_EXE=... to ship" \
    "the real tool" >&2
fi

mkdir -p "$dist"
rm -f "$dist/palvex-setup.exe" "$dist/palvex-extension.vsix" "$dist/SHA256SUMS"
cp "$build/payload/embedded/palvex-extension.vsix" "$dist/"
if $sign; then
  # Windows accepts a signature without a time stamp only while the certificate is valid; a time
  # stamp proves it was made then, so it keeps validating after expiry. osslsigncode fails when the
  # server gives none, and a release that asked for one must then ship no unstamped program.
  timestamp=()
  if [[ -n ${PALVEX_TIMESTAMP_URL:-} ]]; then
    timestamp=(-ts "$PALVEX_TIMESTAMP_URL")
  fi
  # The password goes through a pipe, not the command line that ps shows.
  if ! printf '%s' "$PALVEX_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$PALVEX_SIGN_PFX" -readpass - -h sha256 "${timestamp[@]}" \
      -n "Palvex Setup" -i https://palvex.dev \
      -in "$build/palvex-setup.exe" -out "$dist/palvex-setup.exe" >/dev/null; then
    rm -f "$dist/palvex-setup.exe"
    echo "release: signing or time-stamping failed (see above); no dist/palvex-setup.exe" >&2
    exit 1
  fi
  if [[ -n ${PALVEX_TIMESTAMP_URL:-} ]]; then
    echo "Signed dist/palvex-setup.exe (SHA-256, time-stamped by $PALVEX_TIMESTAMP_URL)"
  else
    echo "Signed dist/palvex-setup.exe (SHA-256, NO time stamp)"
    echo "WARNING: without a time stamp the signature stops validating when the signing" \
      "certificate expires; to add one, set PALVEX_TIMESTAMP_URL to the URL of an RFC 3161" \
      "time-stamp server (your certificate vendor names one)" >&2
  fi
else
  cp "$build/palvex-setup.exe" "$dist/"
  echo "dist/palvex-setup.exe is NOT signed (set PALVEX_SIGN_PFX and PALVEX_SIGN_PASSWORD to sign)"
fi
(cd "$dist" && sha256sum palvex-setup.exe palvex-extension.vsix >SHA256SUMS)
cat "$dist/SHA256SUMS"
# A rebuild gives the same bytes only with the same compiler, binutils, zlib (which deflates the
# package) and icon renderer: Debian's package versions name them exactly.
echo "Toolchain: $(dpkg-query -W -f '${Package} ${Version}; ' g++-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 zlib1g librsvg2-2 libcairo2 libpixman-1-0 libpng16-16 icoutils \
  2>/dev/null || echo unknown)"
