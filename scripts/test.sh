#!/usr/bin/env bash
# Runs every test: the setup program under Wine, the editor extension, the CI workflow's check and
# the release.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== Setup program under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"
# The preset runs a failed test a second time: under Wine a child process very rarely dies before
# its first instruction (2 of 25 full runs, one of them in CI; never reproduced on demand). A test
# that passes only on its second run is listed, never hidden; one that fails twice fails the run.
ctest --preset windows | tee build/windows/ctest.log
# Only a first run carries the "N/M" counter.
flaky=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*' build/windows/ctest.log || true)
[[ -z $flaky ]] || printf 'WARNING: these tests passed only on their second run under Wine:\n%s\n' "$flaky"

echo "== Editor extension: highlighting and editing rules"
tests/extension/run.sh

echo "== CI workflow: GitHub's workflow schema, pinned actions, the README's commands"
.ci/workflow-check/run.sh

echo "== Release"
tests/release/release-test.sh
