#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with; quiet when all are there.
# The shipped program is 32-bit: wine32 (from the i386 architecture) runs it in a 32-bit prefix.
set -euo pipefail
pkgs=(cmake ninja-build g++ make googletest libgtest-dev libgmock-dev
      mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
      wine wine64 wine32:i386 fonts-wine xvfb xdotool x11-utils imagemagick fonts-liberation fonts-ipafont-gothic
      fontconfig file util-linux coreutils jq)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
# apt may bring a few amd64 libraries up to the mirror's versions so that their i386 twins match.
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
