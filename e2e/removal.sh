#!/usr/bin/env bash
# Removes printers with the real Trellin.exe under Wine on the seeded workstation, the real tavq.dll as
# the driver's companion and a stand-in monitoring application running, and checks the machine from
# outside: the spooler, the registry, the files, pending deletions and the exit codes; the interactive
# path by real input with screenshots of the warning, the reset notice and the restart dialog; and the
# restart answered OK in a throwaway prefix.
# Usage: e2e/removal.sh [build dir holding Trellin.exe, *_res.dll and tavq.dll]   (default build/win32)
#        The build's format picks the prefix: build/win32 (PE32, the shipped program) in a 32-bit prefix,
#        build/win64 (PE32+) in a 64-bit one.
# Env:   E2E_KEEP=1 keeps the prefixes; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
CAPTION='Brontal Driver Uninstall Tool'
SHOTS=$E2E_OUT/shots
PRINT='HKLM\SYSTEM\CurrentControlSet\Control\Print'
SESSION='HKLM\System\CurrentControlSet\Control\Session Manager'
# Win32 exit codes of a command-line run.
ERROR_SUCCESS=0 ERROR_BUSY=170 ERROR_INVALID_PRINTER_NAME=1801 ERROR_SUCCESS_REBOOT_REQUIRED=3010

e2e_require_build Trellin.exe tavq.dll us_res.dll
DRIVERS=$E2E_DRIVERS_KEY

E2E_SUMMARY=1
e2e_begin
mkdir -p "$SHOTS"
rm -f "$SHOTS"/removal-"$E2E_ARCH"-*.png
e2e_start_xvfb
e2e_prepare_template
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"
user=$(id -un)

# new_workstation: a fresh prefix with Trellin installed and seed.sh's workstation, where the Brontal
# drivers carry their own library (DeletePrinter) and the real tavq.dll, and the printers have per-user
# settings.
new_workstation() {
  e2e_new_workstation "$build_dir" "$drvlib"
  mkdir -p "$(e2e_c_drive)/users/$user/Desktop"
  local reg=$E2E_TMP/traces.reg p
  {
    echo 'REGEDIT4'
    for p in 'Brontal 4500 PS' 'Brontal 7200 Color' 'Brontal 7200 Color (Office 2)' 'Plain PS Printer'; do
      echo
      echo "[HKEY_CURRENT_USER\\Printers\\Settings\\$p]"
      echo '"Paper"="A4"'
    done
    # The vendor's per-printer data, named by the printer's data location, under both roots.
    echo
    echo "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Brontal 4500 PS\\PrinterDriverData]"
    echo '"_NXStorage\\_NXDataLocation"="SOFTWARE\\Brontal\\Data\\Office 4500"'
    for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
      echo
      echo "[$root\\SOFTWARE\\Brontal\\Data\\Office 4500\\Trays]"
      echo '"Count"=dword:00000002'
      echo
      echo "[$root\\SOFTWARE\\Brontal\\Data\\Office 7200]"
      echo '"Kept"="yes"'
    done
  } >"$reg"
  e2e_run 60 regedit /S "Z:${reg//\//\\}" >/dev/null || e2e_die "cannot write the per-user traces"
}

