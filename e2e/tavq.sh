#!/usr/bin/env bash
# Runs the real tavq.dll under Wine as the driver's copy, called the way Trellin calls it, against a
# stand-in monitoring application: removal of a running application, the same through the four run
# entries called by Wine's rundll32 and by a caller that checks the stdcall convention, the refusal
# notice answered by real input, and the notice in Japanese.
# Usage: e2e/tavq.sh [build dir holding tavq.dll]   (default build/win32, the shipped library, in a
#        32-bit prefix; build/win64 runs in a 64-bit one)
# Env:   E2E_KEEP=1 keeps the run's prefix; E2E_OUT (default build/e2e) for output.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win32}}
CAPTION='Norix Tallyvue'
ENGLISH_TEXT='The Tallyvue is currently running.\n Please shut down the application before attempting to delete it.'
JAPANESE_TEXT='Tallyvueが現在起動しています。\n 削除する前にアプリケーションを閉じてください。'
SHOTS=$E2E_OUT/shots
# The run entries as rundll32 and a program started at logon call them.
RUN_ENTRIES=(run autorun runW autorunW)

e2e_require_build tavq.dll
DRIVER_COPY="$E2E_DRIVER_DIR_WIN\\tavq.dll"

E2E_SUMMARY=1
e2e_begin
mkdir -p "$SHOTS"
rm -f "$SHOTS"/tavq-*.png
e2e_start_xvfb
e2e_prepare_template
e2e_new_prefix
e2e_start_wineserver
standin=$(e2e_build_tool tallyvue -lshell32) || e2e_die "cannot build the stand-in application"
caller=$(e2e_build_tool tavqcall) || e2e_die "cannot build the caller"
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"

user=$(id -un)
cdrive=$(e2e_c_drive)
driver_dir="$cdrive/windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3"
app_dir="$cdrive/users/$user/Temp/Tallyvue"
shortcut="$cdrive/users/$user/Desktop/Tallyvue.lnk"
APP_FILES=(Tallyvue.exe merrow10.dll merrow_bridge.dll merrow_core.dll merrow_norix.dll Tallyvue.chm)
mkdir -p "$driver_dir" "$cdrive/users/$user/Desktop"
cp "$build_dir/tavq.dll" "$driver_dir/tavq.dll"

