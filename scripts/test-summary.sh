#!/usr/bin/env bash
# Adds up the test cases that ctest's test programs ran, from each build's last ctest log.
set -euo pipefail
passed=0 failed=0 skipped=0
for build in "$@"; do
  log="$build/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || continue
  p=$(grep -ho '\[  PASSED  \] [0-9]* test' "$log" | awk '{s+=$4} END {print s+0}')
  f=$(grep -ho '\[  FAILED  \] [0-9]* test' "$log" | awk '{s+=$4} END {print s+0}')
  s=$(grep -ho '\[  SKIPPED \] [0-9]* test' "$log" | awk '{s+=$4} END {print s+0}')
  echo "$(basename "$build"): $p test cases passed, $f failed, $s skipped"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
