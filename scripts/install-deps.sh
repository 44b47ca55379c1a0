#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this machine lacks of the named packages (by default
# those the build and the Windows tests need). Needs root when something is missing; does nothing
# when all is there. Usage: scripts/install-deps.sh [PACKAGE...]
set -euo pipefail

packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
  packages=(cmake make g++ python3 python3-pefile googletest g++-mingw-w64-x86-64-posix
            binutils-mingw-w64-x86-64 wine wine64 librsvg2-bin icoutils)
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
