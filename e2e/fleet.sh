#!/usr/bin/env bash
# The fleet options of the real Trellin.exe under Wine on the seeded workstation, with a Brontal driver no
# printer uses and the monitoring application's autostart value: /list as a deployment tool's detection
# rule (exit code and the found lines on redirected output), a name in quotation marks, /whatif /all
# predicting /all, /all with its log at a path holding %COMPUTERNAME%, and /list finding nothing after it.
# Usage: e2e/fleet.sh [build dir holding Trellin.exe, *_res.dll and tavq.dll]   (default build/win32)
# Env:   E2E_KEEP=1 keeps the prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
SPARE='Brontal 9000 Spare'

e2e_require_build Trellin.exe tavq.dll us_res.dll
e2e_require_jq

E2E_SUMMARY=1
e2e_begin
# A named removal runs in a hidden dialog; /all and /list need no window.
e2e_start_xvfb
e2e_prepare_template
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"
e2e_new_workstation "$build_dir" "$drvlib"
CDRIVE=$(e2e_c_drive)

lacks() { ! "$@"; }

# The driver of a printer deleted in the control panel: its key and files stay, no printer uses it. It
# lists PSCRIPT5.DLL, which Brontal 4500 PS and Plain PS list too, and a companion library of its own.
printf '*PPD-Adobe: "4.3"\r\n*OrvinexExchange: True\r\n*ModelName: "%s"\r\n' "$SPARE" >"$DRVDIR/BR9000.PPD"
printf 'placeholder help\r\n' >"$DRVDIR/BR9000.HLP"
printf 'placeholder configuration module\r\n' >"$DRVDIR/BR90UI.DLL"
spare_reg=$E2E_TMP/spare.reg
{
  echo 'REGEDIT4'
  echo
  echo "[$E2E_DRIVERS_KEY\\$SPARE]"
  echo '"Configuration File"="BR90UI.DLL"'
  echo '"Data File"="BR9000.PPD"'
  echo '"Driver"="PSCRIPT5.DLL"'
  echo '"Help File"="BR9000.HLP"'
  echo "\"Dependent Files\"=$(e2e_multi_sz TAVQ.DLL)"
  echo '"Monitor"=""'
  echo '"Datatype"=""'
  echo '"Version"=dword:00000003'
  echo
  echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]'
  echo '"Norix Tallyvue"="C:\\Tallyvue.exe"'
} >"$spare_reg"
e2e_run 60 regedit /S "Z:${spare_reg//\//\\}" >/dev/null || e2e_die "cannot write the unused driver"
# The spooler reads its drivers when it starts.
e2e_run 60 net stop spooler >/dev/null 2>&1
e2e_run 60 net start spooler >/dev/null 2>&1

spare_key() { e2e_run 30 reg query "$E2E_DRIVERS_KEY\\$SPARE" >/dev/null 2>&1; }
e2e_check "Wine's spooler lists the seeded printers" e2e_has_printer 'Brontal 4500 PS'
e2e_check "the unused driver's key is there" spare_key

# detect <log>: /list with its output redirected to a file, as a deployment tool's detection script
# runs it; the exit code in LIST_RC, the output in $E2E_TMP/list.out.
detect() {
  LIST_RC=0
  timeout -k 5 120 "$E2E_WINE" 'C:\Program Files\Trellin\Trellin.exe' /list "/log:$1" >"$E2E_TMP/list.out" 2>/dev/null ||
    LIST_RC=$?
}

# ---- 1. detection before anything is removed ------------------------------------------------------
echo "== /list"
detect 'C:\list1.jsonl'
e2e_check "/list ends with 1: something of Brontal's is there (got $LIST_RC)" [ "$LIST_RC" = 1 ]
found() { jq -r 'select(.event == "found") | .kind + " " + (.name // .driver // .trace)' "$1" | tr -d '\r'; }
expected=$E2E_TMP/expected.txt
printf '%s\n' 'printer Brontal 4500 PS' 'printer Brontal 7200 Color' 'printer Brontal 7200 Color (Office 2)' \
  "driver $SPARE" 'monitor autostart' >"$expected"
e2e_check "the log's found lines name the three printers, the unused driver and the autostart value" \
  diff -u "$expected" <(found "$CDRIVE/list1.jsonl")
