#!/usr/bin/env bash
# The main job: builds the shipped 32-bit Trellin.exe (build/win32) and runs it under Wine in a 32-bit
# prefix on a seeded workstation: the dialog browsed, then printers removed from the command line and in
# the dialog (e2e/removal.sh). It says first which build it runs.
# LANGUAGE=ja (en, ja, fr, it, de, es, nl, pt) shows the program in that language instead: every
# dialog checked against that language's library, screenshots and a contact sheet in build/e2e/shots/.
set -uo pipefail
cd "$(dirname "$0")/.."
# LANGUAGE may also be a gettext list such as "de_DE:de": its first entry's language counts.
language=${LANGUAGE:-en}
language=${language%%:*}
language=${language%%_*}
case "$language" in
  en | '') language= ;;
  ja | fr | it | de | es | nl | pt) ;;
  *) echo "run.sh: LANGUAGE=$LANGUAGE: the program speaks en, ja, fr, it, de, es, nl and pt" >&2; exit 2 ;;
esac
bash scripts/setup.sh || exit 1
# A machine whose kernel executes no 32-bit x86 code cannot run 32-bit Wine: it runs the suites on the
# 64-bit twin, says so, and then runs the shipped build under qemu-user (e2e/shipped32.sh).
build=build/win32
toolchain=cmake/toolchain-i686-w64-mingw32.cmake
prefix_arch=32-bit
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "run.sh: this machine executes no 32-bit code ($(/usr/lib/wine/wine --version 2>&1 | head -n1)): the 64-bit build runs instead"
  build=build/win64
  toolchain=cmake/toolchain-x86_64-w64-mingw32.cmake
  prefix_arch=64-bit
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null || exit 1
cmake --build "$build" || exit 1
echo "run.sh: $build/Trellin.exe ($(file -b "$build/Trellin.exe" | cut -d, -f1)), under Wine in a $prefix_arch prefix"
if [ -n "$language" ]; then
  exec env E2E_LANGUAGES="$language" bash e2e/languages.sh "$build"
fi
# The workstation shown and browsed, then real removals: before and after, exit codes, screenshots; then
# the fleet options: detection, /all and detection again.
bash e2e/run.sh "$build"
rc=$?
bash e2e/removal.sh "$build" || rc=1
bash e2e/fleet.sh "$build" || rc=1
echo "run.sh: ran $build/Trellin.exe ($(file -b "$build/Trellin.exe" | cut -d, -f1)) in a $prefix_arch Wine prefix"
if [ "$build" != build/win32 ]; then
  # The shipped build all the same, under qemu-user: its dialog, detection, a named removal and /all.
  cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake >/dev/null || exit 1
  cmake --build build/win32 || exit 1
  echo "run.sh: build/win32/Trellin.exe ($(file -b build/win32/Trellin.exe | cut -d, -f1)), 32-bit Wine under qemu-user"
  bash e2e/shipped32.sh build/win32 || rc=1
fi
exit "$rc"
