#!/usr/bin/env bash
# Exits 0 when this machine can execute 32-bit x86 programs, 1 when it cannot. Some kernels (some
# virtual machines) refuse them all while uname still says x86_64, so the only sure test is to run
# one: a 91-byte static ELF that calls exit(0) and needs no i386 libraries.
set -uo pipefail
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes), then: xor ebx,ebx; xor eax,eax; inc eax;
# int 0x80 -- the exit system call with status 0.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
printf '\133\000\000\000\133\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
printf '\061\333\061\300\100\315\200' >>"$probe"
chmod +x "$probe"
"$probe" >/dev/null 2>&1
