#!/usr/bin/env bash
# /backup and its restore.cmd under Wine, run by Wine's own cmd as an administrator would:
#   1. Japanese: a printer and its driver whose names hold double-byte characters ending in the byte 0x5C
#      (表, 能, ソ in code page 932) are removed with /backup and come back byte for byte (registry exports,
#      the spooler's printers, the driver's files), under a Japanese locale (ANSI code page 932).
#   2. Registry views: with 32-bit Wine installed, `wine cmd` is the 32-bit cmd; the vendor's data under
#      HKLM\Software still comes back in the view of the build that wrote the backup, never in the other.
#   3. Killed runs: real runs killed (TerminateProcess) at a dozen moments, half spread over a whole run's
#      time, half over its changes, each put back by restore.cmd; prints "killed runs restored: N of M".
# Usage: e2e/backup.sh [build dir holding Trellin.exe, *_res.dll and tavq.dll]   (default build/win32)
# Env:   E2E_KEEP=1 keeps the prefix; E2E_OUT (default build/e2e) for output; E2E_KILLS (default 12).
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
KILLS=${E2E_KILLS:-12}
APP='"C:\Program Files\Trellin\Trellin.exe"'
PRINTER='Brontal 4500 PS'
JP_PRINTER='表示プリンタ 4500'
JP_DRIVER='ブロンタル能ソ 4500'

e2e_require_build Trellin.exe tavq.dll us_res.dll jp_res.dll
e2e_require_jq

E2E_SUMMARY=1
e2e_begin
e2e_start_xvfb
e2e_prepare_template
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
killrun=$(e2e_build_tool killrun) || e2e_die "cannot build killrun"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"


# The build's registry view: a PE32+ program reads and writes HKLM\Software in the 64-bit view, which only
# the 64-bit loader's tools see once 32-bit Wine is installed.
pe_magic() {
  local at
  at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((at + 24)) -N2 "$1" | tr -d ' '
}
if [ "$(pe_magic "$build_dir/Trellin.exe")" = 020b ]; then
  BITS=64
  VIEW_WINE=/usr/lib/wine/wine64
  [ -x "$VIEW_WINE" ] || VIEW_WINE=wine
else
  BITS=32
  VIEW_WINE=wine
fi
# view <seconds> <program> [args...]: a Wine tool in the build's view.
view() {
  local secs=$1
  shift
  LC_ALL=$E2E_WINE_LOCALE timeout -k 5 "$secs" "$VIEW_WINE" "$@"
}
# import_reg <file> [in_view]: imports a registry file, in the build's view when asked.
import_reg() {
  if [ "${2:-}" = in_view ]; then
    view 60 regedit /S "Z:${1//\//\\}" >/dev/null 2>&1
  else
    e2e_run 60 regedit /S "Z:${1//\//\\}" >/dev/null 2>&1
  fi
}
# utf16_reg <file>: the registry text on stdin as regedit writes it (UTF-16LE with a byte order mark, CRLF).
utf16_reg() {
  { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$1"
}
# utf16_hex <text with \0s>: the text's UTF-16LE bytes as a registry file's hex list.
utf16_hex() {
  printf "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//'
}

# snapshot <file>: what a removal and its restore touch, as text: the spooler's printers and drivers, the
# print and per-user trees, the device lists, the vendor's data (in the build's view, and the other view
# for a 64-bit build), the pending deletions, and the driver folder's files with contents and write access.
# The driver library's own record of its calls is not the program's change.
snapshot() {
  local out=$1 key exp
  {
    e2e_run 30 "$spoolcheck"
    for key in 'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print' 'HKEY_CURRENT_USER\Printers' \
      'HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
      'HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\PrinterPorts' \
      'HKEY_LOCAL_MACHINE\SOFTWARE\Brontal\Data' 'HKEY_CURRENT_USER\SOFTWARE\Brontal\Data' \
      'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Brontal'; do
      [ $BITS = 32 ] && [[ $key == *Wow6432Node* ]] && continue
      exp=$E2E_TMP/export.reg
      rm -f "$exp"
      view 60 regedit /E "Z:${exp//\//\\}" "$key" >/dev/null 2>&1
      if [ -f "$exp" ]; then iconv -f UTF-16 -t UTF-8 "$exp" | tr -d '\r'; else echo "no key $key"; fi
    done
    view 30 reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null |
      tr -d '\r'
    (cd "$DRVDIR/.." && find . -type f -printf '%p %m\n' | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum)
  } >"$out"
}

# trellin <kill after ms, 0: never> <command-line rest> [log, changes]: runs Trellin.exe through killrun, the
# command line read from a UTF-8 file, killed after that time or once its log (a Windows path) holds that
# many changes; RUN_RC is its exit code or "killed", RUN_MS how long it ran.
trellin() {
  local cmdfile=$E2E_TMP/cmd.$RANDOM.txt log=$E2E_TMP/run.$RANDOM.log
  printf '%s %s' "$APP" "$2" >"$cmdfile"
  e2e_run 200 "$killrun" "Z:${cmdfile//\//\\}" "$1" 150 ${3:+"$3" "$4"} >"$log" 2>&1
  RUN_RC=$(sed -n 's/^exit \([0-9]*\)$/\1/p; s/^killed$/killed/p' "$log" | head -n1 | grep . || echo none)
  RUN_MS=$(sed -n 's/^elapsed \([0-9]*\)$/\1/p' "$log" | head -n1 | grep . || echo 0)
}

# Wine's cmd as a deployment agent starts it: Debian's `wine`, the 32-bit one once 32-bit Wine is
# installed, whatever the build; the 64-bit loader on a machine that executes no 32-bit code.
AGENT_WINE=wine
/usr/lib/wine/wine --version >/dev/null 2>&1 || AGENT_WINE=$E2E_WINE
# restore <folder>: runs <folder>\restore.cmd with Wine's cmd as a deployment agent starts it; RESTORE_RC is its exit code, "none" when the run had not yet written it.
restore() {
  local unix="$CDRIVE/${1#C:\\}"
  unix=${unix//\\//}
  if [ ! -f "$unix/restore.cmd" ]; then
    RESTORE_RC=none
    return
  fi
  RESTORE_RC=0
  LC_ALL=$E2E_WINE_LOCALE timeout -k 5 300 "$AGENT_WINE" cmd /c "$1\\restore.cmd" >"$E2E_TMP/restore.out" 2>&1 || RESTORE_RC=$?
}

# A workstation of seed.sh with Trellin installed; the driver folder's environment in ENVIRONMENT.
new_station() {
  e2e_new_workstation "$build_dir" "$drvlib"
  CDRIVE=$(e2e_c_drive)
  case "$DRVDIR" in
    */x64/3) ENVIRONMENT='Windows x64' ;;
    *) ENVIRONMENT='Windows NT x86' ;;
  esac
}

