#!/usr/bin/env bash
# Builds everything (native, win32, win64) and runs every test: native tests on the simulated
# machine, the conformance tests under Wine, and the end-to-end runs of Trellin.exe under Wine (the
# shipped 32-bit build in a 32-bit prefix, as Windows NT 4.0, 2000, XP and 98 too; the 64-bit build's
# removals in a 64-bit prefix).
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
bash scripts/check-compat.sh build/win32; step_ok "compatibility gate (32-bit deliverables)" $?
bash scripts/check-layers.sh; step_ok "layers (include and link directions, engine cycles)" $?

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

# The Wine steps run the shipped 32-bit build in a 32-bit prefix; the 64-bit build keeps its conformance
# run and its removals (command line and dialog) in a 64-bit prefix. A machine whose kernel executes no
# 32-bit x86 code (a host that runs 64-bit user code only answers every i386 program with ENOEXEC, 32-bit
# Wine included) runs every Wine step on the 64-bit build instead, and the summary says what was not run.
not_run=()
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  shipped=build/win32
  wine_builds=(win32 win64)
else
  shipped=build/win64
  wine_builds=(win64)
  not_run+=("the shipped 32-bit build under Wine: this machine's kernel executes no 32-bit code ($(
    /usr/lib/wine/wine --version 2>&1 | head -n1)); every Wine step ran on the 64-bit build instead; scripts/run.sh runs the shipped build under qemu-user, e2e/shipped32.sh")
fi
shipped_arch=$(basename "$shipped")
for arch in "${wine_builds[@]}"; do
  run_script "conformance under Wine ($arch)" "build/conformance-wine-$arch.log" \
    '^conformance-wine: [0-9]+ passed, [0-9]+ failed$' bash e2e/conformance.sh "build/$arch"
done
e2e_step() {  # e2e_step <name> <script> <build dir>: an end-to-end script under Wine
  run_script "$1" "build/e2e-$(basename "$2" .sh)-$(basename "$3").log" '^[0-9]+ passed, [0-9]+ failed$' bash "$2" "$3"
}
e2e_step "end to end under Wine ($shipped_arch)" e2e/run.sh "$shipped"
e2e_step "removals under Wine ($shipped_arch)" e2e/removal.sh "$shipped"
[ "$shipped" = build/win64 ] || e2e_step "removals under Wine (win64)" e2e/removal.sh build/win64
if [ "$shipped" = build/win32 ]; then
  e2e_step "Windows NT 4.0, 2000, XP and 98 under Wine (win32)" e2e/versions.sh build/win32
else
  not_run+=("Windows NT 4.0, 2000, XP and 98 under Wine: systems of the 32-bit build only (the simulated machine's tests run them)")
fi
e2e_step "hostile workstation under Wine ($shipped_arch)" e2e/hostile.sh "$shipped"
e2e_step "languages under Wine ($shipped_arch)" e2e/languages.sh "$shipped"
e2e_step "tavq under Wine ($shipped_arch)" e2e/tavq.sh "$shipped"
e2e_step "deployment options under Wine ($shipped_arch)" e2e/deploy.sh "$shipped"
e2e_step "every printer and detection under Wine ($shipped_arch)" e2e/fleet.sh "$shipped"
e2e_step "backups under Wine ($shipped_arch)" e2e/backup.sh "$shipped"
# The 64-bit build's backup restored by the 32-bit cmd lands in its own registry view; no killed runs again.
[ "$shipped" = build/win64 ] || run_script "backups under Wine (win64)" build/e2e-backup-win64.log \
  '^[0-9]+ passed, [0-9]+ failed$' env E2E_KILLS=0 bash e2e/backup.sh build/win64
e2e_step "damaged workstation under Wine ($shipped_arch)" e2e/damaged.sh "$shipped"
e2e_step "second Delete under Wine ($shipped_arch)" e2e/nested.sh "$shipped"

echo
echo "== summary"
printf '  %s\n' "${summary[@]}"
for n in "${not_run[@]}"; do echo "  NOT RUN: $n"; done
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
