#!/usr/bin/env bash
# Runs a built palvex-setup.exe once as a user would, under Wine: an install, then an uninstall,
# each with its switch and an input already at its end (so the closing pause returns at once), and
# says whether both printed exactly what the program prints on a machine without VS Code and ended
# with exit code 0. A program that passes the file checks of release/gate.py can still crash at its
# first call into a system DLL; this is where that shows before it ships.
# Exit code 0 when both runs were right; otherwise 1, with a line for each run that was not. A run
# that has not ended after 120 s is stopped and counts as wrong.
#
# PREFIX is a Wine prefix kept for such runs (created on first use; never ~/.wine); without it the
# run boots a temporary one (about 700 MB, 10-20 s). The setup runs as a copy on the prefix's C:.
# --read-only SECTION clears the write flag of that section in the copy first.
usage='usage: release/smoke.sh [--read-only SECTION] SETUP_EXE [PREFIX]'
set -euo pipefail

read_only=
[[ ${1-} != --read-only ]] || { read_only=${2-} && shift 2; }
[[ $# -ge 1 && $# -le 2 && -f $1 ]] || { echo "$usage" >&2 && exit 2; }
name=$1 setup=$(realpath "$1") temporary=
[[ -z $read_only ]] || name="$1 (a copy with $read_only read-only)"
[[ -n ${2-} ]] || temporary=$(mktemp -d)
export WINEPREFIX=$(realpath -m "${2:-$temporary}")
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
# Nothing the runs started (a hung setup, its children) outlives them.
trap 'wine_stop; [[ -z $temporary ]] || rm -rf "$temporary"' EXIT
use_where_stand_in
[[ -d $WINEPREFIX/drive_c ]] || wine_boot

dir=$WINEPREFIX/drive_c/smoke
rm -rf "$dir" && mkdir -p "$dir"
cp "$setup" "$dir/palvex-setup.exe"
if [[ -n $read_only ]]; then
  /usr/bin/python3 -c 'import pefile, sys
pe = pefile.PE(sys.argv[1])
sections = [s for s in pe.sections if s.Name.rstrip(b"\0").decode() == sys.argv[2]]
if not sections:
    sys.exit("smoke: %s has no section %s" % (sys.argv[1], sys.argv[2]))
sections[0].Characteristics &= ~pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"]
data = pe.write()
pe.close()
open(sys.argv[1], "wb").write(data)' "$dir/palvex-setup.exe" "$read_only"
fi
# A run earlier in this prefix may have stopped half way: its PATH entry and files go first, so each
# run starts from a fresh prefix's state (cmd's exit code is reg's, 1 when there was no entry).
reset='reg delete HKCU\Environment /v Path /f >nul 2>nul & rd /s /q "%LOCALAPPDATA%\Programs\Palvex" 2>nul'
root=$(install_root "$reset") || true
[[ $root == [A-Z]:\\* ]] ||
  { echo "smoke: cmd in the Wine prefix $WINEPREFIX gave no install root, but '$root'" >&2 && exit 1; }

# The program's text as a pipe gets it: CR LF line ends, and the closing prompt ends it.
Transcript() { sed 's/$/\r/' | head -c -2; }
Transcript >"$dir/install.expected" <<EOF

Installing Palvex to $root

  Installed palvex.exe
  Added Palvex to your PATH
  VS Code not found; skipped the editor extension
        (install later with: code --install-extension "$root\palvex-extension.vsix")

Done. Open a NEW terminal and run:  palvex --version

Press Enter to close...
EOF
Transcript >"$dir/uninstall.expected" <<EOF

Removing Palvex from $root

  Removed Palvex from your PATH
  Deleted installed files

Palvex removed. Restart open terminals to refresh PATH.

Press Enter to close...
EOF

faults=0
for run in install uninstall; do
  code=0
  (cd "$dir" && timeout 120 wine palvex-setup.exe "--$run" </dev/null >"$run.printed" 2>"$run.err") ||
    code=$?
  same=true
  cmp -s "$dir/$run.expected" "$dir/$run.printed" || same=false
  [[ $code == 0 ]] && $same && continue
  faults=1
  case $code in
    0) ;;
    124) echo "$name must not ship: its $run did not end within 120 s" >&2 ;;
    *) echo "$name must not ship: its $run ended with exit code $code, not 0" >&2 ;;
  esac
  if ! $same; then
    echo "$name must not ship: its $run printed other text than it must (- must, + printed;" \
      "<CR> is a carriage return):" >&2
    diff -u <(sed 's/\r/<CR>/g' "$dir/$run.expected") <(sed 's/\r/<CR>/g' "$dir/$run.printed") |
      sed '1,2d; /^\\ No newline/d' >&2 || true
  fi
  sed 's/^/  Wine: /' "$dir/$run.err" >&2
done
exit "$faults"
