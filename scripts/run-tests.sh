#!/usr/bin/env bash
# Builds quillnet and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the 32-bit job block
# layout under qemu-i386, and the Windows DLLs cross-built and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build and test"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build and test"
cmake -S . -B build-asan -G Ninja -DQUILLNET_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== 32-bit job block under qemu-i386"
cmake -S . -B build-m32 -G Ninja -DQUILLNET_LIBRARY_ONLY=ON \
  -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 \
  -DCMAKE_SHARED_LINKER_FLAGS=-m32 -DCMAKE_EXE_LINKER_FLAGS=-m32 >/dev/null
cmake --build build-m32 -j "$jobs"
QEMU_LD_PREFIX=/ qemu-i386 -L / build-m32/library/tests/quillnet_abi_test

echo "== windows: cross-built DLLs under wine"
bash scripts/run-windows-tests.sh
