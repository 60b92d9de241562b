#!/usr/bin/env bash
# Writes the packages a Windows user takes: dist/vessaly-VERSION-win32.zip with the 32-bit program
# (the one for every Windows) and dist/vessaly-VERSION-win64.zip with the x86-64 one, each with
# kvx.exe and its manual (kvx.txt), Category.txt, the sample list and a short read-me. The manual and
# the read-me's list of kvx's commands come from the help of the native kvx in KVX_BUILD (the same
# sources as kvx.exe), so that they name every command the program has.
#   make-dist.sh VERSION WINDOWS_BUILD WINDOWS64_BUILD KVX_BUILD
#   make-dist.sh --documents OUT VERSION KVX_BUILD   only the 32-bit zip's ReadMe.txt and kvx.txt, into OUT
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# ReadMe.txt and kvx.txt into folder $1, for the package named $2 (win32 or win64).
write_documents() {
  local folder=$1 name=$2 which commands
  if [ "$name" = win32 ]; then
    which="This is the 32-bit program: it runs on every Windows, 32-bit and 64-bit alike."
  else
    which="This is the x86-64 build of the same program, for 64-bit Windows only; the 32-bit package runs everywhere."
  fi
  python3 "$root/scripts/kvx-docs.py" text "$kvx" "$root/docs/kvx-manual.txt" "$folder/kvx.txt"
  commands=$(python3 "$root/scripts/kvx-docs.py" commands "$kvx")
  # Windows line ends, so that Notepad shows the lines on any Windows.
  sed 's/$/\r/' >"$folder/ReadMe.txt" <<TEXT
Vessaly $version
==========

Vessaly edits channel lists (kvx files): open a list, pick a channel, edit its fields, apply the
edit with Modify, copy or delete channels, and save. Every byte the form does not show is written
back exactly as it was read.

$which

Files
  vessaly.exe    the editor
  kvx.exe        the command-line companion for a command prompt, with the commands
                 $commands
  kvx.txt        kvx.exe's manual: every command and option, with examples
  Category.txt   the category names; the editor reads it from the folder it is started in
  sample.kvx     a sample list of made-up channels

Start vessaly.exe from this folder, press Open and choose sample.kvx.

In a command prompt opened in this folder, for example:
  kvx.exe check sample.kvx --categories Category.txt
  kvx.exe export sample.kvx --codepage 1251 -o sample.csv
  kvx.exe order scan.kvx --like curated.csv --copy names,categories
"kvx.exe --help" and "kvx.exe COMMAND --help" say the rest, as kvx.txt does.
TEXT
}

if [ "${1:-}" = --documents ]; then
  out=${2:?usage: make-dist.sh --documents OUT VERSION KVX_BUILD}
  version=${3:?}
  kvx=$(realpath "${4:?}")/kvx/kvx
  mkdir -p "$out"
  write_documents "$out" win32
  exit 0
fi

version=${1:?usage: make-dist.sh VERSION WINDOWS_BUILD WINDOWS64_BUILD KVX_BUILD}
builds=("$(realpath "${2:?}")" "$(realpath "${3:?}")")
kvx=$(realpath "${4:?usage: make-dist.sh VERSION WINDOWS_BUILD WINDOWS64_BUILD KVX_BUILD}")/kvx/kvx
names=(win32 win64)
out=$root/dist
mkdir -p "$out"
for i in 0 1; do
  build=${builds[$i]}
  package=vessaly-$version-${names[$i]}
  for file in "$build/app/vessaly.exe" "$build/kvx/kvx.exe" "$kvx"; do
    [ -f "$file" ] || { echo "dist: $file is missing: build the Windows targets and kvx first" >&2; exit 1; }
  done
  work=$(mktemp -d)
  mkdir "$work/$package"
  cp "$build/app/vessaly.exe" "$build/kvx/kvx.exe" "$root/examples/Category.txt" "$root/examples/sample.kvx" \
    "$work/$package/"
  # The statically linked runtime brings its symbols along; users need none of them.
  strip=$([ "${names[$i]}" = win32 ] && echo i686-w64-mingw32-strip || echo x86_64-w64-mingw32-strip)
  "$strip" "$work/$package/vessaly.exe" "$work/$package/kvx.exe"
  write_documents "$work/$package" "${names[$i]}"
  rm -f "$out/$package.zip"
  (cd "$work" && zip -q -X -r "$out/$package.zip" "$package")
  rm -rf "$work"
  echo "dist: wrote $out/$package.zip"
done
