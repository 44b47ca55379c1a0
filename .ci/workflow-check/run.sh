#!/usr/bin/env bash
# Checks the CI workflows here, where no hosted runner can be reached to run them (check.mjs says
# what it checks), with GitHub's own workflow parser from the npm registry.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/node-modules.sh .ci/workflow-check
node .ci/workflow-check/check.mjs README.md .github/workflows/*.yml
