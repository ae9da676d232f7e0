#!/usr/bin/env bash
# The main job: builds the 64-bit Trellin.exe and runs it under Wine on a seeded workstation: the
# dialog browsed, then printers removed from the command line and in the dialog (e2e/removal.sh).
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
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null || exit 1
cmake --build build/win64 || exit 1
if [ -n "$language" ]; then
  exec env E2E_LANGUAGES="$language" bash e2e/languages.sh build/win64
fi
# The workstation shown and browsed, then real removals: before and after, exit codes, screenshots.
bash e2e/run.sh build/win64
rc=$?
bash e2e/removal.sh build/win64 || rc=1
exit "$rc"
