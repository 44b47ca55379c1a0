#!/usr/bin/env bash
# Runs every test: the pure logic natively, the setup program under Wine, the editor extension.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

echo "== Pure logic, native"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native

echo "== Setup program under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
ctest --preset windows

echo "== VS Code extension"
tests/extension/run.sh

echo "== Release: reproducible and signable"
scripts/check-reproducible.sh
tests/release/signing-test.sh
