#!/usr/bin/env bash
# Installs the native kvx, its manual page and its bash completion under DESTDIR/PREFIX, or removes
# exactly those files again. The one list of what kvx installs, for make install, make uninstall and
# make deb alike.
#   install-kvx.sh install DESTDIR PREFIX BUILD   BUILD: a native build with kvx and kvx_docs made
#   install-kvx.sh uninstall DESTDIR PREFIX
set -euo pipefail
usage="usage: install-kvx.sh install DESTDIR PREFIX BUILD | uninstall DESTDIR PREFIX"
action=${1:?$usage}
destdir=${2?$usage}
prefix=${3:?$usage}
case $prefix in
  /*) ;;
  *) echo "install-kvx: PREFIX must be an absolute path, not '$prefix'" >&2; exit 2 ;;
esac
root=${destdir%/}${prefix%/}

# Installed path under PREFIX, its mode, and the file of the build it comes from.
files=(
  "bin/kvx 755 kvx/kvx"
  "share/man/man1/kvx.1 644 kvx/kvx.1"
  "share/bash-completion/completions/kvx 644 kvx/kvx.bash-completion"
)

case $action in
  install)
    build=${4:?$usage}
    for entry in "${files[@]}"; do
      read -r path mode from <<<"$entry"
      [ -f "$build/$from" ] || { echo "install-kvx: $build/$from is missing: build kvx and kvx_docs first" >&2; exit 1; }
    done
    for entry in "${files[@]}"; do
      read -r path mode from <<<"$entry"
      install -D -m "$mode" "$build/$from" "$root/$path"
      echo "installed $root/$path"
    done
    ;;
  uninstall)
    for entry in "${files[@]}"; do
      read -r path mode from <<<"$entry"
      if [ -e "$root/$path" ] || [ -L "$root/$path" ]; then
        rm -f "$root/$path"
        echo "removed $root/$path"
      fi
    done
    ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
