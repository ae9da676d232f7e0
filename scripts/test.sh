#!/usr/bin/env bash
# Builds everything (native, win32, win64) and runs every test: native tests on the simulated
# machine, the conformance tests under Wine, and the end-to-end run of Trellin.exe under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

summary=()
total_passed=0
total_failed=0
record() {  # record <name> <passed> <failed>
  summary+=("$1: $2 passed, $3 failed")
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
}
step_ok() {  # step_ok <name> <status>
  if [ "$2" -eq 0 ]; then record "$1" 1 0; else record "$1" 0 1; fi
}

build() {  # build <dir> [cmake args...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null && cmake --build "$dir"
}

build build/native -DCMAKE_BUILD_TYPE=Debug; step_ok "native build" $?
build build/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
step_ok "win32 build" $?
build build/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
step_ok "win64 build" $?

bash scripts/check-binaries.sh; step_ok "binary formats" $?

ctest_log=build/native/ctest.log
ctest --test-dir build/native --output-on-failure -j"$(nproc)" 2>&1 | tee "$ctest_log"
line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$ctest_log" | tail -n1)
if [ -n "$line" ]; then
  failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  all=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  record "native tests" $((all - failed)) "$failed"
else
  record "native tests" 0 1
fi

conf_log=build/conformance-wine.log
bash e2e/conformance.sh build/win64 2>&1 | tee "$conf_log"
line=$(grep -E '^conformance-wine: [0-9]+ passed, [0-9]+ failed$' "$conf_log" | tail -n1)
if [ -n "$line" ]; then
  record "conformance under Wine" "$(echo "$line" | sed -E 's/.*: ([0-9]+) passed.*/\1/')" \
    "$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')"
else
  record "conformance under Wine" 0 1
fi

e2e_log=build/e2e-run.log
bash e2e/run.sh build/win64 2>&1 | tee "$e2e_log"
line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$e2e_log" | tail -n1)
if [ -n "$line" ]; then
  record "end to end under Wine" "$(echo "$line" | sed -E 's/^([0-9]+) passed.*/\1/')" \
    "$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')"
else
  record "end to end under Wine" 0 1
fi

removal_log=build/e2e-removal.log
bash e2e/removal.sh build/win64 2>&1 | tee "$removal_log"
line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$removal_log" | tail -n1)
if [ -n "$line" ]; then
  record "removals under Wine" "$(echo "$line" | sed -E 's/^([0-9]+) passed.*/\1/')" \
    "$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')"
else
  record "removals under Wine" 0 1
fi

lang_log=build/e2e-languages.log
bash e2e/languages.sh build/win64 2>&1 | tee "$lang_log"
line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$lang_log" | tail -n1)
if [ -n "$line" ]; then
  record "languages under Wine" "$(echo "$line" | sed -E 's/^([0-9]+) passed.*/\1/')" \
    "$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')"
else
  record "languages under Wine" 0 1
fi

tavq_log=build/e2e-tavq.log
bash e2e/tavq.sh build/win64 2>&1 | tee "$tavq_log"
line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$tavq_log" | tail -n1)
if [ -n "$line" ]; then
  record "tavq under Wine" "$(echo "$line" | sed -E 's/^([0-9]+) passed.*/\1/')" \
    "$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')"
else
  record "tavq under Wine" 0 1
fi

echo
echo "== summary"
printf '  %s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
