#!/usr/bin/env bash
# A second Delete clicked by real input (XTEST events) while the removal's warning is up, with the real
# Trellin.exe under Wine: the main dialog owns the warning and is disabled while it is up, so the click
# starts no second removal inside the first. About is checked the same way.
# Usage: e2e/nested.sh [build dir holding Trellin.exe and *_res.dll]   (default build/win32)
# Env:   E2E_KEEP=1 keeps the prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
CAPTION='Brontal Driver Uninstall Tool'
SHOTS=$E2E_OUT/shots

e2e_require_build Trellin.exe tavq.dll us_res.dll

E2E_SUMMARY=1
e2e_begin
mkdir -p "$SHOTS"
e2e_start_xvfb
e2e_prepare_template
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"

has_printer() { local listed; listed=$(e2e_run 30 "$spoolcheck"); grep -qF "printer $1 attributes=" <<<"$listed"; }
# dump: the main dialog as dlgdump reports it, in DUMP.
dump() { DUMP=$(e2e_run 20 "$inspect" "$CAPTION"); }
main_enabled() { dump; grep -q "^window \"$CAPTION\" class=.* enabled=$1 " <<<"$DUMP"; }
# count <title>: how many windows with that title are up, after a moment for one to appear.
count() { sleep 1.5; e2e_find_windows "$1" | grep -c . ; }

e2e_new_workstation "$build_dir" "$drvlib"
e2e_start 120 "$E2E_TMP/trellin.log" 'C:\Program Files\Trellin\Trellin.exe'
pid=$E2E_PID
wid=$(e2e_wait_window "$CAPTION" 30) || e2e_die "the main dialog did not appear"
end=$(( $(e2e_now_ms) + 20000 ))
until dump && grep -q '^list 1002 count 3$' <<<"$DUMP"; do
  [ "$(e2e_now_ms)" -ge "$end" ] && e2e_die "the printer list was not filled"
  sleep 0.3
done
e2e_click_line "$DUMP" 1002 0
delete_rect=$DUMP

echo "== Delete clicked a second time while the warning is up"
e2e_click_control "$delete_rect" 1004
if warn=$(e2e_wait_window 'WARNING!' 15); then
  e2e_check "the main dialog is disabled while the warning is up" main_enabled 0
  e2e_click_control "$delete_rect" 1004
  e2e_click_control "$delete_rect" 1004
  e2e_check "the second Delete opened no second warning" [ "$(count 'WARNING!')" = 1 ]
  e2e_screenshot root "$SHOTS/nested-warning.png" || true
  e2e_key "$warn" Escape
  e2e_check "Cancel closes the warning" [ "$(count 'WARNING!')" = 0 ]
  e2e_check "no removal ran: no reset notice" [ "$(count 'Reset spooler')" = 0 ]
  e2e_check "the main dialog takes input again" main_enabled 1
else
  e2e_fail "Delete showed no warning"
fi
e2e_check "the printer is still there" has_printer 'Brontal 4500 PS'

echo "== Delete clicked while About is up"
e2e_click_control "$delete_rect" 1009
if about=$(e2e_wait_window 'About' 15); then
  e2e_check "the main dialog is disabled while About is up" main_enabled 0
  e2e_click_control "$delete_rect" 1004
  e2e_check "Delete opened no warning behind About" [ "$(count 'WARNING!')" = 0 ]
  e2e_key "$about" Return
  e2e_check "About closed" [ "$(count 'About')" = 0 ]
else
  e2e_fail "About did not open"
fi

e2e_key "$wid" Escape
e2e_wait_exit "$pid" 20 || { e2e_fail "Escape did not end the program"; kill "$pid" 2>/dev/null; }
e2e_check "the printer is still there at the end" has_printer 'Brontal 4500 PS'
e2e_summary
