#!/usr/bin/env bash
# Builds the Debian packages, runs lintian over them, and checks that they
# install and work: as root they are really installed with apt-get, used and
# removed again; otherwise they are unpacked into a scratch root and a C host
# is linked against the unpacked development files.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-deb
bash scripts/build-packages.sh "$build" >/dev/null
packages=("$build"/*.deb)
for package in libquillnet3 libquillnet-dev quillnet-tools; do
  ls "$build/${package}_"*.deb >/dev/null || { echo "package missing: $package"; exit 1; }
done

echo "== lintian"
# Errors fail the check; warnings are shown.
lintian --tag-display-limit 0 --fail-on error "${packages[@]}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
host=tools/tests/install/c_host.c
# QUILLNET_PACKAGE_UNPACK_ONLY=1 takes the scratch-root path even as root.
if [ "$(id -u)" -eq 0 ] && [ -z "${QUILLNET_PACKAGE_UNPACK_ONLY:-}" ]; then
  echo "== install, use and remove"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(realpath "$build")"/*.deb >"$scratch/apt.log" \
    || { cat "$scratch/apt.log"; exit 1; }
  trap 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq libquillnet3 libquillnet-dev quillnet-tools >/dev/null; rm -rf "$scratch"' EXIT
  quillnet-send --version
  [ -f /usr/share/man/man1/quillnet-send.1.gz ] || { echo "man page missing"; exit 1; }
  # shellcheck disable=SC2046
  cc -o "$scratch/c_host" "$host" $(pkg-config --cflags --libs quillnet)
  "$scratch/c_host"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq libquillnet3 libquillnet-dev quillnet-tools >/dev/null
  trap 'rm -rf "$scratch"' EXIT
  if [ -n "$(find /usr -name 'libquillnet*' -o -name quillnet-send 2>/dev/null)" ]; then
    echo "files left after removal"; exit 1
  fi
else
  echo "== unpack into a scratch root and link"
  for deb in "${packages[@]}"; do dpkg -x "$deb" "$scratch/root"; done
  libdir=$(dirname "$(find "$scratch/root" -name 'libquillnet.so.3')")
  cc -o "$scratch/c_host" "$host" -I"$scratch/root/usr/include" -L"$libdir" -lquillnet -Wl,-rpath,"$libdir"
  "$scratch/c_host"
  LD_LIBRARY_PATH=$libdir "$scratch/root/usr/bin/quillnet-send" --version
fi
echo "package test passed"
