# Sourced (POSIX sh) by everything here that runs Wine. Set WINEPREFIX first, to a throwaway
# prefix of the caller's own: never ~/.wine.
export WINEDEBUG="${WINEDEBUG:--all}"
# C.UTF-8 is the one UTF-8 locale here; in any other, Wine mangles non-ASCII arguments.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# No Mono or Gecko: their installers would ask on first boot. No X11 driver: without a display it
# holds every process that asks for the desktop window (the PATH broadcast does) for 10 to 20 s,
# measured; console programs need none. (The test prefix sets the null driver: cmake/wine-run.in.)
export WINEDLLOVERRIDES="mscoree,mshtml=;winex11.drv=d"

wineserver=$(command -v wineserver || command -v wineserver-stable || echo /usr/lib/wine/wineserver)

# Starts a persistent wineserver and boots the prefix. Detached stdio: Wine's service processes
# outlive this and would otherwise hold the caller's output pipe open (CTest then waits forever).
wine_boot() {
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p </dev/null >/dev/null 2>&1
  wine wineboot -i </dev/null >/dev/null 2>&1
}

# For a setup run by hand from the project's root: Wine 8's own where.exe answers yes for any name,
# so the setup would go looking for a VS Code that is not there. The tests' where searches as
# Windows' does, and finds none.
use_where_stand_in() {
  WINEPATH="Z:$(echo "$PWD/tests/fixtures/where" | tr / '\\')"
  export WINEPATH
}

wine_stop() {
  "$wineserver" -k </dev/null >/dev/null 2>&1
  "$wineserver" -w </dev/null >/dev/null 2>&1
}
