#!/usr/bin/env bash
# Adds up the test cases that ctest's test programs ran, from each build's last ctest log.
set -euo pipefail

# Sum of the counts GoogleTest printed on its closing lines of one kind (PASSED, FAILED, SKIPPED).
count() {
  { grep -ho "\[  $1 *\] [0-9]* test" "$2" || true; } | awk '{s += $4} END {print s + 0}'
}

passed=0 failed=0 skipped=0
for build in "$@"; do
  log="$build/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || continue
  p=$(count PASSED "$log") f=$(count FAILED "$log") s=$(count SKIPPED "$log")
  echo "$(basename "$build"): $p test cases passed, $f failed, $s skipped"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
