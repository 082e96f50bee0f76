#!/usr/bin/env bash
# A program that crashes under Wine ends at once with a non-zero status,
# rather than waiting in a debugger or a crash dialog:
#   CrashEndsQuickly.sh <wine-run> <Crash.exe>
# The program first runs to its normal end: that builds the prefix outside
# the timed run, and shows that a failure of the second run comes from the
# crash. Then it crashes and must be gone within the limit.
# Output goes to a file: a debugger left behind would hold a pipe open, and
# the check would wait for it.
set -uo pipefail
run="$1"
exe="$2"
limit=30
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

if ! "$run" "$exe" exit >"$log" 2>&1; then
  cat "$log"
  echo "FAIL: the program did not end normally when asked to"
  exit 1
fi

start=$(date +%s%N)
timeout -k 5 "$limit" "$run" "$exe" >"$log" 2>&1
rc=$?
ms=$((($(date +%s%N) - start) / 1000000))
cat "$log"
if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
  # Whatever still waits for the crashed program goes with its prefix's
  # server.
  WINEPREFIX="${VL_WINEPREFIX:?}" wineserver -k >/dev/null 2>&1
  echo "FAIL: the crashed program was still there after $limit s"
  exit 1
fi
if [ "$rc" -eq 0 ]; then
  echo "FAIL: the crashed program ended with status 0"
  exit 1
fi
echo "the crashed program ended with status $rc after $ms ms"
