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
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake >/dev/null || exit 1
cmake --build build/win32 || exit 1
echo "run.sh: build/win32/Trellin.exe, the shipped build ($(file -b build/win32/Trellin.exe | cut -d, -f1)), under Wine in a 32-bit prefix"
if [ -n "$language" ]; then
  exec env E2E_LANGUAGES="$language" bash e2e/languages.sh build/win32
fi
# The workstation shown and browsed, then real removals: before and after, exit codes, screenshots.
bash e2e/run.sh build/win32
rc=$?
bash e2e/removal.sh build/win32 || rc=1
echo "run.sh: ran build/win32/Trellin.exe ($(file -b build/win32/Trellin.exe | cut -d, -f1)) in a 32-bit Wine prefix"
exit "$rc"
