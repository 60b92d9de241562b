#!/usr/bin/env bash
# Starts the editor under Wine in examples/, where the sample list and Category.txt live.
set -euo pipefail
build=${1:?usage: run-editor.sh BUILD_DIR WINEPREFIX}
prefix=${2:?usage: run-editor.sh BUILD_DIR WINEPREFIX}
# Resolved before the change of folder, so that relative and absolute build paths both work.
exe=$(realpath "$build/app/vessaly.exe")
runner=$(realpath "$build/wine-run.sh")
if [ -z "${DISPLAY:-}" ]; then
  echo "make run needs a display: run it in a desktop session (DISPLAY is not set)." >&2
  echo "Without one, 'make test' still builds and tests everything under a virtual display." >&2
  exit 1
fi
cd "$(dirname "$0")/../examples"
echo "Starting Vessaly in $(pwd); open sample.kvx from here."
WINEPREFIX=$prefix exec "$runner" "$exe"
