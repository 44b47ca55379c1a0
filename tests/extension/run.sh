#!/usr/bin/env bash
# Checks the extension's highlighting grammar against the scope marks in sample.palvex, with the
# TextMate engine that VS Code runs.
set -euo pipefail
cd "$(dirname "$0")"
command -v npm >/dev/null || ../../scripts/install-deps.sh nodejs npm
# npm ci rewrites node_modules/.package-lock.json: when it is older, the lock file changed since.
[ node_modules/.package-lock.json -nt package-lock.json ] ||
  npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
node_modules/.bin/vscode-tmgrammar-test -g ../../payload/extension/syntaxes/palvex.tmLanguage.json \
  sample.palvex