# ---- 1. Japanese names ---------------------------------------------------------------------------
echo "== Japanese: $JP_PRINTER on $JP_DRIVER, /backup and restore.cmd under code page 932"
E2E_WINE_LOCALE=ja_JP.UTF-8
new_station
cp "$drvlib" "$DRVDIR/JP4500.DLL"
printf '*PPD-Adobe: "4.3"\r\n*ModelName: "JP 4500"\r\n' >"$DRVDIR/JP4500.PPD"
printf '[UIM] model=4500\r\n' >"$DRVDIR/JP4500.UIM"
printf 'placeholder configuration module\r\n' >"$DRVDIR/JPUI.DLL"
printf 'placeholder help\r\n' >"$DRVDIR/JPHELP.HLP"
printf '[JP 4500]\r\n' >"$DRVDIR/JP4500.INI"
print='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print'
jp=$E2E_TMP/jp.reg
utf16_reg "$jp" <<EOF
Windows Registry Editor Version 5.00

[$print\\Environments\\$ENVIRONMENT\\Drivers\\Version-3\\$JP_DRIVER]
"Configuration File"="JPUI.DLL"
"Data File"="JP4500.PPD"
"Driver"="PSCRIPT5.DLL"
"Help File"="JPHELP.HLP"
"Dependent Files"=hex(7):$(utf16_hex 'JP4500.INI\0\0')
"Monitor"=""
"Datatype"=""
"Version"=dword:00000003

[$print\\Printers\\$JP_PRINTER]
"Name"="$JP_PRINTER"
"Printer Driver"="$JP_DRIVER"
"Port"="LPT1:"
"Print Processor"="WinPrint"
"Datatype"="RAW"
"Attributes"=dword:00000040
"Share Name"=""
"Description"="表示"
"Location"=""
"Parameters"=""
"Separator File"=""
"Priority"=dword:00000001
"Default Priority"=dword:00000000
"StartTime"=dword:00000000
"UntilTime"=dword:00000000
"Status"=dword:00000000

[$print\\Printers\\$JP_PRINTER\\PrinterDriverData]
"_NXStorage\\\\_NXDataLocation"="SOFTWARE\\\\Brontal\\\\Data\\\\$JP_PRINTER"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices]
"$JP_PRINTER"="winspool,LPT1:"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts]
"$JP_PRINTER"="winspool,LPT1:,15,45"

