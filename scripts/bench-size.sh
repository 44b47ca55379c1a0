#!/usr/bin/env bash
# Prints the size of palvex-setup.exe, of each payload it carries, and of the setup's own overhead
# (the program minus its payloads). Builds first. Usage: scripts/bench-size.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
if [ ! -f "$build/CMakeCache.txt" ]; then cmake --preset windows -B "$build" >/dev/null; fi
cmake --build "$build" --target palvex-setup -j"$(nproc)" >/dev/null

size() { stat -c %s "$1"; }
setup=$(size "$build/palvex-setup.exe")
tool=$(size "$build/payload/embedded/palvex.exe")
package=$(size "$build/payload/embedded/palvex-extension.vsix")
overhead=$((setup - tool - package))
printf '%-34s %9d bytes\n' "palvex-setup.exe" "$setup"
printf '%-34s %9d bytes\n' "  payload 101: palvex.exe" "$tool"
printf '%-34s %9d bytes\n' "  payload 102: palvex-extension.vsix" "$package"
printf '%-34s %9d bytes (%d KiB; budget 48 KiB)\n' "  setup overhead" "$overhead" $((overhead / 1024))