reg_has() {  # reg_has <key> [value]
  if [ $# -gt 1 ]; then e2e_run 30 reg query "$1" /v "$2" >/dev/null 2>&1; else e2e_run 30 reg query "$1" >/dev/null 2>&1; fi
}
lacks_key() { ! reg_has "$@"; }
is_pending() { pending | grep -qi "$1"; }
not_pending() { ! is_pending "$1"; }
pending() { e2e_run 30 reg query "$SESSION" /v PendingFileRenameOperations 2>/dev/null; }

# wait_list <count of lines in list 1002>: polls the main dialog until its printer list has them.
wait_list() {
  local end=$(( $(e2e_now_ms) + 20000 ))
  while :; do
    DUMP=$(e2e_run 20 "$inspect" "$CAPTION")
    [ "$(sed -n 's/^list 1002 count //p' <<<"$DUMP")" = "$1" ] && return 0
    [ "$(e2e_now_ms)" -ge "$end" ] && return 1
    sleep 0.25
  done
}

new_workstation
echo "== the workstation before"
e2e_printers | sed 's/^/  printer: /'

# ---- 1. a name that matches no printer -------------------------------------------------
echo "== a name that matches no printer"
before=$(e2e_run 30 "$spoolcheck")
e2e_run_trellin 'No Such Printer'
e2e_check "Trellin.exe No Such Printer ends with ERROR_INVALID_PRINTER_NAME (got $RUN_RC)" [ "$RUN_RC" = "$ERROR_INVALID_PRINTER_NAME" ]
e2e_check "nothing changed in the spooler" [ "$(e2e_run 30 "$spoolcheck")" = "$before" ]

# ---- 2. the monitoring application cannot be ended: its notice, and nothing removed -----
echo "== the monitoring application runs without its process id"
if e2e_start_standin --no-pid; then
  log=$E2E_TMP/refused.log
  e2e_start_trellin 'Brontal 4500 PS' "$log"
  if wid=$(e2e_wait_window 'Norix Tallyvue' 40); then
    sleep 0.5
    e2e_screenshot "$wid" "$SHOTS/removal-$E2E_ARCH-companion-notice.png" || true
    e2e_pass "the companion's notice \"Norix Tallyvue\" appears during the removal"
    e2e_key "$wid" Return
  else
    e2e_fail "no notice \"Norix Tallyvue\"; windows: $(e2e_list_windows | tr '\n' '|')"
  fi
  e2e_wait_exit "$RUN_PID" 60 || kill "$RUN_PID" 2>/dev/null
  rc=$(e2e_exit_code "$log")
  e2e_check "the run ends with ERROR_BUSY (got $rc)" [ "$rc" = "$ERROR_BUSY" ]
  e2e_check "the printer is still there" e2e_has_printer 'Brontal 4500 PS'
  e2e_check "its data file is still there" [ -f "$DRVDIR/BR4500.PPD" ]
  e2e_check "its registry data is still there" reg_has "$PRINT\\Printers\\Brontal 4500 PS"
  e2e_check "its per-user settings are still there" reg_has 'HKCU\Printers\Settings\Brontal 4500 PS'
  kill "$STANDIN_PID" 2>/dev/null
  e2e_wait_exit "$STANDIN_PID" 10 || true
else
  e2e_fail "the stand-in application did not start"
fi

# ---- 3. a driver of its own: everything goes; a file in use waits for the restart --------
echo "== Trellin.exe Brontal 4500 PS"
if e2e_start_standin && e2e_hold BR4500.INI; then
  e2e_run_trellin 'Brontal 4500 PS'
  e2e_check "the run ends with ERROR_SUCCESS_REBOOT_REQUIRED (got $RUN_RC)" [ "$RUN_RC" = "$ERROR_SUCCESS_REBOOT_REQUIRED" ]
  e2e_check "the printer is gone from the spooler" e2e_lacks_printer 'Brontal 4500 PS'
  e2e_check "its driver's key is gone" lacks_key "$DRIVERS\Brontal 4500 PS"
  e2e_check "its printer key is gone" lacks_key "$PRINT\Printers\Brontal 4500 PS"
  e2e_check "its per-user settings are gone" lacks_key "HKCU\Printers\Settings\Brontal 4500 PS"
  e2e_check "the vendor's data it names is gone from the machine" lacks_key 'HKLM\SOFTWARE\Brontal\Data\Office 4500'
  e2e_check "the vendor's data it names is gone from the user" lacks_key 'HKCU\SOFTWARE\Brontal\Data\Office 4500'
  e2e_check "another printer's vendor data stays" reg_has 'HKLM\SOFTWARE\Brontal\Data\Office 7200' Kept
  for f in BR4500.PPD BRUI.DLL BRHELP.HLP; do
    e2e_check "its file $f is gone" [ ! -e "$DRVDIR/$f" ]
  done
  e2e_check "PSCRIPT5.DLL, which Plain PS lists too, stays" [ -f "$DRVDIR/PSCRIPT5.DLL" ]
  e2e_check "BR4500.INI, held open, is still there" [ -f "$DRVDIR/BR4500.INI" ]
  e2e_check "BR4500.INI is left for deletion at the restart" is_pending 'BR4500.INI'
  e2e_check "the driver's library deleted the printer" reg_has 'HKCU\Software\Brontal\DriverLibrary' Calls
  e2e_check "the monitoring application was ended" e2e_wait_exit "$STANDIN_PID" 10
  e2e_check "its settings key is gone" lacks_key "HKCU\Software\Norix\Tallyvue"
  e2e_check "its autostart value is gone" lacks_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' 'Norix Tallyvue'
  e2e_check "its desktop shortcut is gone" [ ! -e "$(e2e_c_drive)/users/$user/Desktop/Tallyvue.lnk" ]
  e2e_check "its program folder is gone" [ ! -d "$(e2e_c_drive)/users/$user/Temp/Tallyvue" ]
  e2e_check "the driver's tavq.dll is now the shipped one" cmp -s "$DRVDIR/TAVQ.DLL" "$build_dir/tavq.dll"
  stamp=$(TZ=${TZ:-UTC} date -d '1998-01-01 01:01:01' +%s)
  e2e_check "the driver's tavq.dll is stamped 1998-01-01 01:01:01 (got $(date -d "@$(stat -c %Y "$DRVDIR/TAVQ.DLL")" '+%F %T'))" \
    [ "$(stat -c %Y "$DRVDIR/TAVQ.DLL")" = "$stamp" ]
  e2e_check "the other printers stay" e2e_has_printer 'Plain PS Printer'
  kill "$HOLD_PID" 2>/dev/null
else
  e2e_fail "the stand-in application or the file holder did not start"
fi

# ---- 4. a shared driver: the printer and its own data go, the driver stays ---------------
echo "== Trellin.exe Brontal 7200 Color (Office 2)"
e2e_run_trellin 'Brontal 7200 Color (Office 2)'
e2e_check "the run ends with ERROR_SUCCESS (got $RUN_RC)" [ "$RUN_RC" = "$ERROR_SUCCESS" ]
e2e_check "the printer is gone" e2e_lacks_printer 'Brontal 7200 Color (Office 2)'
e2e_check "its per-user settings are gone" lacks_key "HKCU\Printers\Settings\Brontal 7200 Color (Office 2)"
e2e_check "the shared driver's key stays" reg_has "$DRIVERS\\Brontal 7200 PCL"
e2e_check "the shared driver's files stay" [ -f "$DRVDIR/BR7200.PPD" ]
e2e_check "the other printer of the driver stays" e2e_has_printer 'Brontal 7200 Color'

echo "== the workstation after the command-line removals"
e2e_printers | sed 's/^/  printer: /'

# ---- 5. interactive: select, Delete, the warning, the notice, the restart dialog ---------
echo "== interactive removal of Brontal 7200 Color"
log=$E2E_TMP/interactive.log
e2e_start_trellin '' "$log"
if wid=$(e2e_wait_window "$CAPTION" 30) && wait_list 1; then
  e2e_screenshot "$wid" "$SHOTS/removal-$E2E_ARCH-before.png" || true
  e2e_click_line "$DUMP" 1002 0
  e2e_click_control "$DUMP" 1004
  if warn=$(e2e_wait_window 'WARNING!' 15); then
    sleep 0.3
    e2e_screenshot "$warn" "$SHOTS/removal-$E2E_ARCH-warning.png" || true
    wdump=$(e2e_run 20 "$inspect" 'WARNING!')
    e2e_check "the warning names the printer" grep -qF 'Brontal 7200 Color' <<<"$wdump"
    e2e_key "$warn" Return
    notice=''
    end=$(( $(e2e_now_ms) + 10000 ))
    while [ -z "$notice" ] && [ "$(e2e_now_ms)" -lt "$end" ]; do
      notice=$(e2e_find_windows 'Reset spooler' | head -n1)
      [ -n "$(e2e_find_windows 'Reboot System')" ] && break
      sleep 0.05
    done
    if [ -n "$notice" ]; then
      e2e_screenshot "$notice" "$SHOTS/removal-$E2E_ARCH-reset-notice.png" || true
      e2e_pass "the reset notice is shown while the spooler is reset"
    else
      e2e_fail "the reset notice never appeared"
    fi
    if reboot=$(e2e_wait_window 'Reboot System' 30); then
      sleep 0.3
      e2e_screenshot "$reboot" "$SHOTS/removal-$E2E_ARCH-restart.png" || true
      e2e_check "the notice has closed when the restart is offered" [ -z "$(e2e_find_windows 'Reset spooler')" ]
      e2e_key "$reboot" Escape
      if wait_list 1 && grep -q '^control 1002 ListBox "" enabled=0 ' <<<"$DUMP"; then
        e2e_pass "after Cancel the list is filled anew: $(sed -n 's/^list 1002 line 0: //p' <<<"$DUMP")"
      else
        e2e_fail "the list after the removal: $(grep '^list 1002' <<<"$DUMP" | tr '\n' '|')"
      fi
      e2e_screenshot "$wid" "$SHOTS/removal-$E2E_ARCH-after.png" || true
    else
      e2e_fail "no restart dialog"
    fi
  else
    e2e_fail "Delete showed no warning"
  fi
  e2e_click_control "$DUMP" 1024
  e2e_wait_exit "$RUN_PID" 20 || { e2e_fail "Exit did not end the program"; kill "$RUN_PID" 2>/dev/null; }
  e2e_check "the interactive run ends with 0 (got $(e2e_exit_code "$log"))" [ "$(e2e_exit_code "$log")" = 0 ]
  e2e_check "Brontal 7200 Color is gone" e2e_lacks_printer 'Brontal 7200 Color'
  e2e_check "its driver's key is gone now" lacks_key "$DRIVERS\Brontal 7200 PCL"
  e2e_check "its data file is gone now" [ ! -e "$DRVDIR/BR7200.PPD" ]
else
  e2e_fail "the main dialog did not show the printer list"
  kill "$RUN_PID" 2>/dev/null
fi

# ---- 6. the restart answered OK, in a throwaway prefix ----------------------------------
echo "== the restart answered OK"
new_workstation
if e2e_hold BR4500.INI; then
  log=$E2E_TMP/restart.log
  e2e_start_trellin '' "$log"
  if wid=$(e2e_wait_window "$CAPTION" 30) && wait_list 3; then
    e2e_click_line "$DUMP" 1002 0
    e2e_click_control "$DUMP" 1004
    warn=$(e2e_wait_window 'WARNING!' 15) && e2e_key "$warn" Return
    if reboot=$(e2e_wait_window 'Reboot System' 40); then
      e2e_key "$reboot" Return
      e2e_check "OK restarts the machine: every program of the prefix ends" e2e_wait_exit "$RUN_PID" 30
      e2e_check "the program holding BR4500.INI ended with it" e2e_wait_exit "$HOLD_PID" 30
      WINEPREFIX=$WINEPREFIX timeout 30 wineserver -w 2>/dev/null || true
      # The next start of the prefix is the restart: the session manager runs the pending deletions.
      pending >/dev/null
      e2e_check "after the restart BR4500.INI is gone" [ ! -e "$DRVDIR/BR4500.INI" ]
      e2e_check "and nothing is pending any more" not_pending BR4500
    else
      e2e_fail "no restart dialog"
    fi
  else
    e2e_fail "the main dialog did not show the printer list"
  fi
  kill "$RUN_PID" "$HOLD_PID" 2>/dev/null
else
  e2e_fail "the file holder did not start"
fi
# The prefix came back from its restart with a server of its own: end it with the run.
WINEPREFIX=$WINEPREFIX timeout 20 wineserver -k 2>/dev/null || true

echo "screenshots: $SHOTS/removal-$E2E_ARCH-*.png"
e2e_summary
