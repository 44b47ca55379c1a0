#!/usr/bin/env bash
# Builds the release from scratch in build/release (the windows preset's settings, tests off) and
# writes dist/palvex-setup.exe (signed when PALVEX_SIGN_PFX is set, with PALVEX_SIGN_PASSWORD, and
# time-stamped by the RFC 3161 server at PALVEX_TIMESTAMP_URL), dist/palvex-extension.vsix and
# dist/SHA256SUMS, or, when it stops, an empty dist/. The README's "Releases" says what it checks.
#
# Usage: release/release.sh -DPALVEX_TOOL_EXE=PATH [OPTION...] [CMAKE_ARG...]
#        release/release.sh --stand-in [OPTION...] [CMAKE_ARG...]
# PATH is the real palvex.exe, relative to the folder the command runs in; --stand-in makes a
# trial release with the stand-in from payload/tool, not to be published. Each OPTION lets one
# check pass, and the release says so in its last lines:
#   --unsigned-tool         a tool without a signature of its own in a signed setup
#   --tool-signer SHA256    a tool signed by the certificate with that SHA-256 fingerprint
#   --no-timestamp          a signed release without PALVEX_TIMESTAMP_URL
#   --allow-dirty           a work tree whose tracked files differ from its commit, or no checkout
# Other arguments go to CMake's configure step; none may name PALVEX_TOOL_EXE. Installs what it
# needs from Debian's packages.
set -euo pipefail

here=$PWD
cd "$(dirname "$0")/.."
build=build/release
dist=dist
# Nothing of an earlier release may pass for this one's, should this one stop: a maintainer who
# uploads dist/ after a failed run would ship the old release as new.
mkdir -p "$dist" && find "$dist" -mindepth 1 -delete
trap '(($?)) && find "$dist" -mindepth 1 -delete && echo "release: stopped; dist/ is empty" >&2' EXIT
Refuse() { echo "release: $*" >&2 && exit 2; }

tool= stand_in=false unsigned_tool=false tool_signer= no_timestamp=false allow_dirty=false
cmake_args=()
while (($#)); do
  case $1 in
    --stand-in) stand_in=true ;;
    --unsigned-tool) unsigned_tool=true ;;
    --tool-signer)
      (($# > 1)) || Refuse "--tool-signer needs the SHA-256 fingerprint of a certificate"
      tool_signer=$2 && shift ;;
    --no-timestamp) no_timestamp=true ;;
    --allow-dirty) allow_dirty=true ;;
    -DPALVEX_TOOL_EXE=* | -DPALVEX_TOOL_EXE:*=*)
      if [[ -z $tool ]]; then tool=${1#*=}; else cmake_args+=("$1"); fi ;;
    *) cmake_args+=("$1") ;;
  esac
  shift
