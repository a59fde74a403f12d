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

# A package mirror in the middle of a sync serves one index (often i386 from the security
# suite) with the wrong size, and apt-get update exits 100. Such a sync passes: try again a
# few times, then go on with the indexes that did arrive.
update_ok=0
for attempt in 1 2 3 4; do
  if apt-get update -qq; then update_ok=1; break; fi
  [ $attempt -lt 4 ] && { echo "setup: apt-get update failed (attempt $attempt of 4); trying again in 20 s" >&2; sleep 20; }
done

apt_install() { apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
if apt_install; then exit 0; fi
# With the security index of one architecture missing, apt sees the other architecture's
# newer security versions and finds no set of the 32-bit libraries that matches them; the
# release's own versions match on both sides.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ $update_ok -eq 0 ] && [ -n "$codename" ] && apt_install -t "$codename"; then
  echo "setup: installed from the release's own package versions; run this again later for the security updates" >&2
  exit 0
fi
if [ $update_ok -eq 0 ]; then
  echo "setup: FAILED at apt-get install after apt-get update failed 4 times: the package mirror may be syncing; run the command again later" >&2
else
  echo "setup: FAILED at apt-get install (missing: ${missing[*]}); the package mirror may be syncing; run the command again later" >&2
fi
exit 1
