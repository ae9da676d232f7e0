#!/usr/bin/env bash
# The shipped 32-bit Trellin.exe on a host whose kernel runs no 32-bit x86 code itself. Debian's 32-bit
# Wine loader then runs under qemu-user, through a binfmt handler that this script registers for its own
# run and takes away again; the prefix is a WoW64 one made by the 64-bit Wine, and the program sees the
# drivers of its own environment ("Windows NT x86"). Each start of the program costs about 45 s under
# the emulator, so this is the main paths once on seed.sh's workstation: the dialog, detection, a named
# removal, /all and detection again. Wine's tools and the checks (runexit, spoolcheck, dlgdump) are
# 64-bit and run natively. Where the kernel runs 32-bit code, nothing is registered and the same runs
# go through the 32-bit loader directly.
# Usage: e2e/shipped32.sh [build/win32]   (root, for the binfmt handler)
set -uo pipefail
build_dir=${1:-build/win32}
. "$(dirname "$0")/lib.sh"
E2E_SUMMARY=1

e2e_require_build Trellin.exe tavq.dll us_res.dll
[ "$E2E_ARCH" = win32 ] || e2e_die "$build_dir is not the 32-bit build"
e2e_require_jq
e2e_begin

BINFMT=/proc/sys/fs/binfmt_misc
HANDLER=trellin-e2e-i386
registered=
release_handler() {
  [ -n "$registered" ] && [ -e "$BINFMT/$HANDLER" ] && echo -1 >"$BINFMT/$HANDLER"
  registered=
}
trap 'e2e_cleanup; release_handler' EXIT

loader32=/usr/lib/wine/wine
if "$loader32" --version >/dev/null 2>&1; then
  e2e_log "the kernel runs the 32-bit loader itself"
else
  [ -x /usr/bin/qemu-i386 ] || e2e_die "qemu-user is missing (scripts/setup.sh installs it)"
  [ -w "$BINFMT/register" ] || e2e_die "no binfmt handler can be registered here (needs root and binfmt_misc)"
  # 32-bit ELF executables (i386 and its ELF variants), as qemu's own binfmt table describes them.
  echo ":$HANDLER:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:/usr/bin/qemu-i386:F" \
    >"$BINFMT/register" || e2e_die "registering the qemu-i386 handler failed"
  registered=1
  "$loader32" --version >/dev/null 2>&1 || e2e_die "the 32-bit loader does not start under qemu-user"
  e2e_log "32-bit Wine under qemu-user (binfmt handler $HANDLER, for this run only)"
fi

