#!/usr/bin/env bash
# Renders sample.pvx as VS Code highlights it with the extension's grammar and writes
# docs/highlighting.png (or the path given as the first argument).
# Needs root for the first run, to install Chromium and Node from Debian when they are missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
out="$(realpath -m "${1:-$repo/docs/highlighting.png}")"

need=()
command -v chromium >/dev/null || need+=(chromium)
command -v node >/dev/null && command -v npm >/dev/null || need+=(nodejs npm)
if [ ${#need[@]} -gt 0 ]; then "$repo/scripts/install-deps.sh" "${need[@]}"; fi

stamp="$here/node_modules/.package-lock.json"
if [ ! -f "$stamp" ] || [ "$here/package-lock.json" -nt "$stamp" ] || [ "$here/package.json" -nt "$stamp" ]; then
  (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
node "$here/render.mjs" "$here/sample.pvx" "$repo/payload/extension/syntaxes/palvex.tmLanguage.json" "$work/sample.html"

lines=$(wc -l <"$here/sample.pvx")
height=$((lines * 20 + 80))
mkdir -p "$(dirname "$out")"
# A fresh profile and no background traffic: the page is local and nothing else is wanted.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --user-data-dir="$work/profile" \
  --window-size=900,"$height" --screenshot="$out" "file://$work/sample.html" 2>"$work/chromium.log" || {
  cat "$work/chromium.log" >&2
  exit 1
}
[ -s "$out" ] || { echo "render: chromium wrote no screenshot" >&2; cat "$work/chromium.log" >&2; exit 1; }
echo "render: wrote $out"
