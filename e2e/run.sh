#!/usr/bin/env bash
# Runs Trellin.exe under Wine on a seeded workstation and checks what it shows.
# Usage: e2e/run.sh [build dir holding Trellin.exe and *_res.dll]   (default build/win32, the shipped
#        program, in a 32-bit prefix; build/win64 runs in a 64-bit one)
# Env:   E2E_KEEP=1 keeps the run's prefix; E2E_OUT (default build/e2e) for output;
#        E2E_WINDOW_WAIT, E2E_CLOSE_WAIT, E2E_CMDLINE_WAIT override the waits (seconds).
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
CAPTION='Brontal Driver Uninstall Tool'
# What seed.sh's workstation must show: the Brontal printers, sorted.
EXPECTED_PRINTERS=('Brontal 4500 PS' 'Brontal 7200 Color' 'Brontal 7200 Color (Office 2)')
SHOTS=$E2E_OUT/shots
WINDOW_WAIT=${E2E_WINDOW_WAIT:-30}   # seconds for the main dialog to appear
CLOSE_WAIT=${E2E_CLOSE_WAIT:-10}     # seconds for the dialog to close after Escape
CMDLINE_WAIT=${E2E_CMDLINE_WAIT:-30} # seconds for a command-line run to end by itself

e2e_require_build Trellin.exe

E2E_SUMMARY=1
e2e_begin
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
t_start=$(e2e_now_ms)

e2e_start_xvfb
e2e_prepare_template
e2e_new_prefix
e2e_start_wineserver
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"