# The prefix and every tool are 64-bit; only the program is 32-bit.
e2e_use_arch win64
e2e_start_xvfb
E2E_PREFIX=$E2E_OUT/prefix-shipped32.$$
export WINEPREFIX=$E2E_PREFIX
rm -rf "$WINEPREFIX"
t0=$(e2e_now_ms)
# The 64-bit wineboot hands the 32-bit half of the prefix to the emulated loader: minutes, not seconds.
timeout -k 5 900 "$E2E_WINE" wineboot -i >/dev/null 2>&1 || e2e_die "wineboot failed"
timeout 900 wineserver -w || e2e_die "the prefix's setup did not end"
[ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || e2e_die "the prefix has no 32-bit half"
timeout -k 5 120 bash "$E2E_DIR/prefix-settings.sh" "$WINEPREFIX" || e2e_die "prefix settings failed"
timeout 60 wineserver -w
e2e_log "WoW64 prefix ready in $(( $(e2e_now_ms) - t0 )) ms"
e2e_start_wineserver
SEED_DRIVER_ARCH=win32 bash "$E2E_DIR/seed.sh" "$WINEPREFIX" || e2e_die "seeding the workstation failed"
appdir="$(e2e_c_drive)/Program Files/Trellin"
drvdir="$(e2e_c_drive)/windows/system32/spool/drivers/w32x86/3"
mkdir -p "$appdir"
cp "$build_dir/Trellin.exe" "$build_dir/tavq.dll" "$build_dir"/*_res.dll "$appdir/"
cp "$build_dir/tavq.dll" "$drvdir/TAVQ.DLL"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"
SHOTS=$E2E_OUT/shots
CAPTION='Brontal Driver Uninstall Tool'
BRONTAL=('Brontal 4500 PS' 'Brontal 7200 Color' 'Brontal 7200 Color (Office 2)')
OTHERS=('Office Laser' 'Plain PS Printer')

# check <what> <command...>
# found_printers <log>: the printers a /list run found, one a line.
found_printers() { jq -r 'select(.event == "found" and .kind == "printer") | .name' "$1"; }
# log_holds <log> <jq program>: the program, run over the whole log, is true.
log_holds() { jq -e -s "$2" "$1" >/dev/null; }
# log_of <name>: a run's log file on the C: drive.
log_of() { echo "$(e2e_c_drive)/$1.jsonl"; }

# ---- 1. the dialog: the 32-bit program's window lists the three Brontal printers ------------------
e2e_start 300 "$E2E_TMP/dialog.log" "$loader32" 'C:\Program Files\Trellin\Trellin.exe'
dialog=$E2E_PID
if wid=$(e2e_wait_window "$CAPTION" 240); then
  e2e_pass "the shipped 32-bit program opens its main dialog"
  # The list arrives after the opening spooler cycle.
  end=$(( $(e2e_now_ms) + 60000 ))
  while :; do
    out=$(e2e_run 30 "$inspect" "$CAPTION")
    listed=$(sed -n 's/^list 1002 line [0-9]*: //p' <<<"$out")
    [ "$(wc -l <<<"$listed")" -ge 3 ] && break
    [ "$(e2e_now_ms)" -ge "$end" ] && break
    sleep 2
  done
  e2e_check "list 1002 shows exactly the three Brontal printers" \
    test "$listed" = "$(printf '%s\n' "${BRONTAL[@]}")"
  e2e_screenshot "$wid" "$SHOTS/shipped32-main.png" || true
  e2e_key "$wid" Escape
  if e2e_wait_exit "$dialog" 60; then e2e_pass "Escape closes the dialog"; else e2e_fail "the dialog did not close"; fi
else
  e2e_fail "no main dialog within 240 s: $(e2e_list_windows | tr '\n' ';')"
fi

# ---- 2. detection --------------------------------------------------------------------------------
e2e_run_trellin '/log:C:\list1.jsonl /list'
e2e_check "/list ends with 1 while Brontal's printers are installed (got $RUN_RC)" test "$RUN_RC" = 1
e2e_check "/list finds the three Brontal printers" \
  test "$(found_printers "$(log_of list1)")" = "$(printf '%s\n' "${BRONTAL[@]}")"

# ---- 3. a named removal ---------------------------------------------------------------------------
e2e_run_trellin '/log:C:\named.jsonl Brontal 4500 PS'
e2e_check "removing Brontal 4500 PS by name ends with 0 (got $RUN_RC)" test "$RUN_RC" = 0
e2e_check "Brontal 4500 PS is gone from the spooler" e2e_lacks_printer 'Brontal 4500 PS'
e2e_check "its data file is gone" test ! -e "$drvdir/BR4500.PPD"
e2e_check "PSCRIPT5.DLL, which Plain PS still lists, stays" test -e "$drvdir/PSCRIPT5.DLL"
e2e_check "the driver key of Brontal 4500 PS is gone" \
  log_holds "$(log_of named)" '[.[] | select(.event == "change" and .kind == "delete_key" and (.path | endswith("Drivers\\Version-3\\Brontal 4500 PS")))] | .[0].outcome == "done"'

# ---- 4. everything else of Brontal's, then detection again --------------------------------------
e2e_run_trellin '/log:C:\all.jsonl /all'
e2e_check "/all ends with 0 (got $RUN_RC)" test "$RUN_RC" = 0
for p in 'Brontal 7200 Color' 'Brontal 7200 Color (Office 2)'; do
  e2e_check "$p is gone" e2e_lacks_printer "$p"
done
for p in "${OTHERS[@]}"; do
  e2e_check "$p stays" e2e_has_printer "$p"
done
e2e_check "the shared driver's data file is gone" test ! -e "$drvdir/BR7200.PPD"
e2e_run_trellin '/log:C:\list2.jsonl /list'
e2e_check "/list ends with 0 once nothing of Brontal's is left (got $RUN_RC)" test "$RUN_RC" = 0
e2e_check "/list finds nothing" test -z "$(jq -r 'select(.event == "found")' "$(log_of list2)")"

release_handler
e2e_summary
