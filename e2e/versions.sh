#!/usr/bin/env bash
# The shipped 32-bit Trellin.exe under Wine as each Windows version it is made for, in a 32-bit prefix,
# the version set for the program alone (HKCU\Software\Wine\AppDefaults\Trellin.exe "Version"; tavq.dll,
# loaded into it, sees the same), with the real tavq.dll as the drivers' companion and the stand-in
# monitoring application running. Each version gets a fresh copy of the workstation.
# - Windows NT 4.0, 2000 and XP (version 5.1, which has a command-line wait of its own): the command-line
#   removal of Brontal 4500 PS with BR4500.INI held open ends with 3010; the log names the family; the
#   printer, its driver's key and files are gone, BR4500.INI waits for the restart, both spooler cycles
#   ended with the spooler running; the companion hand-off: the driver's tavq.dll was called, the
#   application ended and its traces removed, the driver's copy replaced by the shipped one and stamped.
# - Windows 98, the 9x branch, on the drivers of the environment "Windows 4.0" (seed.sh ... 9x): the
#   command-line removal of Brontal 4500 PS ends with 0 without stopping or starting the spooler; the
#   printer, its key, the driver's key, its LanMan key and its files are gone, PSCRIPT5.DLL (Plain PS's
#   too) stays; the companion was called and ended the application, and its copy went with the driver's
#   files, neither replaced nor stamped; the spooler's DeletePrinter was asked after the registry step.
#   Then the interactive removal of Brontal 7200 Color (Office 2) ends with the Windows 9x restart notice
#   (the language library's string 8, OK only; screenshot shots/versions-win98-restart.png), after which
#   the list is filled anew without the printer.
# What Wine cannot show, and the tests of the simulated machine that do:
# - Wine's spooler keeps a printer nowhere but in its registry key: once the 9x registry step has
#   deleted that key, the spooler's DeletePrinter that follows finds no printer (the log records the call
#   and Wine's answer). tests/product/test_removal.cpp
#   Removal.Windows9xDeletesThroughTheSpoolerAndOnlyNotifiesOfTheRestart shows the spooler deleting it.
# - Wine grants any process access mask and exports every function whatever version it reports, so a
#   program that needs a newer Windows runs here all the same: the access mask that NT 4, 2000 and XP
#   accept and the functions they lack are tests/tavq's and the binary checks' (scripts/test.sh).
# - Windows 95, Me and Server 2003 take the branches of 98 and XP/2000 (the top bit of GetVersion; major
#   version 5 without the 5.1 marker): tests/product/test_enumerate.cpp Enumerate.FamilyAndVersionMarkByVersion.
# - The 9x restart notice in every language: e2e/languages.sh measures it in the restart dialog.
# Usage: e2e/versions.sh [build dir holding the 32-bit Trellin.exe, *_res.dll and tavq.dll]   (default build/win32)
# Env:   E2E_KEEP=1 keeps the last prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
CAPTION='Brontal Driver Uninstall Tool'
SHOTS=$E2E_OUT/shots
PRINT='HKLM\SYSTEM\CurrentControlSet\Control\Print'
SESSION='HKLM\System\CurrentControlSet\Control\Session Manager'
DRIVERS_9X="$PRINT\\Environments\\Windows 4.0\\Drivers"
LANMAN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Network\LanMan'
# The NT versions: Wine's name, the family the program's log names, what it is.
NT_VERSIONS=(
  "nt40 nt Windows NT 4.0"
  "win2k nt5 Windows 2000"
  "winxp nt5 Windows XP"
)

e2e_require_build Trellin.exe tavq.dll us_res.dll
if [ "$E2E_ARCH" != win32 ]; then
  echo "FAIL: $build_dir holds a 64-bit program; the Windows versions here are those of the 32-bit one"
  echo "0 passed, 1 failed"
  exit 1
fi
e2e_require_jq

E2E_SUMMARY=1
e2e_begin
mkdir -p "$SHOTS"
rm -f "$SHOTS"/versions-*.png
e2e_start_xvfb
e2e_prepare_template
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
strtable=$(e2e_build_tool strtable -lshell32) || e2e_die "cannot build strtable"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"
user=$(id -un)

