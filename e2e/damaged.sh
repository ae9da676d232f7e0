#!/usr/bin/env bash
# Command-line removals under Wine on a damaged workstation, the kind only the command line can clean:
# a Brontal printer whose data file and .UIM are gone, one whose driver is no longer installed, and
# keys inside the trees a removal deletes that are named like registry roots or dots. Another maker's
# printers (their data files read and showing no Brontal sign) are left alone with 1797. The run logs
# are read with jq: the evidence each decision rests on, and what happens to the driver's companion.
# Usage: e2e/damaged.sh [build dir holding Trellin.exe, *_res.dll and tavq.dll]   (default build/win32)
# Env:   E2E_KEEP=1 keeps the prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
#
# Not here, Wine cannot show it: a retry after a run that ended 1802 (Wine's registry refuses no
# deletion, so no run here ends 1802), and a removed connection (Wine has no printer connections);
# the simulated machine tests both (tests/product/test_removal.cpp).
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
APP='"C:\Program Files\Trellin\Trellin.exe"'
PRINT='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print'
# Names that are refused as trees of their own, but are only names inside a tree a removal deletes.
ODD_NAMES=(HKLM HKEY_LOCAL_MACHINE ... ' . ')

e2e_require_build Trellin.exe tavq.dll us_res.dll

E2E_SUMMARY=1
e2e_begin
e2e_start_xvfb
e2e_prepare_template
runexit=$(e2e_build_tool runexit) || e2e_die "cannot build runexit"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"
e2e_require_jq

reg_has() { e2e_run 30 reg query "$1" >/dev/null 2>&1; }
lacks_key() { ! reg_has "$1"; }
# run_trellin <log file name> <names>: a command-line run with /log; its exit code in RUN_RC, the log's
# Unix path in RUN_LOG.
run_trellin() {
  local out=$E2E_TMP/run.$RANDOM.out
  RUN_LOG=$(e2e_c_drive)/$1
  RUNEXIT_CMD="$APP /log:C:\\$1 $2" e2e_start 180 "$out" "$runexit" 150
  if e2e_wait_exit "$E2E_PID" 160; then
    RUN_RC=$(sed -n 's/^exit \([0-9]*\).*/\1/p' "$out" | tr -d '\r' | head -n1)
  else
    RUN_RC=none
    kill "$E2E_PID" 2>/dev/null
  fi
}
# holds <jq arguments...>: whether the jq filter holds (jq -e), quietly.
holds() { jq -e "$@" >/dev/null; }
# evidence <log> <printer>: the evidence field of the printer's event.
evidence() { jq -r --arg n "$2" 'select(.event == "printer" and .name == $n) | .evidence' "$1"; }

e2e_new_workstation "$build_dir" "$drvlib"
# The driver registry key of this prefix's environment (the driver folder names it).
case "$(basename "$(dirname "$DRVDIR")")" in
  w32x86) DRIVERS="$PRINT\\Environments\\Windows NT x86\\Drivers\\Version-3" ;;
  *) DRIVERS="$PRINT\\Environments\\Windows x64\\Drivers\\Version-3" ;;
esac

# Brontal 4500 PS keeps its per-user data where its data location names it, and has per-user settings;
# both trees hold keys with the odd names, and a value to show they went. (HKEY_CURRENT_USER only: with
# 32-bit Wine installed, regedit and reg are 32-bit programs, which see another view of
# HKEY_LOCAL_MACHINE\SOFTWARE than a 64-bit Trellin.exe.)
TREES=('HKEY_CURRENT_USER\SOFTWARE\Brontal\Data\Office 4500' 'HKEY_CURRENT_USER\Printers\Settings\Brontal 4500 PS')
reg=$E2E_TMP/damage.reg
{
  echo 'REGEDIT4'
  echo
  echo "[$PRINT\\Printers\\Brontal 4500 PS\\PrinterDriverData]"
  echo '"_NXStorage\\_NXDataLocation"="SOFTWARE\\Brontal\\Data\\Office 4500"'
  for tree in "${TREES[@]}"; do
    for name in "${ODD_NAMES[@]}"; do
      echo
      echo "[$tree\\$name\\$name]"
      echo '"Kept"="no"'
    done
  done
  # Bait: what the odd names would stand for as trees of their own.
  echo
  echo '[HKEY_CURRENT_USER\SOFTWARE\Brontal\Data\Other]'
  echo '"Kept"="yes"'
} >"$reg"
e2e_run 60 regedit /S "Z:${reg//\//\\}" >/dev/null || e2e_die "cannot write the damage"
# The damage: the data file and the .UIM of Brontal 4500 PS are gone; the driver of both Brontal 7200
# printers is no longer installed (its files stay, as after an uninstallation that failed half way).
rm -f "$DRVDIR/BR4500.PPD" "$DRVDIR/BR4500.UIM"
e2e_run 30 reg delete "$DRIVERS\\Brontal 7200 PCL" /f >/dev/null || e2e_die "cannot delete the driver key"
for name in "${ODD_NAMES[@]}"; do
  if reg_has "HKEY_CURRENT_USER\\Printers\\Settings\\Brontal 4500 PS\\$name"; then
    e2e_pass "seeded: a key named '$name' inside the printer's settings"
  else
    e2e_fail "seeded: a key named '$name' inside the printer's settings"
  fi
