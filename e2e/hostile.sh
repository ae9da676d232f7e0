#!/usr/bin/env bash
# Removes Brontal printers whose registry data and driver file lists are hostile, with the real
# Trellin.exe under Wine, and checks from outside that nothing but each printer's and its driver's own
# keys and files changed: registry exports and a checksummed listing of C:\windows taken before and
# after each run, bait keys and files where the hostile data points, exit codes, no crash.
# Usage: e2e/hostile.sh [build dir holding Trellin.exe and *_res.dll]   (default build/win32, in a 32-bit
#        prefix; build/win64 runs in a 64-bit one)
# Env:   E2E_KEEP=1 keeps the prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
#
# Hostile inputs of the simulated machine's table (tests/product/test_hostile_workstation.cpp) that
# Wine cannot express, left out here:
# - a printer that cannot be opened, so that its driver name is empty: Wine's OpenPrinterA checks no
#   access, every listed printer opens;
# - an empty printer name: a printer is a key below Printers, whose name cannot be empty;
# - a driver named "" or "\", or a driver key equal to the version key: a driver is a key below
#   Version-3, whose name can be neither empty nor a separator, so no Brontal driver has such a name;
# - the ExtInfo file cases: that file is read on the connection path only, and Wine has no
#   printer connections;
# - a 255-byte printer name: with such a key Wine's spooler lists no printer at all; 254 bytes is
#   the longest it lists, and that is the name used;
# - a 512-level tree: the tree here is 500 levels below PrinterDriverData, 507 below the root.
# Left to the simulated machine only, to keep this run short (every removed name costs a spooler
# stop and start, about 5 s): _NXDataLocation "", "\", "SOFTWARE\\Brontal" (an empty part) and
# "\SOFTWARE\X\Y", a 3000-byte Dependent Files list, double-byte (code page 932) printer names.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
e2e_require_build Trellin.exe us_res.dll
APP='"C:\Program Files\Trellin\Trellin.exe"'
HKLM=HKEY_LOCAL_MACHINE
HKCU=HKEY_CURRENT_USER
PRINT="$HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print"
DRIVERS=$E2E_DRIVERS_KEY
DEVICES="$HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices"
PORTS="$HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts"
SESSION="$HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"
# What each snapshot exports; C:\windows is listed with checksums beside them.
SNAPSHOT_KEYS=("$HKLM\\SOFTWARE" "$HKLM\\SYSTEM\\CurrentControlSet\\Control" "$HKCU\\Software" "$HKCU\\Printers")
# 254 bytes: the longest name Wine's spooler lists (with a 255-byte key it lists no printer at all).
LONG_NAME="Hostile Long Name $(printf 'P%.0s' $(seq 236))"
DEEP_LEVELS=500

# The cases: id | printer | what it carries | its value. Each printer has a driver of its own
# ("<printer> Driver", files H<n>.PPD, H<n>UI.DLL, H<n>DRV.DLL, H<n>.HLP in the driver folder ...\3), a per-user
# settings key, and the hostile input. The drivers have a library of their own (H<n>.DLL,
# e2e/drvlib.c), whose DeletePrinter deletes the printer through the spooler, as a Brontal driver's
# does; the long name's printer key goes only that way, as Wine's 8-bit registry calls refuse key
# paths past 260 bytes (error 234). The deep tree's driver has none: the spooler would delete that
# tree with the printer, before the removal's own tree deletion got to it.
#   dependent   more "Dependent Files" entries, separated by ';'; bait files where they point
#   location    PrinterDriverData "_NXStorage\_NXDataLocation" = that string
#   dword       the same value as REG_DWORD (its bytes read as text: "S")
#   deep        a tree that many levels deep below the printer's PrinterDriverData key
#   name        only the name itself
CASES=(
  "dependent|Hostile Dependent Files|dependent|..\\..\\WIN.INI;..\\3\\..\\..\\X.DLL;C:\\WINDOWS\\WIN.INI"
  "long-location|Hostile Long Location|location|SOFTWARE\\X\\$(printf 'Y%.0s' $(seq 239))"
  "number|Hostile Number Location|dword|00000053"
  "software|Hostile Software|location|SOFTWARE"
  "microsoft|Hostile Microsoft|location|Software\\Microsoft"
  "control-set|Hostile Control Set|location|SYSTEM\\CurrentControlSet"
  "vendor|Hostile Vendor Root|location|SOFTWARE\\Brontal"
  "root-name|Hostile Root Name|location|HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Y"
  "own-data|Hostile Own Data|location|SOFTWARE\\Brontal\\Data\\Hostile Own Data"
  "deep|Hostile Deep Tree|deep|$DEEP_LEVELS"
  "long-name|$LONG_NAME|name|"
)
# The runs: expected exit code | case ids, removed by one Trellin.exe (at most five names).
RUNS=(
  "0|dependent long-location number software microsoft"
  "0|control-set vendor root-name own-data deep"
  "0|long-name"
)
# Keys and files the hostile data points at, and keys of others that a too wide deletion would take.
BAIT_KEYS=(
  "$HKLM\\SOFTWARE\\X\\Y\\Z"
  "$HKCU\\Software\\X\\Y\\Z"
  "$HKCU\\Software\\Microsoft\\Notepad"
  "$HKLM\\SOFTWARE\\Brontal\\Data\\Other"
  "$HKCU\\Software\\Brontal\\Data\\Other"
  "$HKCU\\S\\Kept"
  "$PRINT\\Printers\\Office Laser"
  "$DRIVERS\\Generic Laser"
)
BAIT_FILES=(  # relative to drive_c
  windows/system32/spool/drivers/WIN.INI
  windows/system32/spool/drivers/X.DLL
  windows/win.ini
)


