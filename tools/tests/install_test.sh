#!/usr/bin/env bash
# Installs the kit from BUILD-DIR into a scratch prefix and builds the hosts
# in HOSTS-DIR against it, once with find_package and once with pkg-config,
# then runs them and the installed quillnet-send.
# Usage: install_test.sh BUILD-DIR HOSTS-DIR [EXTRA-COMPILER-FLAGS]
set -euo pipefail
build=$1
hosts=$2
flags=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

for component in quillnet_runtime quillnet_dev quillnet_tools; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >>"$scratch/install.log"
done

for file in include/quillnet/wrenpost.h include/quillnet/wrenpostclass.h include/quillnet/hostservices.h \
    include/quillnet/progressfigures.h bin/quillnet-send; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

echo "== find_package"
cmake -S "$hosts" -B "$scratch/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$scratch/configure.log" \
  || { cat "$scratch/configure.log"; exit 1; }
cmake --build "$scratch/cmake-build"
"$scratch/cmake-build/c_host"
"$scratch/cmake-build/glue_host"

echo "== pkg-config"
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name quillnet.pc)")
mkdir -p "$scratch/pc-build"
libdir=$(pkg-config --variable=libdir quillnet)
# shellcheck disable=SC2046,SC2086
cc $flags -o "$scratch/pc-build/c_host" "$hosts/c_host.c" $(pkg-config --cflags --libs quillnet) -Wl,-rpath,"$libdir"
# shellcheck disable=SC2046,SC2086
c++ $flags -o "$scratch/pc-build/glue_host" "$hosts/glue_host.cpp" $(pkg-config --cflags --libs quillnet-glue) \
  -Wl,-rpath,"$libdir"
"$scratch/pc-build/c_host"
"$scratch/pc-build/glue_host"

echo "== installed quillnet-send"
"$prefix/bin/quillnet-send" --version
echo "install test passed"
