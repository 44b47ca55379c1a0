#!/usr/bin/env bash
# Builds the release artefacts from scratch in build/release (the windows preset's settings, tests
# off, only the setup program and its payloads) and writes to dist/:
#   palvex-setup.exe         signed when PALVEX_SIGN_PFX and PALVEX_SIGN_PASSWORD are set, and then
#                            time-stamped by the RFC 3161 server at PALVEX_TIMESTAMP_URL when set
#   palvex-extension.vsix    the extension package the setup embeds, for installing by hand
#   SHA256SUMS               sha256sum lines for both, computed after signing
#
# Usage: scripts/release.sh -DPALVEX_TOOL_EXE=PATH [--unsigned-tool] [CMAKE_ARG...]
#        scripts/release.sh --stand-in [--unsigned-tool] [CMAKE_ARG...]
# PATH is the real palvex.exe, embedded byte for byte; a relative PATH is taken from the folder the
# command runs in. Before anything is built it must prove to be a 64-bit x64 Windows console
# program, and for a signed release also carry an Authenticode signature that matches its bytes:
# SmartScreen and virus scanners judge palvex.exe by its own signature, not the setup's.
# --unsigned-tool ships a tool without one in a signed setup, and says so at the end.
# --stand-in makes a trial release with the stand-in from payload/tool instead, which answers
# `palvex --version` like the real tool; the release says at its end that it is not to be published.
# Other arguments go to CMake's configure step.
#
# The unsigned files are the same bytes on every build of the same commit with the same toolchain
# and tool (tests/release/release-test.sh checks it); `osslsigncode remove-signature` turns the
# signed program back into the unsigned one.
set -euo pipefail

tool= stand_in=false unsigned_tool=false cmake_args=()
for arg; do
  case $arg in
    --stand-in) stand_in=true ;;
    --unsigned-tool) unsigned_tool=true ;;
    -DPALVEX_TOOL_EXE=* | -DPALVEX_TOOL_EXE:*=*) tool=${arg#*=} ;;
    *) cmake_args+=("$arg") ;;
  esac
done
# Paths the maintainer typed are taken from the folder they typed them in.
[[ -z $tool || $tool == /* ]] || tool=$PWD/$tool
pfx=${PALVEX_SIGN_PFX:-}
[[ -z $pfx || $pfx == /* ]] || pfx=$PWD/$pfx
cd "$(dirname "$0")/.."
build=build/release
dist=dist

if $stand_in && [[ -n $tool ]]; then
  echo "release: --stand-in and -DPALVEX_TOOL_EXE exclude each other" >&2
  exit 2
fi
if ! $stand_in && [[ -z $tool ]]; then
  echo "release: a release needs the real palvex.exe; name it with -DPALVEX_TOOL_EXE=PATH (a 64-bit" \
    "x64 Windows console program). For a trial release with the stand-in, pass --stand-in." >&2
  exit 2
fi

sign=false
if [[ -n $pfx ]]; then
  if [[ ! -f $pfx || -z ${PALVEX_SIGN_PASSWORD+set} ]]; then
    echo "release: PALVEX_SIGN_PFX must name a PKCS#12 file and PALVEX_SIGN_PASSWORD be set" >&2
    exit 2
  fi
  scripts/install-deps.sh osslsigncode openssl
  # A wrong password should stop the release before a build, not after it. Files from older
  # tools use ciphers that OpenSSL 3 keeps in its legacy provider.
  if ! openssl pkcs12 -in "$pfx" -passin env:PALVEX_SIGN_PASSWORD -noout 2>/dev/null &&
     ! openssl pkcs12 -legacy -in "$pfx" -passin env:PALVEX_SIGN_PASSWORD -noout \
       2>/dev/null; then
    echo "release: cannot open $pfx with PALVEX_SIGN_PASSWORD" >&2
    exit 2
  fi
  sign=true
fi

scripts/install-deps.sh
if ! $stand_in; then
  scripts/install-deps.sh python3-pefile
  scripts/check-tool.py "$tool" || exit 2
fi
# osslsigncode verify fails also for a good signature whose certificate this machine does not trust
# (a test certificate, a vendor missing from its store), and that failure is not what counts here:
# that the signature covers these very bytes shows in the two digests it prints.
ToolSignatureMatches() {
  { osslsigncode verify -in "$1" 2>/dev/null || true; } | awk '
    /^Current message digest/ { current = current $5 " " }
    /^Calculated message digest/ { calculated = calculated $5 " " }
    END { exit !(current != "" && current == calculated) }'
}
unsigned_tool_note=
if $sign && { $stand_in || ! ToolSignatureMatches "$tool"; }; then
  if ! $unsigned_tool; then
    echo "release: ${tool:-the stand-in palvex.exe} carries no Authenticode signature that" \
      "matches its bytes, and a signed setup must not deliver an unsigned program. Sign" \
      "palvex.exe first, or pass --unsigned-tool to ship it unsigned." >&2
    exit 2
  fi
  unsigned_tool_note="WARNING: the signed setup carries an UNSIGNED palvex.exe (--unsigned-tool)"
fi

rm -rf "$build"
cmake --preset windows -B "$build" -DBUILD_TESTING=OFF "-DPALVEX_TOOL_EXE:FILEPATH=$tool" \
  "${cmake_args[@]}" >/dev/null
cmake --build "$build" --target palvex-setup -j"$(nproc)" >/dev/null

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
  # The password goes through a pipe, not the command line that ps shows. osslsigncode 2.5 reads
  # no "-readpass -", but reads the pipe as a file.
  if ! printf '%s' "$PALVEX_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$pfx" -readpass /dev/stdin -h sha256 "${timestamp[@]}" \
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
if $stand_in; then
  echo "TRIAL RELEASE: this setup carries the stand-in palvex.exe, not the real tool; do not publish it"
fi
[[ -z $unsigned_tool_note ]] || echo "$unsigned_tool_note"
