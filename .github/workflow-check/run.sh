#!/usr/bin/env bash
# Checks the CI workflows here, where no hosted runner can be reached to run them (check.mjs says
# what it checks), with GitHub's own workflow parser from the npm registry.
set -euo pipefail
cd "$(dirname "$0")"
command -v npm >/dev/null || ../../scripts/install-deps.sh nodejs npm
# npm ci rewrites node_modules/.package-lock.json: when it is older, the lock file changed since.
[ node_modules/.package-lock.json -nt package-lock.json ] ||
  npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
cd ../..
node .github/workflow-check/check.mjs README.md .github/workflows/*.yml
