#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, folder build-fuzz) and runs each on a copy of
# its seed corpus from fuzz/corpus/, so the corpus in the repository stays
# as it is.
#
#   bench/fuzz.sh [EXECUTIONS]     each target for EXECUTIONS inputs (default 100000)
#   bench/fuzz.sh --seconds S      each target for S seconds (a smoke run)
#
# FUZZ_TARGETS="fuzz_base64 fuzz_html_scan" picks targets; all by default.
# Prints "target: executions, findings" per target and exits non-zero when
# any target found something (its input is kept under build-fuzz/findings/).
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-runs=100000)
case ${1:-} in
  --seconds) limit=(-max_total_time="${2:?seconds}") ;;
  '') ;;
  *[!0-9]*) echo "usage: $0 [EXECUTIONS] | --seconds S" >&2; exit 2 ;;
  *) limit=(-runs="$1") ;;
esac

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUILLNET_BUILD_FUZZ=ON \
  -DQUILLNET_BUILD_TESTS=OFF -DQUILLNET_BUILD_HOSTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_targets

# The profile and address-file targets write a file per input: on a memory
# file system they run several times faster than on disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

targets=${FUZZ_TARGETS:-$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p build-fuzz/findings

total_findings=0
for target in $targets; do
  corpus=$scratch/$target
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$target" ] && cp -r "fuzz/corpus/$target/." "$corpus/"
  log=$scratch/$target.log
  status=0
  # A leak is a finding as much as a crash; one finding ends the target's run.
  "build-fuzz/fuzz/$target" "${limit[@]}" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" "$corpus" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  findings=0
  if [ "$status" -ne 0 ]; then
    findings=1
    total_findings=$((total_findings + 1))
    grep -E 'ERROR|FUZZ CHECK|SUMMARY|Test unit written' "$log" | head -8 >&2 || true
  fi
  echo "$target: ${executions:-?} executions, $findings findings"
done

[ "$total_findings" -eq 0 ]
