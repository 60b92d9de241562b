#!/usr/bin/env bash
# Takes the README's pictures: the main window with the sample list loaded and a channel selected,
# and the About box. The program runs under Xvfb in a Wine virtual desktop, so that Wine draws the
# title bars. A small driver program in the same desktop starts it and works it through its own
# messages; for each picture it writes NAME.ready with the window's place, this script takes the
# picture from the X display and answers with NAME.taken. Writes docs/screenshots/main.png and
# docs/screenshots/about.png.
set -euo pipefail
usage="usage: screenshot.sh BUILD_DIR WINEPREFIX [LIST_DIR (default examples/)]"
pictures=(main about)
self=$(realpath "$0")

# Inside the virtual display: start the desktop with the driver, take each picture when the
# driver asks for it, then end the desktop's launcher (it may outlive the driver).
if [ "${VESSALY_SCREENSHOT_DISPLAY:-}" = 1 ]; then
  work=$1
  shift
  "$VESSALY_WINE_RUN" explorer /desktop=shot,1024x700 "$@" &
  desktop=$!
  for picture in "${pictures[@]}"; do
    for _ in $(seq 1 300); do
      [ -f "$work/$picture.ready" ] || [ -f "$work/driver-result.txt" ] && break
      sleep 0.2
    done
    [ -f "$work/$picture.ready" ] || break
    read -r x y width height < <(tr -d '\r' < "$work/$picture.ready")
    import -window root -crop "${width}x${height}+${x}+${y}" +repage "$work/$picture.png"
    touch "$work/$picture.taken"
  done
  for _ in $(seq 1 150); do
    [ -f "$work/driver-result.txt" ] && break
    sleep 0.2
  done
  sleep 0.5
  kill "$desktop" 2>/dev/null || true
  wait "$desktop" 2>/dev/null || true
  exit 0
fi

build=$(realpath "${1:?$usage}")
prefix=$(realpath "${2:?$usage}")
root=$(cd "$(dirname "$0")/.." && pwd)
lists=$(realpath -m "${3:-$root/examples}")
exe=$build/app/vessaly.exe
driver=$build/tests/resources/vessaly_screenshot_driver.exe
out=$root/docs/screenshots
for file in "$exe" "$driver"; do
  [ -f "$file" ] || { echo "screenshot: $file is missing: build the Windows target first" >&2; exit 1; }
done

# Wine draws the dialogs in Tahoma and the caption buttons in Marlett from its own fonts; a prefix
# whose Fonts folder lacks them shows substitutes (and letters for the caption buttons).
if [ ! -e "$prefix/drive_c/windows/Fonts/tahoma.ttf" ] || [ ! -e "$prefix/drive_c/windows/Fonts/marlett.ttf" ]; then
  echo "screenshot: $prefix has no tahoma.ttf or marlett.ttf in drive_c/windows/Fonts: the pictures will show substitute fonts" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows_work="Z:${work//\//\\}"

# The program reads Category.txt from its current directory; the list directory holds it and
# the sample list.
if [ -f "$lists/sample.kvx" ] && [ -f "$lists/Category.txt" ]; then
  cd "$lists"
  list=(sample.kvx 0)
else
  echo "screenshot: no sample.kvx and Category.txt in $lists, so the main window is shown empty" >&2
  printf 'General\r\nNews\r\n' > "$work/Category.txt"
  cd "$work"
  list=()
fi

export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winedbg.exe=d"}
VESSALY_SCREENSHOT_DISPLAY=1 VESSALY_WINE_RUN=$build/wine-run.sh xvfb-run -a -s "-screen 0 1024x700x24" \
  "$self" "$work" "$driver" "$exe" "$windows_work" "${list[@]}"

result=$(tr -dc 0-9 < "$work/driver-result.txt" 2>/dev/null || true)
if [ "$result" != 0 ]; then  # empty when the driver never finished
  echo "screenshot: the driver failed (result ${result:-none})" >&2
  exit 1
fi
mkdir -p "$out"
for picture in "${pictures[@]}"; do
  convert "$work/$picture.png" -strip -define png:exclude-chunks=date,time "$out/$picture.png"
  echo "screenshot: wrote $out/$picture.png ($(identify -format '%wx%h' "$out/$picture.png"))"
done
