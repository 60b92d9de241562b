#!/usr/bin/env bash
# Creates the Wine prefix given as $1 once, for the Wine loader given as $2 (wine for the 32-bit
# build, /usr/lib/wine/wine64 for the x86-64 one). Tests start many Wine processes in parallel, and
# parallel first starts of one prefix fail at random, so this runs before any of them.
set -euo pipefail
prefix=$(realpath -m "${1:?usage: wine-prefix.sh PREFIX_DIR [WINE_LOADER]}")
loader=${2:-wine}
if ! command -v "$loader" >/dev/null; then
  [ "$(basename "$loader")" = wine64 ] && package=wine64 || package="wine (and wine32 for 32-bit programs)"
  echo "wine-prefix: the Wine loader $loader is missing: install the Debian package $package" >&2
  exit 2
fi
if [ -z "${DISPLAY:-}" ] && ! command -v xvfb-run >/dev/null; then
  echo "wine-prefix: xvfb-run is missing: install the Debian package xvfb" >&2
  exit 2
fi
marker="$prefix/.vessaly-ready"
version=3
if [ -f "$marker" ] && [ "$(cat "$marker")" = "$version" ]; then
  exit 0
fi
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$(basename "$loader")" = wine64 ]; then
  # Debian's wine wrapper would start the 32-bit loader: the x86-64 prefix names its own.
  export WINEARCH=win64 WINELOADER=$loader
fi
run() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi
}
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-prefix: creating $prefix"
  run "$loader" wineboot -i
fi
# Without a window manager (Xvfb), Wine waits 2 s for one whenever a window with a caption is
# hidden or destroyed; windows that Wine manages itself close at once.
run "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
# Wine's own fonts (Tahoma, Marlett for the caption buttons) are installed outside the prefix here;
# without them the dialogs are drawn in a stand-in font and the caption buttons as letters.
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
for font in /usr/share/wine/fonts/*.ttf; do
  [ -e "$font" ] && [ ! -e "$fonts/$(basename "$font")" ] && cp "$font" "$fonts/"
done
wineserver -w
echo "$version" > "$marker"