e2e_check "the redirected output holds the same found lines" diff -u <(found "$CDRIVE/list1.jsonl") <(found "$E2E_TMP/list.out")
e2e_check "the unused driver's line gives its key, version and data file" \
  jq -e -s --arg d "$SPARE" 'any(.[]; .kind == "driver" and .driver == $d and .version == 3 and .root == "HKEY_LOCAL_MACHINE" and (.path | endswith($d)) and (.data_file | test("BR9000.PPD$")))' "$E2E_TMP/list.out"
e2e_check "/list stopped no spooler" jq -e -s '[.[] | select(.event == "spooler" or .event == "change")] | length == 0' "$CDRIVE/list1.jsonl"

# ---- 2. a name in quotation marks, as cmd passes it --------------------------------------------
echo '== "Brontal 4500 PS"'
e2e_run_trellin '"Brontal 4500 PS"'
e2e_check "a quoted name removes the printer (got $RUN_RC)" [ "$RUN_RC" = 0 ]
e2e_check "Brontal 4500 PS is gone" e2e_lacks_printer 'Brontal 4500 PS'

# ---- 3. /whatif /all predicts /all -------------------------------------------------------------
echo "== /whatif /all"
before=$(e2e_printers) || e2e_fail "the spooler did not list its printers"
e2e_run_trellin '/whatif /all /log:C:\whatif.jsonl'
dry_rc=$RUN_RC
e2e_check "the dry run changed no printer" [ "$before" = "$(e2e_printers)" ]
e2e_check "the dry run left the unused driver" spare_key

# ---- 4. /all, its log at a path with a variable --------------------------------------------------
echo '== /all /log:C:\logs\%COMPUTERNAME%.jsonl'
mkdir -p "$CDRIVE/logs"
start=$(e2e_now_ms)
e2e_run_trellin '/all /log:C:\logs\%COMPUTERNAME%.jsonl'
took=$(( $(e2e_now_ms) - start ))
e2e_check "/all ends with 0 (got $RUN_RC, in $took ms)" [ "$RUN_RC" = 0 ]
e2e_check "the dry run predicted it (got $dry_rc)" [ "$dry_rc" = "$RUN_RC" ]
logs=("$CDRIVE"/logs/*.jsonl)
e2e_check "the log is named after the computer, not %COMPUTERNAME% (${logs[*]##*/})" \
  [ ${#logs[@]} = 1 -a -f "${logs[0]}" -a "${logs[0]##*/}" != '%COMPUTERNAME%.jsonl' ]
LOG=${logs[0]}
for p in 'Brontal 7200 Color' 'Brontal 7200 Color (Office 2)'; do
  e2e_check "$p is gone" e2e_lacks_printer "$p"
done
for p in 'Office Laser' 'Plain PS Printer'; do
  e2e_check "$p, another maker's, stays" e2e_has_printer "$p"
done
e2e_check "the unused driver's key is gone" lacks spare_key
e2e_check "its data file is gone" [ ! -e "$DRVDIR/BR9000.PPD" ]
e2e_check "PSCRIPT5.DLL, which Plain PS lists, stays" [ -e "$DRVDIR/PSCRIPT5.DLL" ]
e2e_check "one spooler cycle before the enumeration and one after the removals" \
  jq -e -s '[.[] | select(.event == "spooler") | .phase] == ["before_enumeration", "after_removal"]' "$LOG"
e2e_check "each printer and the driver have their outcome" \
  jq -e -s --arg d "$SPARE" '([.[] | select(.event == "printer_outcome")] | length == 2) and any(.[]; .event == "driver_outcome" and .driver == $d and .exit_code == 0)' "$LOG"
e2e_check "the dry run named the changes the real run made" diff -u <(e2e_changes "$CDRIVE/whatif.jsonl") <(e2e_changes "$LOG")

# ---- 5. detection after the run ----------------------------------------------------------------
echo "== /list"
detect 'C:\list2.jsonl'
e2e_check "/list ends with 0: nothing of Brontal's is left (got $LIST_RC)" [ "$LIST_RC" = 0 ]
e2e_check "and writes no found line" [ ! -s "$E2E_TMP/list.out" ]
echo "/all took $took ms"
e2e_summary