E2E_SUMMARY=1
e2e_begin
started=$(e2e_now_ms)
e2e_start_xvfb
e2e_prepare_template
runexit=$(e2e_build_tool runexit) || e2e_die "cannot build runexit"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build the driver library"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"

win_path() { printf 'Z:%s' "${1//\//\\}"; }
# ERE matching the text literally.
ere() { printf '%s' "$1" | sed 's/[][\.*^$(){}?+|/]/\\&/g'; }

# case_field <id> <field number>: a field of the case's line in CASES (1 id, 2 printer, 3 kind, 4 value).
case_field() {
  local c
  for c in "${CASES[@]}"; do
    [ "${c%%|*}" = "$1" ] && { cut -d'|' -f"$2" <<<"$c"; return 0; }
  done
  return 1
}
# case_number <id>: the case's position, which names its driver's files (H<n>...).
case_number() {
  local i
  for i in "${!CASES[@]}"; do [ "${CASES[$i]%%|*}" = "$1" ] && { echo $((i + 1)); return 0; }; done
  return 1
}
# driver_of <case id>: the name of the case's driver.
driver_of() {
  if [ "$(case_field "$1" 3)" = name ]; then echo 'Hostile Long Name Driver'; else echo "$(case_field "$1" 2) Driver"; fi
}
own_files() { local n; n=$(case_number "$1"); echo "H$n.PPD H${n}UI.DLL H${n}DRV.DLL H$n.HLP"; }

