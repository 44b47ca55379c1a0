# Sourced (POSIX sh) by everything that runs Wine. Set WINEPREFIX first, to a throwaway prefix of
# the caller's own: never ~/.wine.
export WINEDEBUG="${WINEDEBUG:--all}"
# C.UTF-8 is the one UTF-8 locale here; in any other, Wine mangles non-ASCII arguments.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# Wine's Recycle Bin is the XDG trash, and its menus and file types go there too: the prefix's own.
export XDG_DATA_HOME="$WINEPREFIX/xdg-data"
# No Mono or Gecko: their installers would ask on first boot. No X11 driver: without a display it
# holds every process that asks for the desktop window (the PATH broadcast does) for 10 to 20 s,
# measured; console programs need none (the tests' prefix takes the null driver: bundle/wine-run.in).
# A crash ends its process at once, with its exit code, instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winex11.drv=d;winedbg.exe=d"

wineserver=$(command -v wineserver || command -v wineserver-stable || echo /usr/lib/wine/wineserver)

# Starts a wineserver that stays until wine_stop and boots the prefix. Detached stdio: Wine's
# service processes outlive this and would otherwise hold the caller's output pipe open (CTest then
# waits forever).
wine_boot() {
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p </dev/null >/dev/null 2>&1
  wine wineboot -i </dev/null >/dev/null 2>&1
}

# Ends every process of the prefix, and waits until its wineserver is gone.
wine_stop() { "$wineserver" -k </dev/null >/dev/null 2>&1; "$wineserver" -w </dev/null >/dev/null 2>&1; }

# The Windows name of a Linux path, through the prefix's drive Z:.
win_path() { echo "Z:$1" | tr / '\\'; }

# The install root that a setup run in this prefix uses, after cmd ran COMMAND there, if given.
install_root() { wine cmd /c "${1:+$1 & }echo %LOCALAPPDATA%\\Programs\\Palvex" </dev/null | tr -d '\r'; }

# For a setup run as a user runs it (by hand, in the smoke run, in the benchmark), from the
# project's root: Wine 8's own where.exe answers yes for any name, so the setup would go looking for
# a VS Code that is not there. The tests' where searches as Windows' does, and finds none.
use_where_stand_in() { export WINEPATH="$(win_path "$PWD/tests/fixtures/where")"; }
