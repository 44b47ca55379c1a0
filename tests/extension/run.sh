#!/usr/bin/env bash
# What a user of the built extension package (the Windows preset's) sees and gets in VS Code's
# editor core: highlighting, editing rules and snippets.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/node-modules.sh tests/extension
[ -x /usr/bin/chromium ] || scripts/install-deps.sh chromium
cd tests/extension
node node-engines.mjs package-lock.json ../../.ci/workflow-check/package-lock.json
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e ../../build/windows/payload/embedded/palvex-extension.vsix "$unpacked"
node editor.mjs "$unpacked/extension"
