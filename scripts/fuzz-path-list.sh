#!/usr/bin/env bash
# Long runs of the PATH list checks, natively: the seeded property test over many seeds, then (when
# clang++ with libFuzzer is available) a coverage-guided fuzzer for a bounded time.
#
#   scripts/fuzz-path-list.sh                    10 seeds x 10 million cases, then 5 min of fuzzing
#   SEEDS="1 2 3" CASES=1000000 FUZZ_SECONDS=0 scripts/fuzz-path-list.sh
#
# A property failure prints its seed and case number; rerun it with
#   PALVEX_PROPERTY_SEED=<seed> build/native/tests/pure_tests --gtest_filter='PathListProperty.*'
# A fuzzer failure leaves the input in build/fuzz/crash-*; rerun it with
#   build/fuzz/path_list_fuzzer build/fuzz/crash-<hash>
set -euo pipefail

cd "$(dirname "$0")/.."
SEEDS=${SEEDS:-$(seq 1 10)}
CASES=${CASES:-10000000}
FUZZ_SECONDS=${FUZZ_SECONDS:-300}
CLANGXX=${CLANGXX:-clang++-14}

cmake --preset native >/dev/null
cmake --build --preset native --target pure_tests -j2

start=$(date +%s)
for seed in $SEEDS; do
  echo "== property test: seed $seed, $CASES cases"
  PALVEX_PROPERTY_SEED=$seed PALVEX_PROPERTY_CASES=$CASES \
    build/native/tests/pure_tests --gtest_filter='PathListProperty.*' --gtest_brief=1
done
echo "== property test passed for every seed in $(($(date +%s) - start)) s"

if [[ $FUZZ_SECONDS -le 0 ]]; then exit 0; fi
if ! command -v "$CLANGXX" >/dev/null; then
  echo "== $CLANGXX not found: fuzzer skipped"
  exit 0
fi
mkdir -p build/fuzz/corpus
"$CLANGXX" -std=c++17 -O1 -g -Wall -Wextra -Werror -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -Isrc src/path/path_list.cpp tests/fuzz/path_list_fuzzer.cpp \
  -o build/fuzz/path_list_fuzzer
echo "== libFuzzer for $FUZZ_SECONDS s (corpus in build/fuzz/corpus)"
cd build/fuzz
./path_list_fuzzer -max_total_time="$FUZZ_SECONDS" -max_len=512 -print_final_stats=1 corpus \
  2>&1 | grep -vE '^#[0-9]+\s+(NEW|REDUCE|pulse)'
