#!/usr/bin/env bash
# The deployment command line of the real Trellin.exe under Wine on the seeded workstation: /whatif
# changes nothing and names what the real run then changes (both logs read back with jq), /backup and
# its restore.cmd run by Wine's cmd bring the printer, its driver and its traces back, and /? as a
# screenshot.
# Usage: e2e/deploy.sh [build dir holding Trellin.exe, *_res.dll and tavq.dll]   (default build/win32, in a
#        32-bit prefix, where Wine's cmd and regedit see the same registry as the program)
# Env:   E2E_KEEP=1 keeps the prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
CAPTION='Brontal Driver Uninstall Tool'
SHOTS=$E2E_OUT/shots
APP='"C:\Program Files\Trellin\Trellin.exe"'
PRINTER='Brontal 4500 PS'

e2e_require_build Trellin.exe tavq.dll us_res.dll
e2e_require_jq

E2E_SUMMARY=1
e2e_begin
mkdir -p "$SHOTS"
rm -f "$SHOTS"/deploy-*.png
e2e_start_xvfb
e2e_prepare_template
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
runexit=$(e2e_build_tool runexit) || e2e_die "cannot build runexit"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"

# The seeded workstation (as e2e/removal.sh has it, without the monitoring application) with per-user
# settings of the printers.
e2e_new_workstation "$build_dir" "$drvlib"
CDRIVE=$(e2e_c_drive)
chmod a-w "$DRVDIR/BR4500.INI"  # read-only: left for the restart, then put back as it was
traces=$E2E_TMP/traces.reg
{
  echo 'REGEDIT4'
  for p in "$PRINTER" 'Plain PS Printer'; do
    printf '\n[HKEY_CURRENT_USER\\Printers\\Settings\\%s]\n"Paper"="A4"\n"Copies"=dword:00000002\n' "$p"
    printf '"Tray"=hex(7):55,70,70,65,72,00,4c,6f,77,65,72,00,00\n"Path"=hex(2):25,54,45,4d,50,25,00\n'
  done
  # The vendor's data the printer's data location names, under both roots.
  printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s\\PrinterDriverData]\n' "$PRINTER"
  printf '"_NXStorage\\\\_NXDataLocation"="SOFTWARE\\\\Brontal\\\\Data\\\\Office 4500"\n'
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
    printf '\n[%s\\SOFTWARE\\Brontal\\Data\\Office 4500\\Trays]\n"Count"=dword:00000002\n"Raw"=hex:00,ff,7f\n' "$root"
  done
} >"$traces"
e2e_run 60 regedit /S "Z:${traces//\//\\}" >/dev/null || e2e_die "cannot write the per-user traces"


# snapshot <file>: what a removal may change, as text: the spooler's printers, the print and per-user
# registry trees, the device lists, the vendor's data, the pending deletions, and the driver folder's files with contents
# and write access. The driver library's own record of its calls is not the program's change.
snapshot() {
  local out=$1 key exp
  {
    e2e_run 30 "$spoolcheck"
    # Wine's regedit /E takes only the long root names.
    for key in 'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print' 'HKEY_CURRENT_USER\Printers' \
      'HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
      'HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\PrinterPorts' \
      'HKEY_LOCAL_MACHINE\SOFTWARE\Brontal\Data' 'HKEY_CURRENT_USER\SOFTWARE\Brontal\Data'; do
      exp=$E2E_TMP/export.reg
      rm -f "$exp"
      e2e_run 60 regedit /E "Z:${exp//\//\\}" "$key" >/dev/null
      # Wine writes UTF-16 with CRs.
      iconv -f UTF-16 -t UTF-8 "$exp" | tr -d '\r' || echo "no export of $key"
    done
    e2e_run 30 reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null
    (cd "$CDRIVE/windows/system32/spool/drivers" && find . -type f -printf '%p %m\n' | sort &&
      find . -type f -print0 | sort -z | xargs -0 sha256sum)
  } >"$out"
}

