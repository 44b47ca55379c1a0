#!/usr/bin/env bash
# What a user of the built extension package (the Windows preset's) sees and gets in VS Code's
# editor core: highlighting and editing rules.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/node-modules.sh tests/extension
[ -x /usr/bin/chromium ] || scripts/install-deps.sh chromium
node tests/extension/node-engines.mjs tests/extension/package-lock.json .ci/workflow-check/package-lock.json
unpacked=$(mktemp -d) && trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e build/windows/payload/embedded/palvex-extension.vsix "$unpacked"
node tests/extension/editor.mjs "$unpacked/extension"