[HKEY_CURRENT_USER\\Printers\\Settings\\$JP_PRINTER]
"表"="表"
"Path"="C:\\\\能\\\\ソ\\\\"
"Trays"=hex(7):$(utf16_hex '上段\0表\0\0')

[HKEY_CURRENT_USER\\SOFTWARE\\Brontal\\Data\\$JP_PRINTER\\能]
"ソ"=dword:00000002

EOF
jpview=$E2E_TMP/jpview.reg
utf16_reg "$jpview" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brontal\\Data\\$JP_PRINTER\\能]
"ソ"=dword:00000002
"Raw"=hex:00,5c,95

EOF
import_reg "$jp" && import_reg "$jpview" in_view || e2e_die "cannot seed the Japanese printer"
jp_sjis=$(printf '%s' "$JP_PRINTER" | iconv -f UTF-8 -t CP932)
before=$E2E_TMP/jp-before.txt
snapshot "$before"
e2e_check "the spooler lists $JP_PRINTER (its name in code page 932: $(printf '%s' "$jp_sjis" | od -An -tx1 | tr -d '\n'))" \
  grep -qF "printer $jp_sjis attributes=" "$before"
trellin 0 "/log:C:\\jp.log /backup:C:\\JpBackup $JP_PRINTER"
e2e_check "the removal of $JP_PRINTER ends with 0 (got $RUN_RC)" [ "$RUN_RC" = 0 ]
removed=$E2E_TMP/jp-removed.txt
snapshot "$removed"
e2e_check "$JP_PRINTER is gone" bash -c '! grep -qF "printer $1 attributes=" "$2"' _ "$jp_sjis" "$removed"
e2e_check "its driver's key is gone" bash -c '! grep -qF "$1" "$2"' _ "Version-3\\$JP_DRIVER]" "$removed"
e2e_check "its vendor data is gone" bash -c '! grep -qF "$1" "$2"' _ "Data\\$JP_PRINTER\\能]" "$removed"
first=$(find "$CDRIVE/JpBackup/registry" -name '0001.reg' 2>/dev/null | head -n1)
e2e_check "the registry files are what regedit writes on NT: UTF-16 with a byte order mark" \
  bash -c '[ -n "$1" ] && [ "$(head -c2 "$1" | od -An -tx1 | tr -d " ")" = fffe ] &&
           iconv -f UTF-16 -t UTF-8 "$1" | head -n1 | grep -q "^Windows Registry Editor Version 5.00"' _ "$first"
restore 'C:\JpBackup'
e2e_check "restore.cmd ran to its end (rc $RESTORE_RC)" [ "$RESTORE_RC" = 0 ]
after=$E2E_TMP/jp-after.txt
snapshot "$after"
e2e_check "$JP_PRINTER is back in the spooler" grep -qF "printer $jp_sjis attributes=" "$after"
e2e_check "$JP_PRINTER, $JP_DRIVER and their traces came back byte for byte" diff -u "$before" "$after"
E2E_WINE_LOCALE=en_US.UTF-8

# ---- 2 and 3. The registry view, and runs killed at spread moments ---------------------------------
# seed_traces: per-user settings, the vendor's data the printer names (in the build's view), and a
# read-only data file that the run leaves for the restart.
seed_traces() {
  local traces=$E2E_TMP/traces.reg vendor=$E2E_TMP/vendor.reg root
  {
    echo 'REGEDIT4'
    printf '\n[HKEY_CURRENT_USER\\Printers\\Settings\\%s]\n"Paper"="A4"\n"Tray"=hex(7):55,70,00,00\n' "$PRINTER"
    printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s\\PrinterDriverData]\n' "$PRINTER"
    printf '"_NXStorage\\\\_NXDataLocation"="SOFTWARE\\\\Brontal\\\\Data\\\\Office 4500"\n'
    printf '\n[HKEY_CURRENT_USER\\SOFTWARE\\Brontal\\Data\\Office 4500\\Trays]\n"Count"=dword:00000002\n'
  } >"$traces"
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brontal\\Data\\Office 4500\\Trays]\n"Raw"=hex:00,ff,7f\n\n' >"$vendor"
  import_reg "$traces" && import_reg "$vendor" in_view || e2e_die "cannot write the traces"
  chmod a-w "$DRVDIR/BR4500.INI"
}

