#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing quillnet needs.
# Packages already present are not fetched again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  media-types
  gcc-multilib g++-multilib
  python3 python3-aiosmtpd
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql qtkeychain-qt6-dev
  postgresql
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
  libgnutls30
  xvfb time curl qemu-user stress-ng
  dpkg-dev lintian
  libssl-dev openssl
  postfix sasl2-bin libsasl2-modules
  clang libclang-rt-14-dev
  inn2
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
# 32-bit Wine runs the i686 DLL: its packages come from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
# The tests run Postfix as private instances of their own: the package needs
# no system configuration.
echo "postfix postfix/main_mailer_type select No configuration" | $sudo debconf-set-selections
# INN (the tests run private nnrpd instances) adds a "usenet" mail alias and
# then runs newaliases, which fails with the unconfigured Postfix above: an
# alias already there is left alone.
if [ -f /etc/aliases ] && ! grep -q '^usenet:' /etc/aliases; then
  echo "usenet: root" | $sudo tee -a /etc/aliases >/dev/null
fi
if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  # INN's setup refuses a host name without a domain (its Message-IDs need
  # one); the system's INN is not used, so any domain does.
  if [ -f /etc/news/inn.conf ] && ! grep -q '^domain:' /etc/news/inn.conf; then
    echo "domain: localdomain" | $sudo tee -a /etc/news/inn.conf >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo dpkg --configure -a
  else
    exit 1
  fi
fi
