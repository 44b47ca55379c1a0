#!/usr/bin/env bash
# Makes DIR/node_modules what DIR/package-lock.json names, with Node and npm from Debian's packages
# when this machine lacks them. Usage: scripts/node-modules.sh DIR
set -euo pipefail
command -v npm >/dev/null || "$(dirname "$0")/install-deps.sh" nodejs npm
cd "$1"
# npm ci rewrites node_modules/.package-lock.json: when it is older, the lock file changed since.
[ node_modules/.package-lock.json -nt package-lock.json ] ||
  npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
