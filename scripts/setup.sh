#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with; quiet when all are there.
# The shipped program is 32-bit: wine32 (from the i386 architecture) runs it in a 32-bit prefix.
set -euo pipefail
pkgs=(cmake ninja-build g++ make googletest libgtest-dev libgmock-dev
      mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
      wine wine64 wine32:i386 fonts-wine xvfb xdotool x11-utils imagemagick fonts-liberation fonts-ipafont-gothic
      fontconfig file util-linux coreutils jq)
# install_missing <package>...: installs those not installed yet.
install_missing() {
  local p missing=() sudo_cmd=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "setup: installing ${missing[*]}"
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  # apt may bring a few amd64 libraries up to the mirror's versions so that their i386 twins match.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
install_missing "${pkgs[@]}"
# A kernel that executes no 32-bit code cannot start the 32-bit loader: the shipped build then runs under
# qemu-user (e2e/shipped32.sh registers it for its own run only).
/usr/lib/wine/wine --version >/dev/null 2>&1 || install_missing qemu-user