reg_has() {  # reg_has <key> [value]
  if [ $# -gt 1 ]; then e2e_run 30 reg query "$1" /v "$2" >/dev/null 2>&1; else e2e_run 30 reg query "$1" >/dev/null 2>&1; fi
}
lacks_key() { ! reg_has "$@"; }
none_exists() { local f; for f; do [ -e "$f" ] && return 1; done; return 0; }
is_pending() { e2e_run 30 reg query "$SESSION" /v PendingFileRenameOperations 2>/dev/null | grep -qi "$1"; }
# log_has <jq filter>: the run's log (LOG), read as one array, satisfies the filter.
log_has() { jq -e -s "$1" "$LOG" >/dev/null 2>&1; }
# standin_gone: the stand-in has ended, and its settings, autostart value, shortcut and folder are gone.
standin_gone() {
  e2e_wait_exit "$STANDIN_PID" 10 &&
    lacks_key 'HKCU\Software\Norix\Tallyvue' &&
    lacks_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' 'Norix Tallyvue' &&
    [ ! -e "$(e2e_c_drive)/users/$user/Desktop/Tallyvue.lnk" ] &&
    [ ! -d "$(e2e_c_drive)/users/$user/Temp/Tallyvue" ]
}

# ---- Windows NT 4.0, 2000, XP: the command-line removal and the companion hand-off -------------------
stamp=$(TZ=${TZ:-UTC} date -d '1998-01-01 01:01:01' +%s)
for entry in "${NT_VERSIONS[@]}"; do
  read -r version family label <<<"$entry"
  echo "== $label ($version): Trellin.exe /log:C:\\trellin.log Brontal 4500 PS"
  e2e_new_workstation "$build_dir" "$drvlib"
  mkdir -p "$(e2e_c_drive)/users/$user/Desktop"
  e2e_set_version Trellin.exe "$version" || e2e_fail "$label: cannot set the version"
  LOG=$(e2e_c_drive)/trellin.log
  if ! e2e_start_standin || ! e2e_hold BR4500.INI; then
    e2e_fail "$label: the stand-in application or the file holder did not start"
    continue
  fi
  e2e_run_trellin '/log:C:\trellin.log Brontal 4500 PS'
  e2e_check "$label: the program runs as the $family family (log: $(jq -c -s -r '[.[] | select(.event == "run")][0].os' "$LOG" 2>/dev/null))" \
    log_has "[.[] | select(.event == \"run\")][0].os == \"$family\""
  e2e_check "$label: the run ends with 3010 (got $RUN_RC)" [ "$RUN_RC" = 3010 ]
  e2e_check "$label: the printer is gone from the spooler" e2e_lacks_printer 'Brontal 4500 PS'
  e2e_check "$label: its driver's key is gone" lacks_key "$E2E_DRIVERS_KEY\\Brontal 4500 PS"
  e2e_check "$label: its printer key is gone" lacks_key "$PRINT\\Printers\\Brontal 4500 PS"
  e2e_check "$label: its data file and configuration module are gone" none_exists "$DRVDIR/BR4500.PPD" "$DRVDIR/BRUI.DLL"
  e2e_check "$label: BR4500.INI, held open, is left for the restart" is_pending 'BR4500.INI'
  e2e_check "$label: both spooler cycles ended with the spooler running" \
    log_has '[.[] | select(.event == "spooler")] | length == 2 and all(.outcome == "running")'
  e2e_check "$label: the driver's tavq.dll was called and returned 1" \
    log_has '[.[] | select(.event == "companion")] | length == 1 and .[0].outcome == "done" and .[0].result == 1 and (.[0].library | test("\\\\w32x86\\\\3\\\\TAVQ.DLL$"; "i"))'
  e2e_check "$label: the monitoring application was ended and its traces removed" standin_gone
  e2e_check "$label: the driver's tavq.dll is now the shipped one" cmp -s "$DRVDIR/TAVQ.DLL" "$build_dir/tavq.dll"
  e2e_check "$label: and stamped 1998-01-01 01:01:01" [ "$(stat -c %Y "$DRVDIR/TAVQ.DLL" 2>/dev/null)" = "$stamp" ]
  e2e_check "$label: the other printers stay" e2e_has_printer 'Plain PS Printer'
  kill "$HOLD_PID" 2>/dev/null
done

# ---- Windows 98: the 9x branch ---------------------------------------------------------------------
echo "== Windows 98 (win98): Trellin.exe /log:C:\\trellin.log Brontal 4500 PS"
e2e_new_prefix
e2e_start_wineserver
app_dir="$(e2e_c_drive)/Program Files/Trellin"
mkdir -p "$app_dir" "$(e2e_c_drive)/users/$user/Desktop"
cp "$build_dir/Trellin.exe" "$build_dir/tavq.dll" "$build_dir"/*_res.dll "$app_dir/"
bash "$E2E_DIR/seed.sh" "$WINEPREFIX" 9x || e2e_die "seeding the Windows 98 workstation failed"
DIR9X=$(e2e_c_drive)/windows/system32/spool/drivers/win40
cp "$build_dir/tavq.dll" "$DIR9X/TAVQ.DLL"
printf 'older build' >>"$DIR9X/TAVQ.DLL"
traces=$E2E_TMP/lanman.reg
{
  echo 'REGEDIT4'
  # The network print provider's record of each driver, which Windows 9x keeps under its name.
  for d in 'Brontal 4500 PS' 'Brontal 7200 PCL' 'Plain PS'; do
    printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan\\%s]\n"Driver"="%s"\n' "$d" "$d"
  done
} >"$traces"
e2e_run 60 regedit /S "Z:${traces//\//\\}" >/dev/null || e2e_fail "cannot write the LanMan keys"
e2e_set_version Trellin.exe win98 || e2e_fail "Windows 98: cannot set the version"
LOG=$(e2e_c_drive)/trellin.log
if e2e_start_standin; then
  e2e_run_trellin '/log:C:\trellin.log Brontal 4500 PS'
  e2e_check "Windows 98: the program runs as the 9x family (log: $(jq -c -s -r '[.[] | select(.event == "run")][0].os' "$LOG" 2>/dev/null))" \
    log_has '[.[] | select(.event == "run")][0].os == "9x"'
  e2e_check "Windows 98: the run ends with 0 (got $RUN_RC)" [ "$RUN_RC" = 0 ]
  e2e_check "Windows 98: no spooler stop or start, no spooler cycle" \
    log_has '[.[] | select(.event == "spooler" or .kind == "stop_service" or .kind == "start_service")] | length == 0'
  e2e_check "Windows 98: the printer is gone from the spooler" e2e_lacks_printer 'Brontal 4500 PS'
  e2e_check "Windows 98: its printer key is gone" lacks_key "$PRINT\\Printers\\Brontal 4500 PS"
  e2e_check "Windows 98: its driver's key is gone" lacks_key "$DRIVERS_9X\\Brontal 4500 PS"
  e2e_check "Windows 98: its driver's LanMan key is gone" lacks_key "$LANMAN\\Brontal 4500 PS"
  e2e_check "Windows 98: the other drivers' LanMan keys stay" reg_has "$LANMAN\\Plain PS"
  e2e_check "Windows 98: its files are gone" none_exists "$DIR9X/BR4500.PPD" "$DIR9X/BRUI.DLL" "$DIR9X/BRHELP.HLP"
  e2e_check "Windows 98: PSCRIPT5.DLL, which Plain PS lists too, stays" [ -f "$DIR9X/PSCRIPT5.DLL" ]
  e2e_check "Windows 98: the driver's tavq.dll was called and returned 1" \
    log_has '[.[] | select(.event == "companion")] | length == 1 and .[0].outcome == "done" and .[0].result == 1'
  e2e_check "Windows 98: the monitoring application was ended and its traces removed" standin_gone
  e2e_check "Windows 98: the driver's tavq.dll was neither replaced nor stamped" \
    log_has '[.[] | select(.kind == "copy_file" or .kind == "set_file_times")] | length == 0'
  e2e_check "Windows 98: the driver's tavq.dll went with its files" none_exists "$DIR9X/TAVQ.DLL"
  # The spooler's own DeletePrinter, after the registry step.
  deletion=$(jq -c -s '[.[] | select(.event == "change")] | (map(.kind == "delete_printer") | index(true)) as $d
    | (map(.kind == "delete_key" and (.path | endswith("\\Printers\\Brontal 4500 PS"))) | index(true)) as $k
    | if $d == null then "none" elif $k != null and $k < $d then "after the registry step, result \(.[$d].result)" else "before the registry step" end' "$LOG" 2>/dev/null)
  e2e_check "Windows 98: the spooler's DeletePrinter was asked for the printer ($deletion)" grep -q '^"after the registry step' <<<"$deletion"
  e2e_check "Windows 98: the other printers stay" e2e_has_printer 'Plain PS Printer'
else
  e2e_fail "Windows 98: the stand-in application did not start"
fi

echo "== Windows 98 (win98): the interactive removal of Brontal 7200 Color (Office 2)"
notice=$(e2e_run 20 "$strtable" 'C:\Program Files\Trellin\us_res.dll' 8 | sed -n 's/^string 8 //p')
log=$E2E_TMP/interactive-9x.log
e2e_start_trellin '' "$log"
if wid=$(e2e_wait_window "$CAPTION" 30); then
  # Without a spooler cycle the lists are filled before the dialog shows.
  dump=$(e2e_run 20 "$inspect" "$CAPTION")
  line=$(sed -n 's/^list 1002 line \([0-9]*\): Brontal 7200 Color (Office 2)$/\1/p' <<<"$dump")
  if [ -n "$line" ] && e2e_click_line "$dump" 1002 "$line" && e2e_click_control "$dump" 1004 &&
     warn=$(e2e_wait_window 'WARNING!' 15); then
    e2e_key "$warn" Return
    if reboot=$(e2e_wait_window 'Reboot System' 30); then
      sleep 0.3
      e2e_screenshot "$reboot" "$SHOTS/versions-win98-restart.png" || true
      rdump=$(e2e_run 20 "$inspect" 'Reboot System')
      e2e_check "Windows 98: the restart dialog shows the 9x notice \"$notice\"" grep -qF "control 1019 Static \"$notice\"" <<<"$rdump"
      e2e_check "Windows 98: it has OK only: $(grep '^control [0-9]* Button' <<<"$rdump" | cut -d' ' -f2-4 | tr '\n' '|')" \
        [ "$(grep '^control [0-9]* Button' <<<"$rdump" | cut -d' ' -f2-3)" = '1 Button' ]
      e2e_key "$reboot" Return
      end=$(( $(e2e_now_ms) + 10000 ))
      until [ -z "$(e2e_find_windows 'Reboot System')" ] || [ "$(e2e_now_ms)" -ge "$end" ]; do sleep 0.1; done
      dump=$(e2e_run 20 "$inspect" "$CAPTION")
      e2e_check "Windows 98: after OK the list is filled anew without the printer: $(sed -n 's/^list 1002 line [0-9]*: //p' <<<"$dump" | tr '\n' '|')" \
        [ "$(sed -n 's/^list 1002 line [0-9]*: //p' <<<"$dump" | tr '\n' '|')" = 'Brontal 7200 Color|' ]
    else
      e2e_fail "Windows 98: no restart notice; windows: $(e2e_list_windows | tr '\n' '|')"
    fi
  else
    e2e_fail "Windows 98: Delete on Brontal 7200 Color (Office 2) showed no warning; the dialog: $(grep '^list 1002' <<<"$dump" | tr '\n' '|')"
  fi
  e2e_click_control "$dump" 1024
  e2e_wait_exit "$RUN_PID" 20 || { e2e_fail "Windows 98: Exit did not end the program"; kill "$RUN_PID" 2>/dev/null; }
  e2e_check "Windows 98: the interactive run ends with 0 (got $(e2e_exit_code "$log"))" [ "$(e2e_exit_code "$log")" = 0 ]
  e2e_check "Windows 98: Brontal 7200 Color (Office 2) is gone" e2e_lacks_printer 'Brontal 7200 Color (Office 2)'
else
  e2e_fail "Windows 98: the main dialog did not appear"
  kill "$RUN_PID" 2>/dev/null
fi

echo "screenshots: $SHOTS/versions-*.png"
e2e_summary
