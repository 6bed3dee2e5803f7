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
)
# Installed on its own after the rest: its setup needs Postfix's alias file.
news_server=inn2

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
news_missing=0
dpkg-query -W -f='${Status}' "$news_server" 2>/dev/null | grep -q "install ok installed" || news_missing=1
[ ${#missing[@]} -eq 0 ] && [ $news_missing -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
[ ${#missing[@]} -gt 0 ] && echo "Installing: ${missing[*]}"
# 32-bit Wine runs the i686 DLL: its packages come from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
# The tests run Postfix as private instances of their own: the package needs
# no system configuration.
echo "postfix postfix/main_mailer_type select No configuration" | $sudo debconf-set-selections
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ $news_missing -eq 0 ] && exit 0

# The tests run private nnrpd instances; the system's news server is never
# started (policy-rc.d says no to every service start during the install).
echo "Installing: $news_server"
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  own_policy=1
fi
trap 'if [ $own_policy -eq 1 ]; then $sudo rm -f "$policy"; fi' EXIT
# Its setup adds a "usenet" mail alias and runs newaliases, which fails with
# the unconfigured Postfix: an alias already there is left alone.
if ! grep -qs '^usenet:' /etc/aliases; then
  echo "usenet: root" | $sudo tee -a /etc/aliases >/dev/null
fi
if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$news_server"; then
  # Its setup also refuses a host name without a domain (its Message-IDs
  # need one); the system's server is not used, so any domain does.
  if [ -f /etc/news/inn.conf ] && ! grep -q '^domain:' /etc/news/inn.conf; then
    echo "domain: localdomain" | $sudo tee -a /etc/news/inn.conf >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo dpkg --configure -a
  else
    exit 1
  fi
fi
