#!/usr/bin/env bash
# Packs the extension with the build's packer and checks the package, the grammar (through
# VS Code's TextMate engine), the editing rules and the snippets.
# Usage: tests/extension/run.sh    (VERBOSE=1 lists passing cases too)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  "$repo/scripts/install-deps.sh" nodejs npm
fi

# npm writes node_modules/.package-lock.json on every install; a lockfile newer than it
# means the dependencies changed since.
stamp="$here/node_modules/.package-lock.json"
if [ ! -f "$stamp" ] || [ "$here/package-lock.json" -nt "$stamp" ] || [ "$here/package.json" -nt "$stamp" ]; then
  (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for out in "$work/palvex-extension.vsix" "$work/again/palvex-extension.vsix"; do
  if ! python3 "$repo/payload/pack_vsix.py" "$repo/payload/extension" "$out"; then
    printf 'FAIL packing payload/extension with payload/pack_vsix.py\n\n0 passed, 1 failed\n'
    exit 1
  fi
done

node "$here/check.mjs" "$work/palvex-extension.vsix" "$work/again/palvex-extension.vsix"
