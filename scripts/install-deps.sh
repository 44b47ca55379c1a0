#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this machine lacks of the named sets and packages:
#   windows  the cross build, its tests under Wine, the gate's PE readers, the icon maker (default)
#   release  what the release and its test add: the signing tools
# Needs root when something is missing; does nothing when all is there.
# Usage: scripts/install-deps.sh [SET|PACKAGE...]
set -euo pipefail
declare -A sets=(
  [windows]="cmake make g++ python3 python3-pefile python3-asn1crypto googletest
             g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 librsvg2-bin icoutils"
  [release]="osslsigncode openssl"
)
(($#)) || set -- windows
missing=()
for package in $(for name in "$@"; do echo "${sets[$name]:-$name}"; done); do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
((${#missing[@]})) || exit 0

echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
