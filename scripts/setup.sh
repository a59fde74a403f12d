#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine (run as root).
# Idempotent: when every package is present it changes nothing and returns quickly.
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386
  xvfb xauth
  googletest
  nsis
)

missing=()
have_i386=0
dpkg --print-foreign-architectures | grep -qx i386 && have_i386=1
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ] && [ $have_i386 -eq 1 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ $have_i386 -eq 0 ]; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