# Installed like a user would: program and language libraries in one folder.
appdir="$(e2e_c_drive)/Program Files/Trellin"
mkdir -p "$appdir"
cp "$build_dir/Trellin.exe" "$appdir/"
for dll in "$build_dir"/*_res.dll; do
  [ -e "$dll" ] && cp "$dll" "$appdir/"
done
# The companion library ships beside the program.
[ -e "$build_dir/tavq.dll" ] && cp "$build_dir/tavq.dll" "$appdir/"
app='C:\Program Files\Trellin\Trellin.exe'
cd "$appdir" || e2e_die "cannot enter $appdir"

# ---- (0) a workstation without printers -------------------------------------------
echo "== no printers"
e2e_start 60 "$E2E_OUT/trellin-empty.log" "$app"
empty_pid=$E2E_PID
if wid=$(e2e_wait_window "$CAPTION" "$WINDOW_WAIT"); then
  # The lists fill once the spooler has been stopped and started again.
  end=$(( $(e2e_now_ms) + 15000 ))
  while :; do
    out=$(e2e_run 20 "$inspect" "$CAPTION")
    grep -q '^list 1002 count 1$' <<<"$out" && break
    [ "$(e2e_now_ms)" -ge "$end" ] && break
    sleep 0.25
  done
  e2e_screenshot "$wid" "$SHOTS/no-printers.png" || true
  placeholder=$(sed -n 's/^list 1002 line 0: //p' <<<"$out")
  if grep -q '^list 1002 count 1$' <<<"$out" && [ -n "$placeholder" ] &&
     grep -q '^control 1002 ListBox "" enabled=0 ' <<<"$out" &&
     grep -q '^control 1003 ListBox "" enabled=0 ' <<<"$out" &&
     grep -q '^control 1004 Button "[^"]*" enabled=0 ' <<<"$out" &&
     grep -q '^control 1009 Button "[^"]*" enabled=1 ' <<<"$out"; then
    e2e_pass "without printers the lists show \"$placeholder\" and are disabled with Delete"
  else
    e2e_fail "the no-printer state is not shown as expected"
    echo "$out"
  fi
  e2e_key "$wid" Escape
  e2e_wait_exit "$empty_pid" "$CLOSE_WAIT" || { e2e_fail "Escape did not end the run"; kill "$empty_pid" 2>/dev/null; }
else
  e2e_fail "main dialog did not appear on the bare workstation"
  kill "$empty_pid" 2>/dev/null
fi

bash "$E2E_DIR/seed.sh" "$WINEPREFIX" || e2e_die "seeding the workstation failed"

# The seeded spooler state; the command-line runs below must leave it as it is.
spool_before=$(e2e_run 30 "$spoolcheck")
if [ "$(grep -c '^printer ' <<<"$spool_before")" -eq 5 ]; then
  e2e_pass "workstation seeded: the spooler reports 5 printers"
else
  e2e_fail "workstation seeded: the spooler reports:"
  echo "$spool_before"
fi
e2e_log "setup done in $(( $(e2e_now_ms) - t_start )) ms"

# strip '&' mnemonics from a button text
plain() { printf '%s' "${1//&/}"; }

# ---- (a) interactive --------------------------------------------------------------
echo "== interactive"
t0=$(e2e_now_ms)
e2e_start 120 "$E2E_OUT/trellin-interactive.log" "$app"
main_pid=$E2E_PID
if wid=$(e2e_wait_window "$CAPTION" "$WINDOW_WAIT"); then
  e2e_pass "main dialog \"$CAPTION\" shown after $(( $(e2e_now_ms) - t0 )) ms"

  # The lists fill once the spooler has been stopped and started again.
  end=$(( $(e2e_now_ms) + 15000 ))
  while :; do
    out=$(e2e_run 20 "$inspect" "$CAPTION"); irc=$?
    lines=$(sed -n 's/^list 1002 line [0-9]*: //p' <<<"$out")
    [ "$lines" = "$(printf '%s\n' "${EXPECTED_PRINTERS[@]}")" ] && break
    [ "$(e2e_now_ms)" -ge "$end" ] && break
    sleep 0.25
  done
  e2e_screenshot "$wid" "$SHOTS/main.png" || true
  echo "-- inspector output"
  echo "$out"
  echo "--"

  if [ "$irc" -eq 0 ] && grep -q '^window ".*" class=#32770 ' <<<"$out"; then
    e2e_pass "inspector finds the dialog (class #32770)"
  else
    e2e_fail "inspector finds the dialog (class #32770): rc $irc"
  fi

  if [ "$lines" = "$(printf '%s\n' "${EXPECTED_PRINTERS[@]}")" ]; then
    e2e_pass "list 1002 holds exactly: $(printf '"%s" ' "${EXPECTED_PRINTERS[@]}")"
  else
    e2e_fail "list 1002 should hold exactly $(printf '"%s" ' "${EXPECTED_PRINTERS[@]}"), has: $(tr '\n' '|' <<<"$lines")"
  fi

  cursel=$(sed -n 's/^list 1002 cursel //p' <<<"$out")
  if [ "$cursel" = 0 ]; then
    e2e_pass "list 1002 has its first line selected"
  else
    e2e_fail "list 1002 selection is '${cursel}', expected 0"
  fi

  files=$(sed -n 's/^list 1003 line [0-9]*: //p' <<<"$out")
  if [ -n "$files" ]; then
    e2e_pass "list 1003 shows $(wc -l <<<"$files") files of the selected printer"
  else
    e2e_fail "list 1003 is empty"
  fi
  if grep -qi '\\BR4500\.PPD$' <<<"$files"; then
    e2e_pass "list 1003 includes the data file of Brontal 4500 PS"
  else
    e2e_fail "list 1003 lacks ...\\BR4500.PPD"
  fi

  for b in '1004 Delete' '1009 About' '1024 Exit'; do
    id=${b%% *} text=${b#* }
    line=$(grep "^control $id " <<<"$out" | head -n1)
    btext=$(sed -n 's/^control [0-9-]* [^ ]* "\(.*\)" enabled=.*/\1/p' <<<"$line")
    if [[ "$line" == "control $id Button "* ]] && [ "$(plain "$btext")" = "$text" ] && [[ "$line" == *" visible=1 "* ]]; then
      e2e_pass "button $id \"$text\" is there"
    else
      e2e_fail "button $id \"$text\": ${line:-missing}"
    fi
  done

  colors=$(identify -format '%k' "$SHOTS/main.png" 2>/dev/null || echo 0)
  if [ "${colors:-0}" -gt 4 ]; then
    e2e_pass "screenshot $SHOTS/main.png is drawn ($colors colours)"
  else
    e2e_fail "screenshot $SHOTS/main.png looks blank (${colors:-no} colours)"
  fi

  # A person picks another printer: the files list follows the selection.
  if e2e_click_line "$out" 1002 1; then
    end=$(( $(e2e_now_ms) + 5000 ))
    while :; do
      after=$(e2e_run 20 "$inspect" "$CAPTION")
      files=$(sed -n 's/^list 1003 line [0-9]*: //p' <<<"$after")
      [ "$(sed -n 's/^list 1002 cursel //p' <<<"$after")" = 1 ] && break
      [ "$(e2e_now_ms)" -ge "$end" ] && break
      sleep 0.2
    done
    if [ "$(sed -n 's/^list 1002 cursel //p' <<<"$after")" = 1 ] && grep -qi '\\BR7200\.PPD$' <<<"$files" &&
       ! grep -qi '\\BR4500\.PPD$' <<<"$files"; then
      e2e_pass "a click on \"${EXPECTED_PRINTERS[1]}\" shows its files"
    else
      e2e_fail "a click on line 1 of list 1002 did not show the files of ${EXPECTED_PRINTERS[1]}"
      echo "$after"
    fi
    e2e_screenshot "$wid" "$SHOTS/second-printer.png" || true
  else
    e2e_fail "no geometry for list 1002 in the dump"
  fi

  # About opens over the main dialog, shows the version after its text, and closes on Enter.
  if e2e_click_control "$out" 1009 && about=$(e2e_wait_window "About" 10); then
    about_out=$(e2e_run 20 "$inspect" "About")
    e2e_screenshot "$about" "$SHOTS/about.png" || true
    if grep -q '^control 1015 Static ".* 1\.1\.19" ' <<<"$about_out"; then
      e2e_pass "About shows the version: $(sed -n 's/^control 1015 Static "\(.*\)" .*/\1/p' <<<"$about_out")"
    else
      e2e_fail "About lacks the version line"
      echo "$about_out"
    fi
    e2e_key "$about" Return
    end=$(( $(e2e_now_ms) + 5000 ))
    while [ -n "$(e2e_find_windows "About")" ] && [ "$(e2e_now_ms)" -lt "$end" ]; do sleep 0.1; done
    if [ -z "$(e2e_find_windows "About")" ] && [ -n "$(e2e_find_windows "$CAPTION")" ]; then
      e2e_pass "Enter closes About and the main dialog stays"
    else
      e2e_fail "About did not close on Enter, or the main dialog went with it"
    fi
  else
    e2e_fail "a click on About opened no \"About\" window"
    e2e_list_windows
  fi

  t0=$(e2e_now_ms)
  e2e_key "$wid" Escape
  if e2e_wait_exit "$main_pid" "$CLOSE_WAIT"; then
    e2e_pass "Escape closes the dialog and the program ends ($(( $(e2e_now_ms) - t0 )) ms, exit code $E2E_RC)"
  else
    e2e_fail "program still running ${CLOSE_WAIT} s after Escape"
    e2e_screenshot root "$SHOTS/after-escape.png" || true
    kill "$main_pid" 2>/dev/null
    e2e_wait_exit "$main_pid" 10 || true
  fi
