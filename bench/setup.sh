#!/usr/bin/env bash
# Prints palvex-setup.exe beside two peers doing the same install job, from one run on this
# machine; asserts nothing about the figures:
#   - size and overhead (the program minus its two payloads) of the setup (bench/size.sh) and of an
#     NSIS installer built from bench/setup/nsis-peer.nsi with Debian's nsis
#   - install time under Wine of the setup (-i), the NSIS peer and a baseline of cmd.exe copying
#     the two files and setting the Path value with reg.exe; uninstall time of the setup (-u) and
#     of cmd.exe setting the old value back and removing the folder. Timed by hyperfine: one run
#     of each command a round, so that the commands alternate, RUNS rounds (default 10) after one
#     warm-up round; median, min and max of the rounds.
#   - peak working set of each, sampled on the Windows side by bench/setup/peak.cpp
# Everything runs in a throwaway Wine prefix in build/bench/, where `where code` finds no VS Code.
# The setup is the windows preset's, in build/windows.
# Usage: [RUNS=20] bench/setup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10}
build=$PWD/build/windows
run=$PWD/build/bench
mkdir -p "$run"
scripts/install-deps.sh nsis hyperfine
echo "== Size"
bench/size.sh
cmake --build "$build" --target peak -j"$(nproc)" >/dev/null
payloads=$build/payload/embedded
makensis -V1 -DPAYLOADS="$payloads" -DOUT="$run/nsis-peer.exe" bench/setup/nsis-peer.nsi
bytes=$(stat -c %s "$run/nsis-peer.exe")
overhead=$((bytes - $(stat -c %s "$payloads/palvex.exe") - $(stat -c %s "$payloads/palvex-extension.vsix")))
printf '%-34s %9d bytes, overhead %d bytes (%d KiB)\n' "nsis-peer.exe" "$bytes" "$overhead" \
  $((overhead / 1024))
echo
echo "== Machine"
echo "cores: $(nproc); CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1);" \
  "memory: $(free -h | awk '/^Mem:/ { print $2 }'); $(wine --version 2>/dev/null); $(hyperfine --version)"

export WINEPREFIX=$run/wineprefix
. scripts/wine-env.sh
use_where_stand_in
rm -rf "$WINEPREFIX"
# The prefix is some 700 MB and of no use afterwards.
trap 'wine_stop; rm -rf "$WINEPREFIX"' EXIT
wine_boot
root_w=$(install_root)
root=$(winepath -u "$root_w" 2>/dev/null)
old_path='C:\Tools\bin'
new_path="$old_path;$root_w\\bin"

# Each command as a script of its own, for hyperfine to run and to name.
script() { printf '#!/bin/sh\n%s\n' "$2" >"$run/$1" && chmod +x "$run/$1"; }
script setup-install "wine '$(win_path "$build/palvex-setup.exe")' -i </dev/null >/dev/null"
script nsis-install "wine '$(win_path "$run/nsis-peer.exe")'"
# cmd.exe reads its own command line, so the baselines' commands go in batch files.
printf '@mkdir "%s\\bin" && copy /y "%s" "%s\\bin" >nul && copy /y "%s" "%s" >nul && reg add HKCU\\Environment /v Path /t REG_EXPAND_SZ /d "%s" /f >nul\r\n' \
  "$root_w" "$(win_path "$payloads/palvex.exe")" "$root_w" "$(win_path "$payloads/palvex-extension.vsix")" \
  "$root_w" "$new_path" >"$run/install.cmd"
printf '@reg add HKCU\\Environment /v Path /t REG_EXPAND_SZ /d "%s" /f >nul && rmdir /s /q "%s"\r\n' \
  "$old_path" "$root_w" >"$run/uninstall.cmd"
script cmd-install "wine cmd /c '$(win_path "$run/install.cmd")'"
script setup-uninstall "wine '$(win_path "$build/palvex-setup.exe")' -u </dev/null >/dev/null"
script cmd-uninstall "wine cmd /c '$(win_path "$run/uninstall.cmd")'"
script removed "rm -rf '$root'; wine reg add 'HKCU\\Environment' /v Path /t REG_EXPAND_SZ /d '$old_path' /f >/dev/null 2>&1"
script installed "$run/removed; $run/setup-install"

user_path() { wine reg query 'HKCU\Environment' /v Path | tr -d '\r' | sed -n 's/.*REG_EXPAND_SZ *//p'; }
# A run that did not do the whole job would make a meaningless figure.
for way in setup nsis cmd; do
  "$run/removed" && "$run/$way-install"
  cmp -s "$root/bin/palvex.exe" "$payloads/palvex.exe" &&
    cmp -s "$root/palvex-extension.vsix" "$payloads/palvex-extension.vsix" &&
    [[ $(user_path) == "$new_path" ]] || { echo "bench/setup: $way-install did not do the job" >&2; exit 1; }
done

# round N: one timed run of each command; hyperfine cannot alternate commands itself.
round() {
  hyperfine --runs 1 --style none --prepare "$run/removed" --export-json "$run/install-$1.json" \
    -n setup "$run/setup-install" -n nsis "$run/nsis-install" -n cmd "$run/cmd-install"
  hyperfine --runs 1 --style none --prepare "$run/installed" --export-json "$run/uninstall-$1.json" \
    -n setup "$run/setup-uninstall" -n cmd "$run/cmd-uninstall"
}
round warmup
for ((i = 1; i <= runs; i++)); do round "$i"; done
echo
echo "== Time under Wine, ms over $runs alternated rounds after one warm-up round (hyperfine)"
python3 - "$run" "$runs" <<'EOF'
import json, statistics, sys
run, runs = sys.argv[1], int(sys.argv[2])
print(f"  {'':<22} {'median':>7} {'min':>7} {'max':>7}  median / cmd's")
for job in ("install", "uninstall"):
    times = {}
    for i in range(1, runs + 1):
        for result in json.load(open(f"{run}/{job}-{i}.json"))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    for name, ms in ((name, [t * 1000 for t in values]) for name, values in times.items()):
        ratio = statistics.median(ms) / statistics.median(t * 1000 for t in times["cmd"])
        print(f"  {job + ', ' + name:<22} {statistics.median(ms):7.0f} {min(ms):7.0f} {max(ms):7.0f}"
              f"  {ratio:.2f}")
EOF

echo
echo "== Peak working set, MiB (one run each)"
peak() {
  "$run/${2:-removed}" >/dev/null
  local bytes=$(wine "$build/bench/peak.exe" "${@:3}" 2>&1 >/dev/null </dev/null | tr -d '\r' | tail -1)
  printf '  %-22s %6d.%d\n' "$1" $((bytes / 1048576)) $((bytes % 1048576 * 10 / 1048576))
}
peak "install, setup" removed "$(win_path "$build/palvex-setup.exe")" -i
peak "install, nsis" removed "$(win_path "$run/nsis-peer.exe")"
peak "install, cmd" removed cmd /c "$(win_path "$run/install.cmd")"
peak "uninstall, setup" installed "$(win_path "$build/palvex-setup.exe")" -u
peak "a trivial program" removed "$(win_path "$payloads/palvex.exe")" --version
echo "  Under Wine this is the Linux process's peak resident size, Wine's own libraries included:"
echo "  the trivial program's figure is the floor."
