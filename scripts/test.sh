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

# run_script <name> <log> <summary pattern> <command...>: runs a Wine step, keeps its output in
# <log> and records the "<n> passed, <m> failed" line it ends with (a step that prints none failed).
run_script() {
  local name=$1 log=$2 pattern=$3 line
  shift 3
  "$@" 2>&1 | tee "$log"
  line=$(grep -E "$pattern" "$log" | tail -n1 | grep -oE '[0-9]+ passed, [0-9]+ failed$')
  if [ -n "$line" ]; then
    record "$name" "$(echo "$line" | sed -E 's/^([0-9]+) passed.*/\1/')" \
      "$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')"
  else
    record "$name" 0 1
  fi
}

run_script "conformance under Wine" build/conformance-wine.log \
  '^conformance-wine: [0-9]+ passed, [0-9]+ failed$' bash e2e/conformance.sh build/win64
e2e_step() {  # e2e_step <name> <script>: an end-to-end script under Wine on the 64-bit build
  run_script "$1" "build/e2e-$(basename "$2" .sh).log" '^[0-9]+ passed, [0-9]+ failed$' bash "$2" build/win64
}
e2e_step "end to end under Wine" e2e/run.sh
e2e_step "removals under Wine" e2e/removal.sh
e2e_step "hostile workstation under Wine" e2e/hostile.sh
e2e_step "languages under Wine" e2e/languages.sh
e2e_step "tavq under Wine" e2e/tavq.sh
e2e_step "deployment options under Wine" e2e/deploy.sh
e2e_step "damaged workstation under Wine" e2e/damaged.sh
e2e_step "second Delete under Wine" e2e/nested.sh

echo
echo "== summary"
printf '  %s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
