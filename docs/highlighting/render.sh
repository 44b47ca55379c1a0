#!/usr/bin/env bash
# Renders sample.pvx as VS Code highlights it with the extension's grammar, in headless Chromium,
# to docs/highlighting.png. Needs Node 20 (shiki 4 declares so), and root for the first run, to
# install Chromium and Node from Debian when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
../../scripts/node-modules.sh .
command -v chromium >/dev/null || ../../scripts/install-deps.sh chromium

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
node render.mjs sample.pvx ../../payload/extension/syntaxes/palvex.tmLanguage.json "$work/sample.html"
# A fresh profile and no background traffic: the page is local and nothing else is wanted.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --user-data-dir="$work/profile" \
  --window-size=900,$(($(wc -l <sample.pvx) * 20 + 80)) --screenshot="$PWD/../highlighting.png" \
  "file://$work/sample.html" 2>"$work/chromium.log" || { cat "$work/chromium.log" >&2; exit 1; }
[ -s ../highlighting.png ] || { echo "render: chromium wrote no screenshot" >&2; cat "$work/chromium.log" >&2; exit 1; }
echo "render: wrote docs/highlighting.png"
