#!/usr/bin/env bash
# Runs a command (a build's ctest) with one wineserver kept up for the prefix in WINEPREFIX until it
# ends. Without it, every Wine process started after a quiet moment starts a server and Wine's own
# services again: about 7 s a process here, against 1 s with the server up, and the command tests run
# one Wine process after another. $1 is the build's Wine loader (wine or /usr/lib/wine/wine64).
set -uo pipefail
loader=${1:?usage: wine-tests.sh WINE_LOADER COMMAND...}
shift
: "${WINEPREFIX:?wine-tests.sh: set WINEPREFIX}"
command -v "$loader" >/dev/null && command -v wineserver >/dev/null || {
  echo "wine-tests: $loader or wineserver is missing: install the Debian packages wine and wine64" >&2
  exit 2
}
[ "$(basename "$loader")" = wine64 ] && export WINELOADER=$loader
# Also on an interrupted run: a server left up would hold the prefix for good.
trap 'wineserver -k 2>/dev/null' EXIT
wineserver -p
# Wine's services (and its desktop) start with the first process and then live as long as the server:
# started by a test, they would keep its output open and ctest would wait for it for good.
"$loader" wineboot </dev/null >/dev/null 2>&1
"$@"