# reg_has <key> [value]: 0 when the key (or its value) exists in the prefix's registry.
reg_has() {
  if [ $# -gt 1 ]; then
    e2e_run 30 reg query "$1" /v "$2" >/dev/null 2>&1
  else
    e2e_run 30 reg query "$1" >/dev/null 2>&1
  fi
}

# install_and_start [--no-pid]: the program folder with its six files, then the stand-in running from it.
install_and_start() {
  mkdir -p "$app_dir"
  cp "$standin" "$app_dir/Tallyvue.exe"
  local f
  for f in "${APP_FILES[@]:1}"; do printf '%s\n' "$f" >"$app_dir/$f"; done
  APP_LOG=$E2E_TMP/standin.$RANDOM.log
  e2e_start 150 "$APP_LOG" "C:\\users\\$user\\Temp\\Tallyvue\\Tallyvue.exe" "$@"
  APP_PID=$E2E_PID
  local end=$(( $(e2e_now_ms) + 20000 ))
  until grep -q '^ready' "$APP_LOG" 2>/dev/null; do
    if [ "$(e2e_now_ms)" -ge "$end" ] || ! kill -0 "$APP_PID" 2>/dev/null; then return 1; fi
    sleep 0.1
  done
}

traces_state() {  # prints which traces exist: shortcut run settings files folder
  local s=""
  [ -f "$shortcut" ] && s+="shortcut " || s+="-shortcut "
  reg_has 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' 'Norix Tallyvue' && s+="run " || s+="-run "
  reg_has 'HKCU\Software\Norix\Tallyvue' && s+="settings " || s+="-settings "
  local f n=0
  for f in "${APP_FILES[@]}"; do [ -f "$app_dir/$f" ] && n=$((n + 1)); done
  s+="files=$n "
  [ -d "$app_dir" ] && s+="folder" || s+="-folder"
  echo "$s"
}

# ---- 1. the application runs and is ended; everything of it goes ------------------------
if install_and_start; then
  before=$(traces_state)
  if [ "$before" = "shortcut run settings files=6 folder" ]; then
    e2e_pass "stand-in Tallyvue running with its traces ($before)"
  else
    e2e_fail "stand-in traces incomplete: $before"
  fi
  out=$(e2e_run 60 "$caller" "$DRIVER_COPY"); rc=$?
  if [ "$rc" -eq 11 ]; then e2e_pass "Delete returned 1 ($out)"; else e2e_fail "Delete: rc $rc, output '$out'"; fi
  if e2e_wait_exit "$APP_PID" 10; then
    e2e_pass "the running application was ended"
  else
    e2e_fail "the application still runs after Delete"
    kill "$APP_PID" 2>/dev/null
  fi
  after=$(traces_state)
  if [ "$after" = "-shortcut -run -settings files=0 -folder" ]; then
    e2e_pass "shortcut, autostart value, settings key, the six files and the folder are gone"
  else
    e2e_fail "left behind after Delete: $after"
  fi
  [ -f "$driver_dir/tavq.dll" ] && e2e_pass "the driver's copy of tavq.dll stays on disk" ||
    e2e_fail "the driver's copy of tavq.dll disappeared"
else
  e2e_fail "the stand-in application did not start: $(cat "$APP_LOG" 2>/dev/null)"
fi

# ---- 2. the run entries: rundll32, and a caller that checks the stack ------------------------
# Wine's rundll32, like Windows NT's, looks for "<name>W" first: given run it calls runW (autorun:
# autorunW), and given runW it calls runW itself. It also puts its stack pointer back after the call,
# so a wrong convention would go unnoticed there: tavqcall.exe calls each entry by its own name
# without that safety and, on 32-bit x86, reports the bytes the entry left on the stack.
for entry in "${RUN_ENTRIES[@]}"; do
  if ! install_and_start; then
    e2e_fail "rundll32 $entry: the stand-in application did not start: $(cat "$APP_LOG" 2>/dev/null)"
    continue
  fi
  out=$(e2e_run 60 rundll32 "$DRIVER_COPY,$entry" 2>&1); rc=$?
  ended=0
  e2e_wait_exit "$APP_PID" 10 && ended=1 || kill "$APP_PID" 2>/dev/null
  after=$(traces_state)
  if [ "$rc" -eq 0 ] && [ $ended = 1 ] && [ "$after" = "-shortcut -run -settings files=0 -folder" ]; then
    e2e_pass "rundll32 tavq.dll,$entry ends with 0; the running application was ended and removed"
  else
    e2e_fail "rundll32 tavq.dll,$entry: rc $rc, application ended $ended, left: $after${out:+, output: $out}"
  fi
done
for entry in "${RUN_ENTRIES[@]}"; do
  if ! install_and_start; then
    e2e_fail "$entry: the stand-in application did not start: $(cat "$APP_LOG" 2>/dev/null)"
    continue
  fi
  out=$(e2e_run 60 "$caller" "$DRIVER_COPY" "$entry"); rc=$?
  ended=0
  e2e_wait_exit "$APP_PID" 10 && ended=1 || kill "$APP_PID" 2>/dev/null
  after=$(traces_state)
  stack=$(sed -n 's/^stack //p' <<<"$out")
  if [ "$E2E_ARCH" = win32 ] && [ "$stack" != 0 ]; then
    e2e_fail "$entry left ${stack:-an unknown number of} bytes on the caller's stack (stdcall removes its 16)"
  elif [ "$rc" -eq 11 ] && [ $ended = 1 ] && [ "$after" = "-shortcut -run -settings files=0 -folder" ]; then
    e2e_pass "$entry returned 1${stack:+ and removed its arguments from the stack}; the application was ended and removed"
  else
    e2e_fail "$entry: rc $rc, output '$(tr '\n' ' ' <<<"$out")', application ended $ended, left: $after"
  fi
done

# answer_notice <locale> <shot> <expected text>: calls Delete, expects the notice, photographs it,
# checks its texts and answers it with a real key press; the result must be 0.
answer_notice() {
  local locale=$1 shot=$2 text=$3 wid dump
  E2E_WINE_LOCALE=$locale e2e_start 60 "$E2E_TMP/caller.$locale.log" "$caller" "$DRIVER_COPY"
  local call_pid=$E2E_PID
  if ! wid=$(e2e_wait_window "$CAPTION" 30); then
    e2e_fail "[$locale] no message box \"$CAPTION\" appeared; windows: $(e2e_list_windows | tr '\n' '|')"
    kill "$call_pid" 2>/dev/null
    return
  fi
  sleep 0.5
  e2e_screenshot "$wid" "$SHOTS/$shot" || true
  dump=$(E2E_WINE_LOCALE=$locale e2e_run 20 "$inspect" "$CAPTION")
  if grep -qF "window \"$CAPTION\"" <<<"$dump" && grep -qF "\"$text\"" <<<"$dump"; then
    e2e_pass "[$locale] message box \"$CAPTION\" shows: $text"
  else
    e2e_fail "[$locale] message box texts: $(tr '\n' '|' <<<"$dump")"
  fi
  if grep -qE '^control 1 Button "OK"' <<<"$dump" && [ "$(grep -c '^control [0-9]* Button' <<<"$dump")" -eq 1 ]; then
    e2e_pass "[$locale] the box has one button, OK"
  else
    e2e_fail "[$locale] buttons: $(grep Button <<<"$dump" | tr '\n' '|')"
  fi
  e2e_key "$wid" Return
  if e2e_wait_exit "$call_pid" 15; then
    if [ "$E2E_RC" -eq 10 ]; then
      e2e_pass "[$locale] after OK, Delete returned 0"
    else
      e2e_fail "[$locale] after OK: rc $E2E_RC, output '$(tr -d '\r' <"$E2E_TMP/caller.$locale.log")'"
    fi
  else
    e2e_fail "[$locale] the caller did not end after the key press"
    kill "$call_pid" 2>/dev/null
  fi
}

# ---- 3. the application runs without "PID": the notice, answered, and nothing removed -----
if install_and_start --no-pid; then
  answer_notice en_US.UTF-8 tavq-notice-en.png "$ENGLISH_TEXT"
  kill -0 "$APP_PID" 2>/dev/null && e2e_pass "the application still runs" || e2e_fail "the application was ended"
  state=$(traces_state)
  if [ "$state" = "shortcut run settings files=6 folder" ]; then
    e2e_pass "nothing was removed ($state)"
  else
    e2e_fail "removed despite the refusal: $state"
  fi
  # ---- 4. "PID" names another program: it is not touched ------------------------------------
  other_dir="$cdrive/users/$user/Temp/Ledger"
  mkdir -p "$other_dir"
  cp "$standin" "$other_dir/ledger.exe"
  other_log=$E2E_TMP/ledger.log
  e2e_start 150 "$other_log" "C:\\users\\$user\\Temp\\Ledger\\ledger.exe" --idle
  other_pid=$E2E_PID
  end=$(( $(e2e_now_ms) + 20000 ))
  until grep -q '^ready' "$other_log" 2>/dev/null || [ "$(e2e_now_ms)" -ge "$end" ]; do sleep 0.1; done
  other_winpid=$(sed -n 's/^ready \([0-9]*\).*/\1/p' "$other_log" | head -n1)
  if [ -n "$other_winpid" ] &&
     e2e_run 30 reg add 'HKCU\Software\Norix\Tallyvue' /v PID /t REG_DWORD /d "$other_winpid" /f >/dev/null 2>&1; then
    answer_notice en_US.UTF-8 tavq-notice-foreign-pid.png "$ENGLISH_TEXT"
    kill -0 "$other_pid" 2>/dev/null && e2e_pass "ledger.exe, named by \"PID\", was not ended" ||
      e2e_fail "ledger.exe (pid $other_winpid) was ended"
    state=$(traces_state)
    [ "$state" = "shortcut run settings files=6 folder" ] && e2e_pass "nothing was removed ($state)" ||
      e2e_fail "removed despite the foreign PID: $state"
  else
    e2e_fail "could not start ledger.exe or write its id: $(cat "$other_log" 2>/dev/null)"
  fi

  # ---- 5. the same notice in Japanese ------------------------------------------------------
  answer_notice ja_JP.UTF-8 tavq-notice-ja.png "$JAPANESE_TEXT"
else
  e2e_fail "the stand-in application did not start without PID: $(cat "$APP_LOG" 2>/dev/null)"
fi

e2e_summary
