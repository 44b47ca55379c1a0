#!/usr/bin/env bash
# Checks the extension's highlighting grammar against the scope marks in sample.palvex, with the
# TextMate engine that VS Code runs; then what a user of the built package (run.sh [VSIX], by default
# the one the Windows preset builds) gets when typing in VS Code's editor core.
set -euo pipefail
vsix=$(realpath -m "${1:-$(dirname "$0")/../../build/windows/payload/embedded/palvex-extension.vsix}")
cd "$(dirname "$0")"
[ -f "$vsix" ] || { echo "run.sh: no extension package at $vsix: build it first" >&2; exit 1; }
command -v npm >/dev/null || ../../scripts/install-deps.sh nodejs npm
[ -x /usr/bin/chromium ] || ../../scripts/install-deps.sh chromium
# npm ci rewrites node_modules/.package-lock.json: when it is older, the lock file changed since.
[ node_modules/.package-lock.json -nt package-lock.json ] ||
  npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
node_modules/.bin/vscode-tmgrammar-test -g ../../payload/extension/syntaxes/palvex.tmLanguage.json \
  sample.palvex
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e "$vsix" "$unpacked"
node editor.mjs "$unpacked/extension"
