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

# Installs the packages named that are missing; returns at once when none is.
ensure() {
  local missing=() have_i386=0 p
  dpkg --print-foreign-architectures | grep -qx i386 && have_i386=1
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ] && [ $have_i386 -eq 1 ]; then
    return 0
  fi

  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi

  export DEBIAN_FRONTEND=noninteractive
  if [ $have_i386 -eq 0 ]; then
    dpkg --add-architecture i386
  fi

  # A package mirror in the middle of a sync serves an index or a package (often the i386 ones
  # of the security suite) with the wrong size, and apt-get exits 100. Such a sync passes: the
  # update and the install are tried again a few times, 20 s apart, and the install also after
  # an update that failed, with the indexes that did arrive.
  apt_install() { apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
  local codename failed="" attempt
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  for attempt in 1 2 3 4; do
    if apt-get update -qq; then
      failed="apt-get install"
      apt_install && return 0
    else
      failed="apt-get update, then apt-get install"
      apt_install && return 0
      # With the security index of one architecture missing, apt sees the other
      # architecture's newer security versions and finds no matching set of the 32-bit
      # libraries; the release's own versions match on both sides.
      if [ -n "$codename" ] && apt_install -t "$codename"; then
        echo "setup: installed from the release's own package versions; apt-get upgrade brings the security updates once the mirror has synced" >&2
        return 0
      fi
    fi
    [ $attempt -lt 4 ] && { echo "setup: $failed failed (attempt $attempt of 4); trying again in 20 s" >&2; sleep 20; }
  done
  echo "setup: FAILED at $failed (missing: ${missing[*]}) four times; the package mirror may be syncing: run the command again later" >&2
  exit 1
}

ensure "${packages[@]}"
# Where 32-bit Wine cannot start, the tests run as a 64-bit build (scripts/wine-arch.sh).
. "$(dirname "$0")/wine-arch.sh"
if ! can_run_32bit; then
  ensure wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
fi