done
# Paths the maintainer typed are taken from the folder they typed them in.
[[ -z $tool || $tool == /* ]] || tool=$here/$tool
pfx=${PALVEX_SIGN_PFX:-}
[[ -z $pfx || $pfx == /* ]] || pfx=$here/$pfx

! $stand_in || [[ -z $tool ]] || Refuse "--stand-in and -DPALVEX_TOOL_EXE exclude each other"
$stand_in || [[ -n $tool ]] ||
  Refuse "a release needs the real palvex.exe; name it with -DPALVEX_TOOL_EXE=PATH (a 64-bit" \
    "x64 Windows console program). For a trial release with the stand-in, pass --stand-in."
# The tool reaches the build only as the checked copy below; any other spelling (-D NAME=PATH in
# two words, a second one, -U) would embed a file that nothing checked.
for arg in "${cmake_args[@]}"; do
  [[ ${arg^^} != *PALVEX_TOOL_EXE* ]] ||
    Refuse "the CMake argument '$arg' names PALVEX_TOOL_EXE; give the tool once, as" \
      "-DPALVEX_TOOL_EXE=PATH in one word, or pass --stand-in"
done
# A mistyped PALVEX_SIGN_PFX would otherwise make an unsigned release of one meant to be signed.
for variable in PALVEX_SIGN_PASSWORD PALVEX_TIMESTAMP_URL; do
  [[ -n $pfx || -z ${!variable:-} ]] ||
    Refuse "$variable is set but PALVEX_SIGN_PFX is not: set PALVEX_SIGN_PFX to sign, or unset" \
      "$variable for an unsigned release"
done

scripts/install-deps.sh windows release
rm -rf "$build"
# The one copy of the tool that is checked, embedded and compared: a file that changes after its
# check cannot reach the setup.
input=$PWD/$build/input
mkdir -p "$input" && chmod 700 "$input"
sign=false warnings=()
if [[ -n $pfx ]]; then
  [[ -f $pfx ]] || Refuse "PALVEX_SIGN_PFX names no file: $pfx"
  [[ -n ${PALVEX_SIGN_PASSWORD+set} ]] ||
    Refuse "PALVEX_SIGN_PASSWORD is unset; set it to the password of $pfx (empty for none)"
  # A wrong password should stop the release before a build, not after it. Files from older
  # tools use ciphers that OpenSSL 3 keeps in its legacy provider. The certificate that goes with
  # the key is the one the tool must be signed with.
  for legacy in "" -legacy; do
    openssl pkcs12 $legacy -in "$pfx" -passin env:PALVEX_SIGN_PASSWORD -nokeys -clcerts \
      -out "$input/signer.pem" 2>/dev/null && break
  done
  [[ -s $input/signer.pem ]] || Refuse "cannot open $pfx with PALVEX_SIGN_PASSWORD"
  # Windows accepts a signature without a time stamp only while the certificate is valid; a time
  # stamp proves it was made then, so it keeps validating after expiry.
  if [[ -z ${PALVEX_TIMESTAMP_URL:-} ]]; then
    if ! $no_timestamp; then
      Refuse "a signed release needs PALVEX_TIMESTAMP_URL, the URL of an RFC 3161 time-stamp" \
        "server (your certificate's vendor names one): without a time stamp the signature stops" \
        "validating when the certificate expires. Pass --no-timestamp to sign without one."
    fi
    warnings+=("WARNING: NO time stamp (--no-timestamp); the signature expires with the certificate")
  fi
  sign=true
fi

if ! $stand_in; then
  cp -- "$tool" "$input/palvex.exe" 2>/dev/null || true
  release/gate.py tool "$input/palvex.exe" "$tool" || exit 2
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
if $sign && { $stand_in || ! ToolSignatureMatches "$input/palvex.exe"; }; then
  if ! $unsigned_tool; then
    Refuse "${tool:-the stand-in palvex.exe} carries no Authenticode signature that matches its" \
      "bytes, and a signed setup must not deliver an unsigned program. Sign palvex.exe first," \
      "or pass --unsigned-tool to ship it unsigned."
  fi
  warnings+=("WARNING: the signed setup carries an UNSIGNED palvex.exe (--unsigned-tool)")
elif $sign; then
  # Anyone can re-sign a changed tool with a certificate of their own, and its digests then agree.
  release/gate.py signer "$input/signer.pem" "$tool_signer" "$input/palvex.exe" "$tool" || exit 2
  [[ -z $tool_signer ]] ||
    warnings+=("WARNING: palvex.exe may be signed by another certificate, $tool_signer (--tool-signer)")
fi

# A release names the commit it was built from; one with changes that no commit holds cannot be
# rebuilt, and "Checking that a rebuild matches" in the README fails for it.
commit=$(git rev-parse -q --verify HEAD 2>/dev/null || true) clean=false
if [[ -z $commit || $(git rev-parse --show-toplevel 2>/dev/null) != "$(pwd -P)" ]]; then
  built_from="no commit ($(pwd -P) is no git checkout)"
elif git diff --quiet HEAD --; then
  built_from="commit $commit, work tree clean" clean=true
else
  built_from="commit $commit, with uncommitted changes to tracked files"
fi
$clean || $allow_dirty ||
  Refuse "this would be built from $built_from, and no commit could rebuild it." \
    "Release from a checkout with everything committed, or pass --allow-dirty."
$clean || warnings+=("WARNING: no commit rebuilds this release (--allow-dirty)")

embedded=${tool:+$input/palvex.exe}
cmake --preset windows -B "$build" -DBUILD_TESTING=OFF "-DPALVEX_TOOL_EXE:FILEPATH=$embedded" \
  "${cmake_args[@]}" >/dev/null
# -C scripts and presets can set the variable too.
cached=$(sed -n 's/^PALVEX_TOOL_EXE:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $cached == "$embedded" ]] ||
  Refuse "after configuring, PALVEX_TOOL_EXE is '$cached', not the checked copy" \
    "'$embedded': one of the CMake arguments set it"
cmake --build "$build" --target palvex-setup -j"$(nproc)" >/dev/null
release/gate.py setup "$build/palvex-setup.exe" "${embedded:-$build/payload/embedded/palvex.exe}" \
  "$build/payload/embedded/palvex-extension.vsix" || exit 1
release/smoke.sh "$build/palvex-setup.exe" "$build/smoke-prefix" || exit 1

cp "$build/payload/embedded/palvex-extension.vsix" "$dist/"
if $sign; then
  # osslsigncode fails when the server gives no time stamp, and the release then ships nothing.
  timestamp=(${PALVEX_TIMESTAMP_URL:+-ts "$PALVEX_TIMESTAMP_URL"})
  # The password goes through a pipe, not the command line that ps shows. osslsigncode 2.5 reads
  # no "-readpass -", but reads the pipe as a file. Neither version reads an empty password from
  # a file; both open a file whose password is empty when given none.
  password=(-readpass /dev/stdin)
  [[ -n $PALVEX_SIGN_PASSWORD ]] || password=()
  if ! printf '%s' "$PALVEX_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$pfx" "${password[@]}" -h sha256 "${timestamp[@]}" \
      -n "Palvex Setup" -i https://palvex.dev \
      -in "$build/palvex-setup.exe" -out "$dist/palvex-setup.exe" >/dev/null; then
    echo "release: signing or time-stamping failed (see above)" >&2
    exit 1
  fi
  echo "Signed dist/palvex-setup.exe (SHA-256, time stamp: ${PALVEX_TIMESTAMP_URL:-none})"
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
echo "Built from $built_from"
! $stand_in ||
  echo "TRIAL RELEASE: this setup carries the stand-in palvex.exe, not the real tool; do not publish it"
for warning in "${warnings[@]}"; do echo "$warning"; done
