#!/usr/bin/env bash
# Adds up the test cases that ctest's test programs ran, from each build's last ctest log, and says
# which Windows builds were tested. $1 is a note on the choice of builds (may be empty); then the
# build folders.
set -euo pipefail
note=$1
shift

# Sum of the counts GoogleTest printed on its closing lines of one kind (PASSED, FAILED, SKIPPED).
count() {
  { grep -ho "\[  $1 *\] [0-9]* test" "$2" || true; } | awk '{s += $4} END {print s + 0}'
}

passed=0 failed=0 skipped=0 tested=()
for build in "$@"; do
  log="$build/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || continue
  p=$(count PASSED "$log") f=$(count FAILED "$log") s=$(count SKIPPED "$log")
  echo "$(basename "$build"): $p test cases passed, $f failed, $s skipped"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
  case $(basename "$build") in
    windows) tested+=("32-bit x86 (wine)") ;;
    windows64) tested+=("x86-64 (wine64)") ;;
  esac
done
[ -n "$note" ] && echo "$note"
echo "Windows builds tested: $(IFS=,; echo "${tested[*]:-none}" | sed 's/,/, /g')"
echo "tests: $passed passed, $failed failed, $skipped skipped"
