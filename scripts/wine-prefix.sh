#!/usr/bin/env bash
# Creates the Wine prefix given as $1 once. Tests start many Wine processes in parallel, and
# parallel first starts of one prefix fail at random, so this runs before any of them.
set -euo pipefail
prefix=$(realpath -m "${1:?usage: wine-prefix.sh PREFIX_DIR}")
marker="$prefix/.vessaly-ready"
version=2
if [ -f "$marker" ] && [ "$(cat "$marker")" = "$version" ]; then
  exit 0
fi
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi
}
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-prefix: creating $prefix"
  run wineboot -i
fi
# Without a window manager (Xvfb), Wine waits 2 s for one whenever a window with a caption is
# hidden or destroyed; windows that Wine manages itself close at once.
run wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
wineserver -w
echo "$version" > "$marker"