echo "== a whole run with /backup, and restore.cmd by Wine's cmd ($BITS-bit build)"
new_station
seed_traces
before=$E2E_TMP/before.txt
snapshot "$before"
arch=$(LC_ALL=$E2E_WINE_LOCALE timeout -k 5 30 "$AGENT_WINE" cmd /c 'echo %PROCESSOR_ARCHITECTURE%' | tr -d '\r\n ')
e2e_log "Wine's cmd runs as $arch"
trellin 0 "/log:C:\\whole.log /backup:C:\\Whole $PRINTER"
WHOLE_MS=$RUN_MS
e2e_check "the whole run ends with 3010: BR4500.INI is left for the restart (got $RUN_RC, $WHOLE_MS ms)" [ "$RUN_RC" = 3010 ]
# Changes attempted, made or not: a killed run's log counts the same way.
whole_changes=$(jq -s '[.[] | select(.event == "change")] | length' "$CDRIVE/whole.log")
removed=$E2E_TMP/removed.txt
snapshot "$removed"
e2e_check "the vendor's data is gone from the build's view" bash -c '! grep -qF "Office 4500\\Trays]" "$1"' _ "$removed"
restore 'C:\Whole'
e2e_check "restore.cmd ran to its end (rc $RESTORE_RC)" [ "$RESTORE_RC" = 0 ]
restored=$E2E_TMP/restored.txt
snapshot "$restored"
e2e_check "the vendor's data is back in the $BITS-bit view, though Wine's cmd is $arch" \
  grep -qF '[HKEY_LOCAL_MACHINE\SOFTWARE\Brontal\Data\Office 4500\Trays]' "$restored"
if [ $BITS = 64 ]; then
  e2e_check "nothing came back into the 32-bit view (Wow6432Node)" \
    grep -qx 'no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Brontal' "$restored"
fi
e2e_check "after the whole run and restore.cmd the workstation is as it was" diff -u "$before" "$restored"

# The moments: half of them spread evenly over the time of a whole run; the other half as the run's log
# reaches counts of changes spread evenly over its changes, since a run makes most of them in two short
# bursts between waits for the spooler.
HALF=$(( (KILLS + 1) / 2 ))
[ "$KILLS" -gt 0 ] || e2e_summary
[ "$KILLS" -gt 0 ] || exit $?

echo "== $KILLS runs killed at moments spread over the $WHOLE_MS ms of a whole run ($whole_changes changes)"
tried=0
back=0
fresh=0
for i in $(seq 1 "$KILLS"); do
  # A workstation that a restore did not bring back is made anew.
  if [ "$fresh" = 1 ]; then
    new_station
    seed_traces
    snapshot "$before"
    fresh=0
  fi
  if [ "$i" -le "$HALF" ]; then
    at=$((WHOLE_MS * i / (HALF + 1)))
    moment="at $at ms"
    trellin "$at" "/log:C:\\kill$i.log /backup:C:\\Kill$i $PRINTER"
  else
    at=$((whole_changes * (i - HALF) / (KILLS - HALF + 1)))
    [ "$at" -ge 1 ] || at=1
    trellin 0 "/log:C:\\kill$i.log /backup:C:\\Kill$i $PRINTER" "C:\\kill$i.log" "$at"
    moment="once its log held $at changes ($RUN_MS ms)"
  fi
  made=$(jq -s '[.[] | select(.event == "change")] | length' "$CDRIVE/kill$i.log" 2>/dev/null || echo 0)
  if [ "$RUN_RC" != killed ]; then
    e2e_log "run $i ended by itself ($RUN_RC) before it was killed $moment: not counted"
    restore "C:\\Kill$i"
    snapshot "$restored"
    diff -q "$before" "$restored" >/dev/null || fresh=1
    continue
  fi
  tried=$((tried + 1))
  restore "C:\\Kill$i"
  snapshot "$restored"
  if [ "$RESTORE_RC" != none ] && [ "$RESTORE_RC" != 0 ]; then
    e2e_fail "run killed $moment, after $made changes: restore.cmd ended with $RESTORE_RC"
    fresh=1
  elif diff -u "$before" "$restored" >"$E2E_TMP/kill$i.diff"; then
    back=$((back + 1))
    e2e_pass "run killed $moment, after $made of $whole_changes changes: restore.cmd ${RESTORE_RC/none/(not yet written) } put it back"
  else
    e2e_fail "run killed $moment, after $made changes: the workstation differs after restore.cmd"
    head -n 40 "$E2E_TMP/kill$i.diff"
    fresh=1
  fi
done
echo "killed runs restored: $back of $tried"
e2e_check "every killed run was put back by its restore.cmd ($back of $tried)" [ "$tried" -gt 0 -a "$back" = "$tried" ]

e2e_summary
