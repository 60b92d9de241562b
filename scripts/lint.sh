#!/usr/bin/env bash
# Lints every C++ file of ours with clang-tidy (.clang-tidy): the native build's files, then those the
# 32-bit Windows build adds, parsed by clang for the MinGW target with the cross compiler's headers.
# The tools and header folders are looked up here, when the lint runs, not when make reads the
# Makefile: on a new machine they only exist once scripts/install-deps.sh has run.
set -euo pipefail
native=${1:?usage: lint.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR [JOBS]}
windows=${2:?usage: lint.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR [JOBS]}
jobs=${3:-$(nproc)}
root=$(cd "$(dirname "$0")/.." && pwd)

missing() {
  echo "lint: $1 is missing: install the Debian package $2 (scripts/install-deps.sh does)" >&2
  exit 2
}

clang_tidy=$(command -v clang-tidy) || missing clang-tidy clang-tidy
command -v python3 >/dev/null || missing python3 python3
# The newest GCC's headers where several are installed.
mingw_cxx=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-posix/include/c++ 2>/dev/null | sort -V | tail -n 1)
[ -n "$mingw_cxx" ] && [ -f "$mingw_cxx/cstdint" ] ||
  missing "the MinGW C++ headers (/usr/lib/gcc/i686-w64-mingw32/*-posix/include/c++)" g++-mingw-w64-i686-posix
[ -f /usr/i686-w64-mingw32/include/windows.h ] || missing /usr/i686-w64-mingw32/include/windows.h mingw-w64-i686-dev

echo "== lint (clang-tidy) =="
exec python3 "$root/scripts/lint.py" --root "$root" --cache "$root/build/lint-cache" --clang-tidy "$clang_tidy" \
  --jobs "$jobs" --pass=native="$native" \
  --pass=windows="$windows" --arg=--target=i686-w64-mingw32 --arg="-isystem$mingw_cxx" \
  --arg="-isystem$mingw_cxx/i686-w64-mingw32" --arg=-isystem/usr/i686-w64-mingw32/include
