#!/usr/bin/env bash
# Runs the window programs' tests and the dialogue tests RUNS times (default
# 200) while every core is kept busy, to shake out tests that depend on
# timing: a test that passes alone but loses a race under load fails here.
#
#   scripts/stress-tests.sh [RUNS]
#
# Builds in `build` (reused when it is there). Prints "stress: N runs, F
# failures" and exits non-zero when any run failed.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-200}
case $runs in '' | *[!0-9]* | 0) echo "usage: $0 [RUNS]" >&2; exit 2 ;; esac
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Which tests: the Qt tests by executable name, the dialogue tests by their
# GoogleTest suites.
selection='^(benchform|quillnet_qt)_|^demo_(frame|frame_forms|emailwindow|masssend|persons|exchange_windows|maillogin|submission_delivery|masssend_delivery)_test$|^(DialogueTest|SubmissionTest|TempFileNaming)\.'

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$jobs"

load_pid=""
stop_load() {
  if [ -n "$load_pid" ]; then
    kill "$load_pid" 2>/dev/null || true
    wait "$load_pid" 2>/dev/null || true
    load_pid=""
  fi
}
trap stop_load EXIT
trap 'exit 130' INT TERM

# The time-out only guards against a run that is never stopped.
stress-ng --cpu "$jobs" --timeout 24h --quiet &
load_pid=$!

count=$(ctest --test-dir build -N -R "$selection" | sed -n 's/^Total Tests: //p')
[ "${count:-0}" -gt 0 ] || { echo "stress: no tests match $selection" >&2; exit 1; }
echo "stress: $count tests, $runs runs, load on $jobs cores"

# A failed run's whole output is kept for reading afterwards.
kept=build/stress-failures
rm -rf "$kept"
mkdir -p "$kept"
failures=0
for ((run = 1; run <= runs; run++)); do
  log=$kept/run-$run.log
  if ctest --test-dir build -R "$selection" -j "$jobs" --output-on-failure >"$log" 2>&1; then
    rm -f "$log"
  else
    failures=$((failures + 1))
    echo "-- run $run failed (whole output in $log):"
    grep -E '\*\*\*Failed|\*\*\*Timeout|FAIL!|Failure' "$log" | head -20 || true
  fi
  if ((run % 10 == 0)); then echo "-- $run runs done, $failures failed"; fi
done

stop_load
echo "stress: $runs runs, $failures failures"
[ "$failures" -eq 0 ]
