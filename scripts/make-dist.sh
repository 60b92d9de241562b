#!/usr/bin/env bash
# Writes the packages a Windows user takes: dist/vessaly-VERSION-win32.zip with the 32-bit program
# (the one for every Windows) and dist/vessaly-VERSION-win64.zip with the x86-64 one, each with
# kvx.exe, Category.txt, the sample list and a short read-me.
set -euo pipefail
version=${1:?usage: make-dist.sh VERSION WINDOWS_BUILD WINDOWS64_BUILD}
root=$(cd "$(dirname "$0")/.." && pwd)
builds=("$(realpath "${2:?}")" "$(realpath "${3:?}")")
names=(win32 win64)
out=$root/dist
mkdir -p "$out"
for i in 0 1; do
  build=${builds[$i]}
  package=vessaly-$version-${names[$i]}
  for file in "$build/app/vessaly.exe" "$build/kvx/kvx.exe"; do
    [ -f "$file" ] || { echo "dist: $file is missing: build the Windows targets first" >&2; exit 1; }
  done
  work=$(mktemp -d)
  mkdir "$work/$package"
  cp "$build/app/vessaly.exe" "$build/kvx/kvx.exe" "$root/examples/Category.txt" "$root/examples/sample.kvx" \
    "$work/$package/"
  # The statically linked runtime brings its symbols along; users need none of them.
  strip=$([ "${names[$i]}" = win32 ] && echo i686-w64-mingw32-strip || echo x86_64-w64-mingw32-strip)
  "$strip" "$work/$package/vessaly.exe" "$work/$package/kvx.exe"
  if [ "${names[$i]}" = win32 ]; then
    which="This is the 32-bit program: it runs on every Windows, 32-bit and 64-bit alike."
  else
    which="This is the x86-64 build of the same program, for 64-bit Windows only; the 32-bit package runs everywhere."
  fi
  # Windows line ends, so that Notepad shows the lines on any Windows.
  sed 's/$/\r/' >"$work/$package/ReadMe.txt" <<TEXT
Vessaly $version
==========

Vessaly edits channel lists (kvx files): open a list, pick a channel, edit its fields, apply the
edit with Modify, copy or delete channels, and save. Every byte the form does not show is written
back exactly as it was read.

$which

Files
  vessaly.exe    the editor
  kvx.exe        the command-line companion: check, export, import, diff and sort lists
                 (run "kvx --help" in a command prompt)
  Category.txt   the category names; the editor reads it from the folder it is started in
  sample.kvx     a sample list of made-up channels

Start vessaly.exe from this folder, press Open and choose sample.kvx.
TEXT
  rm -f "$out/$package.zip"
  (cd "$work" && zip -q -X -r "$out/$package.zip" "$package")
  rm -rf "$work"
  echo "dist: wrote $out/$package.zip"
done
