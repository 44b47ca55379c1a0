#!/usr/bin/env bash
# Builds palvex-setup.exe and prints its size, that of each payload it carries, and the setup's own
# overhead (the program minus its payloads) against its budget of 48 KiB.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build/windows
cmake --preset windows >/dev/null
cmake --build "$build" --target palvex-setup -j"$(nproc)" >/dev/null

size() { stat -c %s "$1"; }
setup=$(size "$build/palvex-setup.exe")
tool=$(size "$build/payload/embedded/palvex.exe")
package=$(size "$build/payload/embedded/palvex-extension.vsix")
overhead=$((setup - tool - package))
printf '%-34s %9d bytes\n' "palvex-setup.exe" "$setup"
printf '%-34s %9d bytes\n' "  payload 101: palvex.exe" "$tool"
printf '%-34s %9d bytes\n' "  payload 102: palvex-extension.vsix" "$package"
printf '%-34s %9d bytes (%d KiB; budget 48 KiB%s)\n' "  setup overhead" "$overhead" \
  $((overhead / 1024)) "$( ((overhead <= 48 * 1024)) || echo ', OVER BUDGET')"
