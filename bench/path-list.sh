#!/usr/bin/env bash
# Builds the native preset (RelWithDebInfo: -O2) and prints how long the PATH list operations take
# on PATH values of about 1 KB, 32 KB and 1 MB, next to a plain copy of the same string. The
# figures are for reading (bytes per second should stay roughly flat); nothing is asserted.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake make g++ libbenchmark-dev
cmake --preset native >/dev/null
cmake --build --preset native --target path_list_bench -j"$(nproc)"
echo
build/native/bench/path_list_bench
