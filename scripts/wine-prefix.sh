#!/usr/bin/env bash
# Creates the Wine prefix given as $1 once. Tests start many Wine processes in parallel, and
# parallel first starts of one prefix fail at random, so this runs before any of them.
set -euo pipefail
prefix=$(realpath -m "${1:?usage: wine-prefix.sh PREFIX_DIR}")
if [ -f "$prefix/.vessaly-ready" ]; then
  exit 0
fi
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "wine-prefix: creating $prefix"
if [ -n "${DISPLAY:-}" ]; then
  wineboot -i
else
  xvfb-run -a wineboot -i
fi
wineserver -w
touch "$prefix/.vessaly-ready"
