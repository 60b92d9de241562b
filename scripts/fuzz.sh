#!/usr/bin/env bash
# Runs the fuzzers for a bounded time in total, each starting from its committed seed corpus: half
# the time to the channel file fuzzer, the rest shared by the import fuzzers (CSV, channels.conf,
# settings folder) and the one of receivers' answers.
set -euo pipefail
build=${1:?usage: fuzz.sh NATIVE_BUILD_DIR SECONDS}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

channel_seconds=$((seconds / 2))
[ "$channel_seconds" -ge 1 ] || channel_seconds=1
import_seconds=$(((seconds - channel_seconds) / 4))
[ "$import_seconds" -ge 1 ] || import_seconds=1

# Usage: run NAME SECONDS CORPUS
run() {
  local name=$1 time=$2 corpus=$3
  local fuzzer="$build/tests/fuzz/$name"
  if [ ! -x "$fuzzer" ]; then
    echo "fuzz: $fuzzer was not built (the fuzzers need clang)" >&2
    exit 1
  fi
  mkdir -p "$work/$name"
  echo "== fuzzing $name for ${time}s =="
  # New inputs go to a scratch folder; the committed corpus is only read.
  "$fuzzer" -max_total_time="$time" -print_final_stats=1 -artifact_prefix="$work/$name/" "$work/$name" "$corpus" \
    2>"$work/$name.log" || {
    tail -n 40 "$work/$name.log" >&2
    echo "fuzz: $name found a fault (see above)" >&2
    exit 1
  }
  grep -E '^(stat::number_of_executed_units|Done )' "$work/$name.log" || tail -n 3 "$work/$name.log"
}

run fuzz_channel "$channel_seconds" "$root/tests/fuzz/corpus"
run fuzz_kvx_import "$import_seconds" "$root/tests/fuzz/corpus_kvx_import"
run fuzz_vdr_import "$import_seconds" "$root/tests/fuzz/corpus_vdr_import"
run fuzz_enigma2_import "$import_seconds" "$root/tests/fuzz/corpus_enigma2_import"
run fuzz_receiver_answers "$import_seconds" "$root/tests/fuzz/corpus_receiver_answers"
echo "fuzz: no finding"
