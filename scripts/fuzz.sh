#!/usr/bin/env bash
# Runs the channel fuzzer for a bounded time, starting from the committed seed corpus.
set -euo pipefail
build=${1:?usage: fuzz.sh NATIVE_BUILD_DIR SECONDS}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
fuzzer="$build/tests/fuzz/fuzz_channel"
if [ ! -x "$fuzzer" ]; then
  echo "fuzz: $fuzzer was not built (the fuzzer needs clang)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== fuzzing for ${seconds}s =="
# New inputs go to a scratch folder; the committed corpus is only read.
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" "$work" "$root/tests/fuzz/corpus" 2>"$work/log" || {
  tail -n 40 "$work/log" >&2
  echo "fuzz: the fuzzer found a fault (see above)" >&2
  exit 1
}
grep -E '^(stat::number_of_executed_units|Done )' "$work/log" || tail -n 3 "$work/log"
echo "fuzz: no finding"