done
listed=$(e2e_printers)
e2e_check "seeded: the damaged printers are still listed" \
  [ "$(grep -cx 'Brontal 4500 PS\|Brontal 7200 Color' <<<"$listed")" = 2 ]

echo "== another maker's printers: their data files were read and show no Brontal sign"
run_trellin other.log 'Plain PS Printer,Office Laser'
e2e_check "the run ends with 1797 (got $RUN_RC)" [ "$RUN_RC" = 1797 ]
e2e_check "Plain PS Printer stays" e2e_has_printer 'Plain PS Printer'
e2e_check "Office Laser stays (the marker counts only in a .PPD)" e2e_has_printer 'Office Laser'
e2e_check "the log rests both refusals on their data files" \
  [ "$(evidence "$RUN_LOG" 'Plain PS Printer')/$(evidence "$RUN_LOG" 'Office Laser')" = no_brontal_sign/no_brontal_sign ]

echo "== Brontal 4500 PS without its data file and its .UIM"
run_trellin missing.log 'Brontal 4500 PS'
e2e_check "the run ends with 0 (got $RUN_RC)" [ "$RUN_RC" = 0 ]
e2e_check "Brontal 4500 PS is gone" e2e_lacks_printer 'Brontal 4500 PS'
e2e_check "its driver's key is gone" lacks_key "$DRIVERS\\Brontal 4500 PS"
e2e_check "the log says its data file could not be read" [ "$(evidence "$RUN_LOG" 'Brontal 4500 PS')" = data_file_unreadable ]
for tree in "${TREES[@]}"; do
  e2e_check "$tree went, with the keys named like roots and dots inside it" lacks_key "$tree"
done
e2e_check "the vendor's other data stays" reg_has 'HKEY_CURRENT_USER\SOFTWARE\Brontal\Data\Other'
e2e_check "no change was refused" \
  holds -s '[.[] | select(.event == "change" and .outcome == "refused")] | length == 0' "$RUN_LOG"
# The companion: the hand-off replaced the driver's copy with the program's own and keeps it.
# The driver's copy lies in the data file's folder, the version folder 3.
companion=$(jq -c -s '[.[] | select(.event == "decisions") | .files[] | select(.file | test("\\\\3\\\\TAVQ\\.DLL$"; "i"))][0]' "$RUN_LOG")
echo "  decisions for the companion: $companion"
e2e_check "the decisions keep the driver's companion, replaced by the program's own" \
  holds '.delete == false and (.replaced_by | test("Trellin\\\\tavq.dll$"; "i"))' <<<"$companion"
e2e_check "and the companion is there, the program's own copy" cmp -s "$DRVDIR/TAVQ.DLL" "$build_dir/tavq.dll"
e2e_check "each file the decisions delete is deleted (or left for the restart), and none they keep" holds -s '
  [.[] | select(.event == "change" and (.kind == "delete_file" or .kind == "delete_at_restart")) | .file
   | ascii_upcase] as $gone
  | [.[] | select(.event == "decisions") | .files[]]
  | length > 0 and all(.[]; .delete == ((.file | ascii_upcase) as $p | $gone | any(. == $p)))' "$RUN_LOG"

echo "== Brontal 7200 Color, its driver no longer installed"
run_trellin nodriver.log 'Brontal 7200 Color'
e2e_check "the run ends with 0 (got $RUN_RC)" [ "$RUN_RC" = 0 ]
e2e_check "Brontal 7200 Color is gone" e2e_lacks_printer 'Brontal 7200 Color'
e2e_check "the log says the spooler describes no driver for it" [ "$(evidence "$RUN_LOG" 'Brontal 7200 Color')" = no_driver ]
e2e_check "the other printer of that driver stays" e2e_has_printer 'Brontal 7200 Color (Office 2)'
e2e_check "Plain PS Printer still stays" e2e_has_printer 'Plain PS Printer'

e2e_summary
