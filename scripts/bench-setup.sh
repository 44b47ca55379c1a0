#!/usr/bin/env bash
# Prints figures for palvex-setup.exe from one run on this machine; asserts nothing about them.
#   - sizes: the program, each payload, the setup's own overhead (scripts/bench-size.sh)
#   - time of a full install (`palvex-setup.exe -i`) and a full uninstall (`-u`) under Wine:
#     median, min-max and interquartile range over RUNS runs (default 10), each next to a
#     baseline timed in the same rounds: `cmd /c` copying the same payload files into the same
#     folder and setting the same user PATH value with reg.exe (and for the uninstall, setting it
#     back and removing the folder)
#   - peak memory of the setup process, next to cmd.exe's and a trivial program's
# Times and memory come from bench/setup/measure.cpp, which runs each program as a child on the
# Windows side. Everything runs in a throwaway Wine prefix in build/bench/ with a persistent
# wineserver. Usage: [RUNS=20] scripts/bench-setup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-10}
if [[ $runs -lt 10 ]]; then echo "RUNS must be at least 10" >&2; exit 2; fi
build=build/bench

scripts/install-deps.sh
# The tests' where.exe is built only with testing on, hence a configure of our own.
if [[ ! -f $build/CMakeCache.txt ]]; then cmake --preset windows -B "$build" >/dev/null; fi
cmake --build "$build" --target palvex-setup -j"$(nproc)" >/dev/null
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror -municode -static -s \
  bench/setup/measure.cpp -o "$build/measure.exe" -lpsapi

echo "== Machine"
echo "cores: $(nproc); CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1);" \
     "memory: $(free -h | awk '/^Mem:/ { print $2 }'); $(wine --version 2>/dev/null)"
echo
echo "== Sizes"
scripts/bench-size.sh "$build"
echo

win() { local path; path=$(realpath -m "$1"); echo "Z:${path//\//\\}"; }
embedded=$root/$build/payload/embedded
run=$root/$build/run
local_app_data=$run/local
install_root=$local_app_data/Programs/Palvex
rm -rf "$run"
mkdir -p "$local_app_data"
setup_w=$(win "$build/palvex-setup.exe")
bin_w=$(win "$install_root/bin")
root_w=$(win "$install_root")
# Wine's own where.exe says yes to any name; the tests' one really searches, so the setup's
# `where code` answers no, as on a machine without VS Code.
child_env=("LOCALAPPDATA=$(win "$local_app_data")"
           "PATH=$(win tests/fixtures/where);%PATH%")
initial_path='C:\Tools\bin'
installed_path="$initial_path;$bin_w"

export WINEPREFIX=$root/$build/wineprefix
. "$root/scripts/wine-env.sh"
rm -rf "$WINEPREFIX"
# The prefix is some 700 MB and of no use afterwards.
trap 'wine_stop; rm -rf "$WINEPREFIX"' EXIT
wine_boot
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$initial_path" /f >/dev/null 2>&1

# measure NAME PROGRAM ARGS...: one timed run; its figures go to $run/NAME.txt.
measure() {
  local name=$1
  shift
  printf '\r\n' | wine "$build/measure.exe" "$(win "$run/$name.txt")" "${child_env[@]}" -- "$@" \
    >"$run/$name.out" 2>&1
}
setup_install() { measure "$1" "$setup_w" -i; }
setup_uninstall() { measure "$1" "$setup_w" -u; }
baseline_install() {
  measure "$1" cmd /c "mkdir \"$bin_w\"" \
    "&& copy /y \"$(win "$embedded/palvex.exe")\" \"$bin_w\\palvex.exe\" >nul" \
    "&& copy /y \"$(win "$embedded/palvex-extension.vsix")\" \"$root_w\\palvex-extension.vsix\" >nul" \
    "&& reg add HKCU\\Environment /v Path /t REG_EXPAND_SZ /d \"$installed_path\" /f >nul"
}
baseline_uninstall() {
  measure "$1" cmd /c "reg add HKCU\\Environment /v Path /t REG_EXPAND_SZ /d \"$initial_path\" /f >nul" \
    "&& rmdir /s /q \"$root_w\""
}