# ---- the workstation ---------------------------------------------------------------------------
e2e_new_prefix
e2e_start_wineserver
cdrive=$(e2e_c_drive)
mkdir -p "$cdrive/Program Files/Trellin"
cp "$build_dir/Trellin.exe" "$build_dir"/*_res.dll "$cdrive/Program Files/Trellin/"
bash "$E2E_DIR/seed.sh" "$WINEPREFIX" || e2e_die "seeding the workstation failed"
DRVDIR=$cdrive/windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3

reg_text() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }

seed=$E2E_TMP/hostile.reg
{
  echo 'REGEDIT4'
  for c in "${CASES[@]}"; do
    IFS='|' read -r id name kind value <<<"$c"
    n=$(case_number "$id")
    driver=$(driver_of "$id")
    printf '%s\r\n' '*PPD-Adobe: "4.3"' '*Manufacturer: "Brontal"' "*ModelName: \"$driver\"" \
      '*OrvinexExchange: True' >"$DRVDIR/H$n.PPD"
    for f in H${n}UI.DLL H${n}DRV.DLL H$n.HLP; do printf 'placeholder %s\r\n' "$f" >"$DRVDIR/$f"; done
    [ "$kind" = deep ] || cp "$drvlib" "$DRVDIR/H$n.DLL"
    dependent=("H$n.HLP")
    [ "$kind" = dependent ] && IFS=';' read -r -a more <<<"$value" && dependent+=("${more[@]}")
    echo
    echo "[$DRIVERS\\$driver]"
    echo "\"Configuration File\"=\"H${n}UI.DLL\""
    echo "\"Data File\"=\"H$n.PPD\""
    echo "\"Driver\"=\"H${n}DRV.DLL\""
    echo "\"Help File\"=\"H$n.HLP\""
    echo "\"Dependent Files\"=$(e2e_multi_sz "${dependent[@]}")"
    echo '"Monitor"=""'
    echo '"Datatype"=""'
    echo '"Version"=dword:00000003'
    echo
    echo "[$PRINT\\Printers\\$name]"
    echo "\"Name\"=\"$name\""
    echo "\"Printer Driver\"=\"$driver\""
    echo '"Port"="LPT1:"'
    echo '"Print Processor"="WinPrint"'
    echo '"Datatype"="RAW"'
    echo '"Attributes"=dword:00000040'
    echo '"Share Name"=""'
    echo '"Priority"=dword:00000001'
    echo
    echo "[$PRINT\\Printers\\$name\\PrinterDriverData]"
    case $kind in
      location) echo "\"_NXStorage\\\\_NXDataLocation\"=\"$(reg_text "$value")\"" ;;
      dword) echo "\"_NXStorage\\\\_NXDataLocation\"=dword:$value" ;;
      deep)
        key="$PRINT\\Printers\\$name\\PrinterDriverData"
        for _ in $(seq "$value"); do key+='\Level'; done
        echo
        echo "[$key]"
        echo '"Depth"="the deepest"'
        ;;
    esac
    echo
    echo "[$DEVICES]"
    echo "\"$name\"=\"winspool,LPT1:\""
    echo
    echo "[$PORTS]"
    echo "\"$name\"=\"winspool,LPT1:,15,45\""
    echo
    echo "[$HKCU\\Printers\\Settings\\$name]"
    echo '"Paper"="A4"'
  done
  # The vendor's own data of the printer whose data location is sound: it goes with it.
  for root in "$HKLM\\SOFTWARE" "$HKCU\\Software"; do
    echo
    echo "[$root\\Brontal\\Data\\Hostile Own Data\\Trays]"
    echo '"Count"=dword:00000002'
  done
  for key in "${BAIT_KEYS[@]}"; do
    echo
    echo "[$key]"
    echo '"Bait"="must stay"'
  done
  echo
} >"$seed"
printf '[bait] must stay\r\n' >"$cdrive/windows/system32/spool/drivers/WIN.INI"
printf 'bait: must stay\r\n' >"$cdrive/windows/system32/spool/drivers/X.DLL"
e2e_run 120 regedit /S "$(win_path "$seed")" >/dev/null || e2e_die "cannot seed the hostile printers"

spool_printers() { e2e_run 30 "$spoolcheck" | sed -n 's/^printer \(.*\) attributes=.*/\1/p'; }
listed=$(spool_printers)
for c in "${CASES[@]}"; do
  IFS='|' read -r id name _ <<<"$c"
  grep -qxF "$name" <<<"$listed" || e2e_fail "the spooler does not list the seeded printer $id ($name)"
done

