#!/usr/bin/env bash
# What a person at a console reads: the program runs in tmux, where Wine gives it a console, with a
# LOCALAPPDATA outside ASCII, and the screen must show the folder as it is.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh tmux
run=$PWD/build/windows/wine-run
exe="Z:${PWD//\//\\}\\build\\windows\\palvex-setup.exe"
session=palvex-console-$$
export WINEPATH="Z:${PWD//\//\\}\\tests\\fixtures\\where"
trap 'tmux kill-session -t $session 2>/dev/null; "$run" --server-stop' EXIT
"$run" --server-start "$PWD/build/windows/tests/broadcast_listener.exe"
"$run" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\windows' /f >/dev/null 2>&1
rm -rf build/windows/wineprefix/drive_c/users/Łódź-data
# Wine hands the value to the A functions cut to as many bytes as it has UTF-16 units, here three
# fewer: the last three characters are there to be cut.
tmux new-session -d -s "$session" -x 150 -y 40 \
  "$run cmd /c 'set LOCALAPPDATA=C:\\users\\Łódź-data...&&$exe -i'; echo exit code \$?; sleep 60"
# wait_for TEXT: the screen, once TEXT ends it.
wait_for() {
  for _ in $(seq 120); do
    screen=$(tmux capture-pane -p -t "$session")
    if [[ $screen == *"$1" ]]; then return; fi
    sleep 0.5
  done
  echo "FAIL: the screen never showed $1:" && echo "$screen" && exit 1
}
wait_for "Press Enter to close..."
root='C:\users\Łódź-data\Programs\Palvex'
if ! diff <(echo "$screen") - <<EOF; then

Installing Palvex to $root

  Installed palvex.exe
  Added Palvex to your PATH
  VS Code not found; skipped the editor extension
        (install later with: code --install-extension "$root\\palvex-extension.vsix")

Done. Open a NEW terminal and run:  palvex --version

Press Enter to close...
EOF
  echo "FAIL: the screen differs (< shown, > expected)"
  exit 1
fi
tmux send-keys -t "$session" Enter
wait_for "exit code 0"
echo "Console: the folder reads as it is, and Enter closes the program"