# run_trellin <command-line rest>: runs Trellin.exe to its end; its whole exit code in RUN_RC.
run_trellin() {
  local log=$E2E_TMP/run.$RANDOM.log
  RUNEXIT_CMD="$APP $1" e2e_start 150 "$log" "$runexit" 120
  if e2e_wait_exit "$E2E_PID" 130; then
    RUN_RC=$(sed -n 's/^exit \([0-9]*\).*/\1/p' "$log" | tr -d '\r' | head -n1 | grep . || echo none)
  else
    RUN_RC=none
    kill "$E2E_PID" 2>/dev/null
  fi
}

has_printer() { grep -q "^printer $1 attributes=" "$2"; }
lacks() { ! "$@"; }

before=$E2E_TMP/before.txt
snapshot "$before"
cp "$DRVDIR/BR4500.PPD" "$E2E_TMP/BR4500.PPD"
e2e_check "the workstation has $PRINTER" has_printer "$PRINTER" "$before"

# ---- 1. /whatif: nothing changes, the log says what would -----------------------------------------
echo "== /whatif /log:C:\\whatif.log $PRINTER"
run_trellin "/whatif /log:C:\\whatif.log $PRINTER"
dry_rc=$RUN_RC
after_dry=$E2E_TMP/after-dry.txt
snapshot "$after_dry"
e2e_check "the dry run ends with 3010 as the real run will: BR4500.INI is read-only (got $dry_rc)" [ "$dry_rc" = 3010 ]
e2e_check "the dry run changed nothing" diff -u "$before" "$after_dry"
WHATIF=$CDRIVE/whatif.log
e2e_check "every line of the dry run's log is one JSON object" jq -e -s 'length > 0 and all(type == "object")' "$WHATIF"
e2e_check "the dry run's log is in whatif mode" jq -e -s '[.[] | select(.event == "run")][0].mode == "whatif"' "$WHATIF"
e2e_check "no change of the dry run was made" jq -e -s '[.[] | select(.event == "change") | .outcome] | all(. == "would" or . == "failed") and length > 0' "$WHATIF"
e2e_check "the companion would be called, and was not" jq -e -s '[.[] | select(.event == "companion")] | length == 1 and .[0].outcome == "would"' "$WHATIF"

# ---- 2. the real run with a log and a backup -------------------------------------------------------
echo "== /log:C:\\real.log /backup:\"C:\\Trellin Backup\" $PRINTER"
run_trellin "/log:C:\\real.log /backup:\"C:\\Trellin Backup\" $PRINTER"
e2e_check "the real run ends with 3010 (got $RUN_RC)" [ "$RUN_RC" = 3010 ]
after_real=$E2E_TMP/after-real.txt
snapshot "$after_real"
DRIVER_SECTION="[$E2E_DRIVERS_KEY\\$PRINTER]"
e2e_check "the printer is gone" lacks has_printer "$PRINTER" "$after_real"
e2e_check "its driver's key is gone" lacks grep -qF "$DRIVER_SECTION" "$after_real"
e2e_check "its data file is gone" [ ! -e "$DRVDIR/BR4500.PPD" ]
e2e_check "the vendor's data it names is gone" lacks grep -qF '[HKEY_CURRENT_USER\SOFTWARE\Brontal\Data\Office 4500\Trays]' "$after_real"
REAL=$CDRIVE/real.log
e2e_check "every line of the real run's log is one JSON object" jq -e -s 'length > 0 and all(type == "object")' "$REAL"
e2e_check "the log's run names the printer and the options" \
  jq -e -s --arg p "$PRINTER" '[.[] | select(.event == "run")][0] | .mode == "remove" and .names == [$p] and (.options | length) == 2' "$REAL"
e2e_check "the log's decisions name the driver and keep PSCRIPT5.DLL for Plain PS Printer" \
  jq -e -s '[.[] | select(.event == "decisions")][0] | .driver_shared == false and any(.files[]; (.file | test("PSCRIPT5.DLL$")) and .delete == false and .listed_by == "Plain PS Printer")' "$REAL"
