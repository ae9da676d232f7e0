#!/usr/bin/env bash
# Runs the conformance tests (built with mingw) under Wine: once in the default locale and
# once in Japanese, where the ANSI code page is 932.
# Usage: e2e/conformance.sh [build dir holding conformance.exe]   (default build/win32, in a 32-bit
#        prefix; build/win64 runs in a 64-bit one)
# Ends with "conformance-wine: N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-$E2E_ROOT/build/win32}
exe=$build_dir/conformance.exe
[ -f "$exe" ] || { echo "conformance.exe not found in $build_dir"; echo "conformance-wine: 0 passed, 1 failed"; exit 1; }
arch=$(e2e_pe_arch "$exe") || { echo "$exe is not a Windows program"; echo "conformance-wine: 0 passed, 1 failed"; exit 1; }
e2e_use_arch "$arch"

e2e_begin
e2e_start_xvfb
e2e_prepare_template
e2e_new_prefix
e2e_start_wineserver

passed=0
failed=0
for locale in en_US.UTF-8 ja_JP.UTF-8; do
  out=$(E2E_WINE_LOCALE=$locale e2e_run 300 "$exe")
  rc=$?
  echo "== conformance under Wine, $arch, $locale (exit $rc)"
  echo "$out" | grep -v '^ok  '
  line=$(echo "$out" | grep -E '^conformance: [0-9]+ passed, [0-9]+ failed$' | tail -n1)
  if [ -z "$line" ]; then
    echo "no result line: the run did not finish"
    failed=$((failed + 1))
    continue
  fi
  p=$(echo "$line" | sed -E 's/^conformance: ([0-9]+) passed.*/\1/')
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')
  passed=$((passed + p))
  failed=$((failed + f))
  [ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && failed=$((failed + 1))
done
echo "conformance-wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
