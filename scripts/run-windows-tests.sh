#!/usr/bin/env bash
# Builds quillnet.dll and quillnet-send.exe for 32- and 64-bit Windows with
# MinGW-w64, checks what the DLLs export and import, and runs both builds
# under Wine (the i686 one through Debian's wine32:i386) against the Linux
# build of the same sources.
#
# Needs: g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
# python3 (and xvfb, optional: with it the message box is checked on screen).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
failed=0

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine /usr/bin/python3 cc; do
  if ! command -v "$tool" >/dev/null; then
    echo "missing $tool: run scripts/install-deps.sh" >&2
    exit 1
  fi
done

# Only these DLLs may be imported: the system's own.
system_dlls="ADVAPI32.DLL CRYPT32.DLL KERNEL32.DLL MSVCRT.DLL SECUR32.DLL USER32.DLL WS2_32.DLL WSOCK32.DLL"

fail() {
  echo "FAILED  $*"
  failed=$((failed + 1))
}

# What quillnet.dll itself imports, no more and no less: Winsock, the
# registry, the message box, and Schannel with its certificate calls for TLS.
dll_imports="ADVAPI32.DLL CRYPT32.DLL KERNEL32.DLL MSVCRT.DLL SECUR32.DLL USER32.DLL WSOCK32.DLL"

# check_binary <objdump> <file> <expected exports, space-separated> <extra allowed imports> [exact imports]
check_binary() {
  local objdump=$1 file=$2 expected=$3 extra=$4 exact=${5:-} exports imports name
  exports=$("$objdump" -p "$file" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^[[:space:]]*\[ *[0-9]+\]/ {print $NF}' | tr '\n' ' ')
  if [ "${exports% }" = "$expected" ]; then
    echo "ok      $file exports: ${expected:-nothing}"
  else
    fail "$file exports '${exports% }', expected '$expected'"
  fi
  imports=$("$objdump" -p "$file" | awk '/DLL Name:/ {print toupper($3)}' | sort -u)
  for name in $imports; do
    case " $system_dlls $extra " in
      *" $name "*) ;;
      *) fail "$file imports $name, which is not a system DLL" ;;
    esac
  done
  if [ -n "$exact" ] && [ "$(echo $imports)" != "$exact" ]; then
    fail "$file imports '$(echo $imports)', expected exactly '$exact'"
  fi
  echo "        imports: $(echo $imports)"
}

for arch in i686 x86_64; do
  dir=build-mingw-$arch
  echo "== $arch: build"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-$arch.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQUILLNET_BUILD_TESTS=OFF -DQUILLNET_BUILD_HOSTS=OFF \
    --no-warn-unused-cli >/dev/null
  # The test programs compile the public header in a C host: on i686 that
  # proves the 88-byte job block through its static assertions.
  cmake --build "$dir" -j "$jobs" --target quillnet wrenpost_host quillnet_abi_test_windows quillnet-send \
    quillnet_unit_tests_windows

  echo "== $arch: export table and imports"
  objdump=$arch-w64-mingw32-objdump
  [ "$arch" = x86_64 ] && format=pei-x86-64 || format=pei-i386
  if "$objdump" -f "$dir/library/quillnet.dll" | grep -q "file format $format"; then
    echo "ok      quillnet.dll is $format"
  else
    fail "quillnet.dll is not $format"
  fi
  check_binary "$objdump" "$dir/library/quillnet.dll" "_Wrenpost" "" "$dll_imports"
  check_binary "$objdump" "$dir/tools/quillnet-send.exe" "" "QUILLNET.DLL"
  # A C host that declares _Wrenpost and links the import library must
  # import exactly that name from quillnet.dll.
  host=$dir/library/tests/windows/quillnet_abi_test_windows.exe
  imported=$("$objdump" -p "$host" | awk '/DLL Name:/ {dll = tolower($3)} /^[[:space:]]*$/ {dll = ""}
    dll == "quillnet.dll" && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]/ {print $3}')
  if [ "$imported" = "_Wrenpost" ]; then
    echo "ok      a C host imports _Wrenpost from quillnet.dll by name"
  else
    fail "$host does not import _Wrenpost from quillnet.dll"
  fi
done

echo "== linux build of the same sources, for comparison"
cmake -S . -B build-wine-ref -G Ninja -DQUILLNET_LIBRARY_ONLY=ON -DQUILLNET_BUILD_HOSTS=OFF >/dev/null
cmake --build build-wine-ref -j "$jobs" --target quillnet
cc -Wall -Wextra -Werror -I library/include library/tests/windows/wrenpost_host.c \
  -L build-wine-ref/library -lquillnet -Wl,-rpath,"$PWD/build-wine-ref/library" \
  -o build-wine-ref/wrenpost_host

display=()
if command -v xvfb-run >/dev/null; then display=(xvfb-run -a); fi
# Some kernels are built without IA-32 emulation: there no 32-bit program
# starts, Wine's 32-bit loader included.
arches="x86_64 i686"
if ! bash scripts/can-run-32bit.sh; then
  echo "NOTE    this kernel cannot execute 32-bit programs: the i686 build is checked" \
    "(built, exports, imports) but not run; the x86_64 build runs through wine64"
  arches="x86_64"
  export QUILLNET_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
fi
for arch in $arches; do
  echo "== $arch under wine"
  work=build-mingw-$arch/wine-tests
  mkdir -p "$work"
  "${display[@]}" /usr/bin/python3 library/tests/windows/run_wine_tests.py \
    --windows-build build-mingw-$arch --linux-host build-wine-ref/wrenpost_host \
    --work "$work" || failed=$((failed + $?))
done

if [ "$failed" -ne 0 ]; then
  echo "windows tests: $failed failure(s)"
  exit 1
fi
echo "windows tests: all passed"
