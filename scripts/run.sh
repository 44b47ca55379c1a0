#!/usr/bin/env bash
# Builds palvex-setup.exe and starts it under Wine, in a sandbox prefix of its own
# (build/sandbox-prefix), never in ~/.wine. Arguments go to the setup: scripts/run.sh --install
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target palvex-setup -j"$(nproc)"

export WINEPREFIX="$PWD/build/sandbox-prefix"
. scripts/wine-env.sh
use_where_stand_in
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "Creating the Wine prefix $WINEPREFIX (once; takes a few seconds)"
  wine_boot && wine_stop
fi
echo "Starting build/windows/palvex-setup.exe under Wine"
exec wine build/windows/palvex-setup.exe "$@"