# ---- snapshots ---------------------------------------------------------------------------------
# snapshot <file>: one line per key ("[key]") and per value ("[key] value line"), continuation lines
# joined, sorted; then one line per file under C:\windows ("file <md5> <path>").
snapshot() {
  local out=$1 i=0 key export
  : >"$out.raw"
  for key in "${SNAPSHOT_KEYS[@]}"; do
    export=$E2E_TMP/export.$i.reg
    i=$((i + 1))
    rm -f "$export"
    e2e_run 60 regedit /E "$(win_path "$export")" "$key" >/dev/null
    [ -s "$export" ] || { echo "export of $key failed" >&2; return 1; }
    iconv -f UTF-16LE -t UTF-8 "$export" | tr -d '\r' | awk '
      /^\[/ { key = $0; print key; next }
      /^$/ || /^Windows Registry Editor/ { next }
      { line = $0
        while (line ~ /\\$/ && (getline more) > 0) { sub(/\\$/, "", line); sub(/^ +/, "", more); line = line more }
        print key " " line }' >>"$out.raw"
  done
  (cd "$cdrive" && find windows -type f -print0 | sort -z | xargs -0 md5sum) |
    sed 's/^\([0-9a-f]*\)  \(.*\)$/file \1 \2/' >>"$out.raw"
  LC_ALL=C sort "$out.raw" >"$out"
  rm -f "$out.raw"
}

# allowed <case id>: EREs of the snapshot lines that the removal of that case's printer may change:
# its printer key, its driver's key, its per-user settings, its Devices and PrinterPorts values, its
# driver's own files (and, for the sound data location, the vendor's data of that printer).
allowed() {
  local name driver f kind
  name=$(case_field "$1" 2)
  kind=$(case_field "$1" 3)
  driver=$(driver_of "$1")
  echo "^\\[$(ere "$PRINT\\Printers\\$name")(\\\\.*)?\\]"
  echo "^\\[$(ere "$DRIVERS\\$driver")(\\\\.*)?\\]"
  echo "^\\[$(ere "$HKCU\\Printers\\Settings\\$name")(\\\\.*)?\\]"
  echo "^\\[$(ere "$DEVICES")\\] \"$(ere "$name")\"="
  echo "^\\[$(ere "$PORTS")\\] \"$(ere "$name")\"="
  for f in $(own_files "$1"); do echo "^file [0-9a-f]+ $(ere "windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3/$f")\$"; done
  # The driver library counts its DeletePrinter calls.
  [ "$kind" = deep ] || echo "^\\[$(ere "$HKCU\\Software\\Brontal\\DriverLibrary")\\]"
  if [ "$1" = own-data ]; then
    echo "^\\[$(ere "$HKLM\\SOFTWARE\\Brontal\\Data\\$name")(\\\\.*)?\\]"
    echo "^\\[$(ere "$HKCU\\Software\\Brontal\\Data\\$name")(\\\\.*)?\\]"
  fi
}
# Every run: Wine numbers each service start in ServiceCurrent and records each new desktop's display
# driver under Control\Video; the deletions left for the restart are compared entry by entry below.
RUN_ALLOWED=(
  "^\\[$(ere "$SESSION")\\] \"PendingFileRenameOperations\"="
  "^\\[$(ere "$HKLM\\SYSTEM\\CurrentControlSet\\Control\\ServiceCurrent")\\] @=dword:"
  "^\\[$(ere "$HKLM\\SYSTEM\\CurrentControlSet\\Control\\Video")\\\\\\{[0-9a-f-]+\\}(\\\\0000)?\\]"
)

# pending_allowed <case id>: EREs of the deletions left for the restart that may name that case's
# driver: its files and the leftovers named after them (H<n>.WMK, .BDD...), in the driver folder or
# its version folder.
pending_allowed() {
  echo "^$(ere "\\??\\C:\\windows\\system32\\spool\\drivers\\$E2E_DRIVER_FOLDER\\")(3\\\\)?H$(case_number "$1")(UI|DRV)?\.[A-Z]+\$"
}
# Every run: the OEM setup information files, which a removal always deletes (at the restart when
# they cannot go at once).
PENDING_RUN_ALLOWED="^$(ere '\??\C:\windows\inf\oem.')(inf|pnf)\$"
# pending_entries <snapshot>: the paths PendingFileRenameOperations names, one a line.
pending_entries() {
  local hex
  hex=$(grep -F "[$SESSION] \"PendingFileRenameOperations\"=hex(7):" "$1" | sed 's/.*=hex(7)://')
  [ -n "$hex" ] || return 0
  printf '%b' "$(sed 's/^/\\x/; s/,/\\x/g' <<<"$hex")" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' | grep -v '^$'
}

key_there() { e2e_run 30 reg query "$1" >/dev/null 2>&1; }
key_gone() { ! key_there "$1"; }
file_md5() { md5sum <"$cdrive/$1" | cut -d' ' -f1; }
declare -A BAIT_SUM
for f in "${BAIT_FILES[@]}"; do BAIT_SUM[$f]=$(file_md5 "$f"); done

# ---- the runs ----------------------------------------------------------------------------------
before=$E2E_TMP/snapshot.0
snapshot "$before" || e2e_die "no snapshot of the workstation"
run=0
for r in "${RUNS[@]}"; do
  run=$((run + 1))
  expected=${r%%|*}
  read -r -a ids <<<"${r#*|}"
  names=()
  for id in "${ids[@]}"; do names+=("$(case_field "$id" 2)"); done
  cmdline=$(IFS=,; echo "${names[*]}")
  echo "== run $run: ${ids[*]}"
  log=$E2E_TMP/run.$run.log
  t0=$(e2e_now_ms)
  RUNEXIT_CMD="$APP $cmdline" e2e_run 150 "$runexit" 140 >"$log" 2>&1
  code=$(sed -n 's/^exit \([0-9]*\)$/\1/p' "$log" | head -n1)
  echo "  ($(( $(e2e_now_ms) - t0 )) ms)"
  e2e_check "run $run ends with $expected (got ${code:-none})" [ "${code:-none}" = "$expected" ]
  crash=$(grep -E 'Unhandled (exception|page fault)|wine: |Backtrace|crash' "$log" | head -n3)
  e2e_check "run $run: nothing crashed${crash:+ ($crash)}" [ -z "$crash" ]

  after=$E2E_TMP/snapshot.$run
  if ! snapshot "$after"; then
    e2e_fail "run $run: no snapshot afterwards"
    continue
  fi
  # Every line that differs must be one that the run's cases, or Wine's own bookkeeping, may change.
  patterns=$E2E_TMP/allowed.$run
  printf '%s\n' "${RUN_ALLOWED[@]}" >"$patterns"
  for id in "${ids[@]}"; do allowed "$id" >>"$patterns"; done
  diff=$E2E_TMP/diff.$run
  LC_ALL=C comm -3 "$before" "$after" | sed 's/^\t/+ /; t; s/^/- /' >"$diff"
  foreign=$(cut -c3- "$diff" | grep -vEf "$patterns" | cut -c1-200)
  e2e_check "run $run changed only its printers' and drivers' own keys and files ($(wc -l <"$diff") lines differ)${foreign:+; foreign: $(head -n5 <<<"$foreign" | tr '\n' '|')}" \
    [ -z "$foreign" ]
  pending_before=$E2E_TMP/pending.before.$run
  pending_entries "$before" >"$pending_before"
  echo "$PENDING_RUN_ALLOWED" >"$patterns"
  for id in "${ids[@]}"; do pending_allowed "$id" >>"$patterns"; done
  pending=$(pending_entries "$after" | grep -vxFf "$pending_before")
  foreign=$(grep -viEf "$patterns" <<<"$pending" | grep .)
  e2e_check "run $run left for the restart only its drivers' own files ($(grep -c . <<<"$pending") new entries)${foreign:+; foreign: $(head -n5 <<<"$foreign" | tr '\n' '|')}" \
    [ -z "$foreign" ]
  listed=$(spool_printers)
  for id in "${ids[@]}"; do
    name=$(case_field "$id" 2)
    kind=$(case_field "$id" 3)
    driver=$(driver_of "$id")
    e2e_check "$id: the printer is gone from the spooler" [ -z "$(grep -xF "$name" <<<"$listed")" ]
    e2e_check "$id: its printer key is gone" key_gone "$PRINT\\Printers\\$name"
    e2e_check "$id: its driver's key is gone" key_gone "$DRIVERS\\$driver"
    gone=1
    for f in $(own_files "$id"); do [ -e "$DRVDIR/$f" ] && gone=0; done
    e2e_check "$id: its driver's files are gone ($(own_files "$id"))" [ $gone = 1 ]
    if [ "$kind" = dependent ]; then
      e2e_check "$id: no file outside the driver folder is left for the restart" \
        [ -z "$(grep -iE '(WIN\.INI|X\.DLL)$' <<<"$pending")" ]
    fi
  done
  taken=()
  for key in "${BAIT_KEYS[@]}"; do key_there "$key" || taken+=("$key"); done
  for f in "${BAIT_FILES[@]}"; do [ "$(file_md5 "$f" 2>/dev/null)" = "${BAIT_SUM[$f]}" ] || taken+=("$f"); done
  e2e_check "run $run: the bait keys and files are intact${taken[*]:+ (taken: ${taken[*]})}" [ ${#taken[@]} = 0 ]
  before=$after
done

e2e_check "the sound data location went with its printer" key_gone "$HKLM\\SOFTWARE\\Brontal\\Data\\Hostile Own Data"
e2e_check "and its per-user copy" key_gone "$HKCU\\Software\\Brontal\\Data\\Hostile Own Data"
e2e_check "seed.sh's printers stay" [ "$(spool_printers | grep -c '')" = 5 ]
echo "runtime $(( ($(e2e_now_ms) - started) / 1000 )) s"
e2e_summary