fail() { echo "bench-setup: $*; the output is in $run" >&2; exit 1; }
user_path() {
  wine reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *Path *REG_EXPAND_SZ *//p'
}
# A run that did not do the whole job would make a meaningless figure.
check_installed() {
  if ! cmp -s "$install_root/bin/palvex.exe" "$embedded/palvex.exe" ||
     ! cmp -s "$install_root/palvex-extension.vsix" "$embedded/palvex-extension.vsix"; then
    fail "$1 did not install both files"
  fi
  [[ -z ${2:-} || $(user_path) == "$installed_path" ]] || fail "$1 left PATH as '$(user_path)'"
}
check_removed() {
  [[ ! -e $install_root ]] || fail "$1 left $install_root"
  [[ -z ${2:-} || $(user_path) == "$initial_path" ]] || fail "$1 left PATH as '$(user_path)'"
}

# round PREFIX [registry]: the four timed runs, each checked; with "registry", the user PATH too,
# which costs a reg.exe start each time.
round() {
  setup_install "${1}setup-i" || fail "setup -i failed"
  check_installed "setup -i" "${2:-}"
  setup_uninstall "${1}setup-u" || fail "setup -u failed"
  check_removed "setup -u" "${2:-}"
  baseline_install "${1}baseline-i" || fail "baseline install failed"
  check_installed "baseline install" "${2:-}"
  baseline_uninstall "${1}baseline-u" || fail "baseline uninstall failed"
  check_removed "baseline uninstall" "${2:-}"
}

# The first round in a fresh prefix starts Wine's services and fills caches: timed, not counted.
round warmup- registry
grep -q "VS Code not found" "$run/warmup-setup-i.out" || fail "where.exe found a VS Code"
echo "== Install and uninstall under Wine, $runs rounds after one warm-up round"
for ((i = 1; i <= runs; i++)); do round ""; done
for ((i = 1; i <= 5; i++)); do measure floor "$(win "$embedded/palvex.exe")" --version; done

python3 - "$run" <<'EOF'
import statistics, sys
from pathlib import Path

run = Path(sys.argv[1])
def rows(name):
    return [line.split() for line in (run / f"{name}.txt").read_text().splitlines()]
def seconds(name):
    return [float(r[1]) for r in rows(name)]
def peak_mib(name):
    return statistics.median(int(r[2]) for r in rows(name)) / 2**20

def line(label, times):
    q1, _, q3 = statistics.quantiles(times, n=4, method="inclusive")
    print(f"  {label:<24} {statistics.median(times) * 1000:8.0f} {min(times) * 1000:8.0f}"
          f" {max(times) * 1000:8.0f} {q1 * 1000:8.0f} {q3 * 1000:8.0f}")

print(f"  {'ms (n=' + str(len(seconds('setup-i'))) + ')':<24} {'median':>8} {'min':>8} {'max':>8}"
      f" {'Q1':>8} {'Q3':>8}")
for what, setup, baseline in (("install", "setup-i", "baseline-i"),
                              ("uninstall", "setup-u", "baseline-u")):
    line(f"setup {what}", seconds(setup))
    line(f"baseline {what} (cmd)", seconds(baseline))
    ratio = statistics.median(seconds(setup)) / statistics.median(seconds(baseline))
    print(f"  {'':<24} ratio of medians setup/baseline: {ratio:.2f}")
warm = ", ".join(f"{name} {seconds('warmup-' + name)[0] * 1000:.0f}"
                 for name in ("setup-i", "setup-u", "baseline-i", "baseline-u"))
print(f"  warm-up round, not counted (ms): {warm}")
print()
print("== Peak working set (median over the runs)")
print(f"  palvex-setup.exe -i      {peak_mib('setup-i'):6.1f} MiB")
print(f"  palvex-setup.exe -u      {peak_mib('setup-u'):6.1f} MiB")
print(f"  cmd.exe (baseline)       {peak_mib('baseline-i'):6.1f} MiB")
print(f"  palvex.exe --version     {peak_mib('floor'):6.1f} MiB   (the floor: a trivial run)")
print("  Caveat: under Wine, GetProcessMemoryInfo reports the Linux process's peak resident\n"
      "  size, Wine's own libraries included; the setup's own share is about its figure minus\n"
      "  the floor.")
EOF
