#!/usr/bin/env bash
# Builds quillnet and runs every test stage: the normal build, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the 32-bit job block
# layout, the Windows DLLs cross-built and run under Wine, the Debian
# packages, and each fuzz target for a few seconds. Every stage runs even when an earlier one failed; the summary at
# the end names each stage's outcome and the exit status is non-zero when
# any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
passed=0
failed=0
summary=()

stage() {
  local name=$1
  shift
  echo "== $name"
  # Not in an if: errexit would be ignored inside the subshell there.
  ( set -e; "$@" )
  if [ $? -eq 0 ]; then
    passed=$((passed + 1))
    summary+=("passed: $name")
  else
    failed=$((failed + 1))
    summary+=("FAILED: $name")
  fi
}

normal_build() {
  # The benchmarks are built too, so a change that breaks one shows here.
  cmake -S . -B build -G Ninja -DQUILLNET_BUILD_BENCH=ON >/dev/null
  cmake --build build -j "$jobs"
  ctest --test-dir build --output-on-failure -j "$jobs"
}

sanitizer_build() {
  cmake -S . -B build-asan -G Ninja -DQUILLNET_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
}

job_block_32bit() {
  # The layout test needs no TLS, and Debian has no 32-bit OpenSSL installed here.
  cmake -S . -B build-m32 -G Ninja -DQUILLNET_LIBRARY_ONLY=ON -DQUILLNET_WITH_TLS=OFF \
    -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 \
    -DCMAKE_SHARED_LINKER_FLAGS=-m32 -DCMAKE_EXE_LINKER_FLAGS=-m32 >/dev/null
  cmake --build build-m32 -j "$jobs"
  # 32-bit programs run natively on x86-64, unless the kernel lacks IA-32
  # emulation: then under qemu's user-mode emulator.
  if bash scripts/can-run-32bit.sh; then
    build-m32/library/tests/quillnet_abi_test
  else
    echo "this kernel cannot execute 32-bit programs: running the test under qemu-i386"
    qemu-i386 build-m32/library/tests/quillnet_abi_test
  fi
}

stage "build and test" normal_build
stage "sanitizer build and test" sanitizer_build
stage "32-bit job block" job_block_32bit
stage "windows: cross-built DLLs under wine" bash scripts/run-windows-tests.sh
stage "debian packages" bash scripts/package-test.sh
# A short run keeps the fuzz targets building and running; bench/fuzz.sh
# with a number of executions is the long run.
stage "fuzz smoke" bash bench/fuzz.sh --seconds 3

echo "== summary"
printf '%s\n' "${summary[@]}"
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