e2e_check "the log names the companion's call and its result" jq -e -s '[.[] | select(.event == "companion")] | length == 1 and .[0].outcome == "done"' "$REAL"
e2e_check "the log names the spooler's cycles, each back to running" \
  jq -e -s '[.[] | select(.event == "spooler")] | length == 2 and all(.outcome == "running" and .states[-1] == "running")' "$REAL"
e2e_check "the log ends with the outcome 3010" jq -e -s '.[-1].event == "outcome" and .[-1].exit_code == 3010' "$REAL"
e2e_check "BR4500.INI is left for the restart in the log" \
  jq -e -s 'any(.[]; .event == "change" and .kind == "delete_at_restart" and (.file | test("BR4500.INI$")) and .at_restart)' "$REAL"
e2e_changes "$WHATIF" >"$E2E_TMP/whatif.txt"
e2e_changes "$REAL" >"$E2E_TMP/real.txt"
e2e_check "the dry run named exactly the changes the real run made ($(wc -l <"$E2E_TMP/real.txt") lines)" \
  diff -u "$E2E_TMP/whatif.txt" "$E2E_TMP/real.txt"

# ---- 3. restore.cmd under Wine's cmd ------------------------------------------------------------
BACKUP="$CDRIVE/Trellin Backup"
e2e_check "the backup holds restore.cmd, its list and the registry files" \
  test -f "$BACKUP/restore.cmd" -a -f "$BACKUP/restore.lst" -a -f "$BACKUP/registry/0001.reg"
e2e_check "the backup holds the driver's data file as it was" cmp -s "$BACKUP/files/C/windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3/BR4500.PPD" "$E2E_TMP/BR4500.PPD"
echo "== wine cmd /c restore.cmd"
restore_rc=0
e2e_run 120 cmd /c 'C:\Trellin Backup\restore.cmd' >"$E2E_TMP/restore.out" 2>&1 || restore_rc=$?
e2e_check "restore.cmd ran to its end (rc $restore_rc)" [ "$restore_rc" = 0 ]
restored=$E2E_TMP/restored.txt
snapshot "$restored"
e2e_check "Wine's regedit imported the backup: the driver's key is back" grep -qF "$DRIVER_SECTION" "$restored"
e2e_check "the printer is back in the spooler" has_printer "$PRINTER" "$restored"
e2e_check "the per-user settings are back" grep -qF "[HKEY_CURRENT_USER\\Printers\\Settings\\$PRINTER]" "$restored"
e2e_check "the vendor's data is back" grep -qF '[HKEY_CURRENT_USER\SOFTWARE\Brontal\Data\Office 4500\Trays]' "$restored"
e2e_check "the files are back" [ -f "$DRVDIR/BR4500.PPD" ]
e2e_check "after the restore the workstation is as it was (printers, registry, files, pending deletions)" \
  diff -u "$before" "$restored"

# ---- 4. /? -------------------------------------------------------------------------------------
echo "== /?"
log=$E2E_TMP/usage.log
RUNEXIT_CMD="$APP /?" e2e_start 60 "$log" "$runexit" 50
usage_pid=$E2E_PID
if wid=$(e2e_wait_window "$CAPTION" 30); then
  sleep 0.3
  e2e_screenshot "$wid" "$SHOTS/deploy-usage.png" || true
  e2e_check "the usage box is shown: $SHOTS/deploy-usage.png" [ -s "$SHOTS/deploy-usage.png" ]
  e2e_key "$wid" Return
  if e2e_wait_exit "$usage_pid" 20; then
    rc=$(sed -n 's/^exit \([0-9]*\).*/\1/p' "$log" | tr -d '\r' | head -n1)
    e2e_check "/? ends with 0 (got $rc)" [ "$rc" = 0 ]
  else
    e2e_fail "the usage box did not close"
    kill "$usage_pid" 2>/dev/null
  fi
else
  e2e_fail "no usage box; windows: $(e2e_list_windows | tr '\n' '|')"
  kill "$usage_pid" 2>/dev/null
fi

echo "screenshots: $SHOTS/deploy-*.png"
e2e_summary