else
  e2e_fail "main dialog \"$CAPTION\" did not appear within ${WINDOW_WAIT} s; windows:"
  e2e_list_windows
  e2e_screenshot root "$SHOTS/no-main-dialog.png" || true
  kill "$main_pid" 2>/dev/null
  e2e_wait_exit "$main_pid" 10 || true
fi

# ---- (b) command line ----------------------------------------------------------------
# Names that match no printer: each run must end by itself and change nothing.
# Wine quotes an argument that holds a space, so the program's command line is
# the first argument of cmdline_run.
echo "== command line"
n=0
cmdline_run() {
  local cmdline=$1 t0 pid left
  shift
  n=$((n + 1))
  t0=$(e2e_now_ms)
  e2e_start 120 "$E2E_OUT/trellin-cmdline-$n.log" "$app" "$@"
  pid=$E2E_PID
  if e2e_wait_exit "$pid" "$CMDLINE_WAIT"; then
    e2e_pass "Trellin.exe $cmdline ends by itself ($(( $(e2e_now_ms) - t0 )) ms, exit code $E2E_RC)"
    # Nothing it started may stay behind with the dialog's caption.
    left=$(e2e_find_windows "$CAPTION")
    if [ -z "$left" ] && ! e2e_run 20 "$inspect" "$CAPTION" >/dev/null; then
      e2e_pass "no \"$CAPTION\" window left after Trellin.exe $cmdline"
    else
      e2e_fail "a \"$CAPTION\" window is left after Trellin.exe $cmdline"
    fi
  else
    e2e_fail "Trellin.exe $cmdline still running after ${CMDLINE_WAIT} s; windows:"
    e2e_list_windows
    e2e_screenshot root "$SHOTS/cmdline-$n.png" || true
    kill "$pid" 2>/dev/null
    e2e_wait_exit "$pid" 10 || true
  fi
}
cmdline_run '"Nonexistent Printer"' 'Nonexistent Printer'
cmdline_run 'Nonexistent Printer' Nonexistent Printer
cmdline_run 'A,B,C' 'A,B,C'
cmdline_run ',,' ',,'
cmdline_run 'A,B,C,D,E,F,G' 'A,B,C,D,E,F,G'

spool_after=$(e2e_run 30 "$spoolcheck")
if [ "$spool_after" = "$spool_before" ]; then
  e2e_pass "printers and drivers unchanged by the command-line runs"
else
  e2e_fail "the spooler state changed:"
  diff <(echo "$spool_before") <(echo "$spool_after")
fi

e2e_log "total $(( $(e2e_now_ms) - t_start )) ms"
e2e_summary
