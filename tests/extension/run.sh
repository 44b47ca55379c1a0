#!/usr/bin/env bash
# What a user of the built extension package (run.sh [VSIX], by default the Windows preset's) sees
# and gets in VS Code's editor core: highlighting, editing rules and snippets.
set -euo pipefail
vsix=$(realpath -m "${1:-$(dirname "$0")/../../build/windows/payload/embedded/palvex-extension.vsix}")
cd "$(dirname "$0")"
command -v npm >/dev/null || ../../scripts/install-deps.sh nodejs npm
[ -x /usr/bin/chromium ] || ../../scripts/install-deps.sh chromium
# npm ci rewrites node_modules/.package-lock.json: when it is older, the lock file changed since.
[ node_modules/.package-lock.json -nt package-lock.json ] ||
  npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
node node-engines.mjs package-lock.json ../../.github/workflow-check/package-lock.json
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e "$vsix" "$unpacked"
node editor.mjs "$unpacked/extension"
