#!/usr/bin/env bash
# Exits 0 when this machine can execute 32-bit x86 programs, 1 when it cannot. Some kernels (some
# virtual machines) refuse them all while uname still says x86_64, so the only sure test is to run
# one: a 91-byte static ELF that calls exit(0) and needs no i386 libraries.
set -uo pipefail
# The probe must sit where programs may run: /tmp is mounted noexec on some machines, and a probe that
# cannot start there would wrongly say no. A shell script beside it shows whether the folder allows it.
for folder in "${TMPDIR:-/tmp}" /dev/shm /var/tmp "$(cd "$(dirname "$0")/.." && pwd)"; do
  dir=$(mktemp -d -p "$folder" 2>/dev/null) || continue
  printf '#!/bin/sh\nexit 0\n' >"$dir/control" && chmod +x "$dir/control"
  if "$dir/control" 2>/dev/null; then break; fi
  rm -rf "$dir"
  dir=
done
[ -n "${dir:-}" ] || { echo "runs-32bit: found no folder where programs may run" >&2; exit 1; }
probe=$dir/probe
trap 'rm -rf "$dir"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes), then: xor ebx,ebx; xor eax,eax; inc eax;
# int 0x80 -- the exit system call with status 0.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
printf '\133\000\000\000\133\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
printf '\061\333\061\300\100\315\200' >>"$probe"
chmod +x "$probe"
"$probe" >/dev/null 2>&1 || exit 1
