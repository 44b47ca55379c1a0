#!/bin/sh
# run-tests.cmd among stand-ins for its two test programs, which exit 0, as one that ends early
# may: a row for each way a program fails the run, and one where all pass.
set -u
wine_run=$1 runner=$2 stand_in=$3 failures=0
# Written from here: once the bundle's test has run, the prefix has no drive into this tree.
dir=$("$wine_run" winepath -u 'C:\')palvex-runner-test
pass='[  PASSED  ] 1 test.\n' failed='run-tests: FAILED:'

put() {  # NAME TEXT: NAME.exe prints TEXT; "missing": there is no NAME.exe
  [ "$2" = missing ] || { cp "$stand_in" "$dir/$1.exe" && printf '%b' "$2" >"$dir/$1.txt"; }
}
row() {  # SENTENCE E2E-TEXT IN-PROCESS-TEXT EXIT-CODE LAST-LINE
  rm -rf "$dir" && mkdir -p "$dir" && cp "$runner" "$dir"
  put e2e_tests "$2" && put in_process_tests "$3"
  out=$(cd "$dir" && "$wine_run" cmd /c 'C:\palvex-runner-test\run-tests.cmd' --throwaway)
  code=$? last=$(printf '%s\n' "$out" | tail -n 1 | tr -d '\r')
  [ "$code" = "$4" ] && [ "$last" = "$5" ] && echo "ok: $1" && return
  printf 'FAIL: %s\n  wanted exit %s and: %s\n  got exit %s; run-tests.cmd printed:\n%s\n' "$1" "$4" "$5" "$code" "$out"
  failures=1
}

row "a program that prints nothing fails the run" "" "$pass" 1 "$failed e2e_tests.exe [no summary]"
row "a program whose summary passed no test fails the run" "$pass" '[  PASSED  ] 0 tests.\n' \
  1 "$failed in_process_tests.exe [no test passed]"
row "a failed test fails the run" "$pass[  FAILED  ] 1 test, listed below:\n" "$pass" \
  1 "$failed e2e_tests.exe [a failed test]"
row "a skipped test fails the run" "$pass" "$pass[  SKIPPED ] 1 test, listed below:\n" \
  1 "$failed in_process_tests.exe [a skipped test]"
row "a missing program fails the run" "$pass" missing 1 "$failed in_process_tests.exe [missing]"
row "a bundle where every program passes exits 0" "$pass" "$pass" \
  0 "run-tests: every test program passed"
exit $failures
