# Shared helpers for the end-to-end runs under Wine. Source it from bash:
#   . e2e/lib.sh
#   e2e_use_arch win32   # or e2e_require_build: the prefix architecture of the build's programs
#   e2e_begin            # output folders, cleanup trap
#   e2e_start_xvfb       # headless display, exports DISPLAY
#   e2e_prepare_template # cached, booted and configured prefix
#   e2e_new_prefix       # fresh copy of it, exports WINEPREFIX
#   e2e_start_wineserver
#   e2e_new_workstation  # or all of the above two with Trellin installed on seed.sh's workstation
# Everything that waits is bounded; the EXIT trap stops what was started here.

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_ROOT=$(cd "$E2E_DIR/.." && pwd)
E2E_OUT=${E2E_OUT:-$E2E_ROOT/build/e2e}
E2E_PREFIX=
E2E_XVFB_PID=
E2E_TMP=
E2E_BG_PIDS=()
E2E_PASSED=0
E2E_FAILED=0

export WINEDEBUG=-all
# No Mono/Gecko install prompts, and no menu entries written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Windows locale of the programs run; Wine needs no Linux locale for it.
E2E_WINE_LOCALE=${E2E_WINE_LOCALE:-en_US.UTF-8}

e2e_log() { printf '[e2e %s] %s\n' "$(date +%T)" "$*" >&2; }
# e2e_die: stops the run; with E2E_SUMMARY set it still ends on the totals line.
e2e_die() {
  printf 'e2e: error: %s\n' "$*" >&2
  if [ -n "${E2E_SUMMARY:-}" ]; then
    e2e_fail "$*"
    e2e_summary
  fi
  exit 1
}

# Milliseconds since the epoch, for bounded waits and timings.
e2e_now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# ---- results -----------------------------------------------------------------
e2e_pass() { E2E_PASSED=$((E2E_PASSED + 1)); echo "PASS: $*"; }
e2e_fail() { E2E_FAILED=$((E2E_FAILED + 1)); echo "FAIL: $*"; }
# e2e_check <description> <command...>: passes or fails the description by the command's status.
e2e_check() {
  local what=$1
  shift
  if "$@"; then e2e_pass "$what"; else e2e_fail "$what"; fi
}
# e2e_summary: prints the totals; returns non-zero when anything failed.
e2e_summary() {
  echo "$E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_FAILED" -eq 0 ]
}

# ---- architecture ----------------------------------------------------------------
# The build folder decides the prefix: a PE32 build (build/win32, the shipped one) runs in a 32-bit
# prefix, a PE32+ build (build/win64) in a 64-bit one. Everything that differs between the two
# comes from e2e_use_arch:
#   WINEARCH, E2E_WINE      the prefix's architecture and the loader that runs its programs
#   E2E_TEMPLATE            the template prefix of that architecture
#   E2E_CC, E2E_TOOLS       the compiler of the helper programs and the folder they are built into
#   E2E_DRIVER_ENV          the spooler's environment ("Windows NT x86", "Windows x64")
#   E2E_DRIVER_FOLDER       its folder below spool\drivers (w32x86, x64)
#   E2E_DRIVERS_KEY         its drivers' registry key (Version-3), with the long root name
#   E2E_DRIVER_DIR_WIN      its drivers' folder as the programs see it (C:\...\w32x86\3)

# e2e_pe_arch <file>: win32 for a PE32 image, win64 for a PE32+ one; fails for anything else.
e2e_pe_arch() {
  case "$(file -b "$1" 2>/dev/null)" in
    PE32+\ *) echo win64 ;;
    PE32\ *) echo win32 ;;
    *) return 1 ;;
  esac
}

# e2e_prefix_arch <prefix>: the architecture Wine recorded when it made the prefix.
e2e_prefix_arch() {
  sed -n 's/^#arch=\(win32\|win64\)\r*$/\1/p' "$1/system.reg" 2>/dev/null | head -n1 | grep .
}

# e2e_use_arch win32|win64
e2e_use_arch() {
  E2E_ARCH=$1
  export WINEARCH=$1
  E2E_TEMPLATE=$E2E_OUT/prefix-template-$1
  E2E_TOOLS=$E2E_OUT/tools-$1
  case "$1" in
    win32)
      # Debian's wine32 loader; without it a 32-bit program dies silently and wine still exits 0.
      E2E_WINE=/usr/lib/wine/wine
      [ -x "$E2E_WINE" ] || e2e_die "32-bit Wine is missing (scripts/setup.sh installs wine32:i386)"
      E2E_CC=i686-w64-mingw32-gcc
      E2E_DRIVER_ENV='Windows NT x86'
      E2E_DRIVER_FOLDER=w32x86
      ;;
    win64)
      # The 64-bit loader also for Wine's own tools (reg, regedit, cmd): started by the 32-bit one they
      # would see the 32-bit registry view (Software\Wow6432Node) instead of the program's.
      E2E_WINE=/usr/lib/wine/wine64
      [ -x "$E2E_WINE" ] || E2E_WINE=wine64
      E2E_CC=x86_64-w64-mingw32-gcc
      E2E_DRIVER_ENV='Windows x64'
      E2E_DRIVER_FOLDER=x64
      ;;
    *) e2e_die "unknown architecture '$1'" ;;
  esac
  export E2E_WINE
  E2E_DRIVERS_KEY="HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\$E2E_DRIVER_ENV\\Drivers\\Version-3"
  E2E_DRIVER_DIR_WIN="C:\\windows\\system32\\spool\\drivers\\$E2E_DRIVER_FOLDER\\3"
}

# ---- lifecycle -----------------------------------------------------------------
# e2e_require_build <file>...: ends the script as one failed check unless each file lies in
# $build_dir; then makes $build_dir absolute (the scripts change directory later) and takes the
# prefix architecture from the first file's format.
e2e_require_build() {
  local f arch
  for f in "$@"; do
    if [ ! -f "$build_dir/$f" ]; then
      echo "FAIL: $build_dir/$f does not exist (build the Windows targets first, or pass their folder)"
      echo "0 passed, 1 failed"
      exit 1
    fi
  done
  build_dir=$(cd "$build_dir" && pwd)
  if ! arch=$(e2e_pe_arch "$build_dir/$1"); then
    echo "FAIL: $build_dir/$1 is neither PE32 nor PE32+: $(file -b "$build_dir/$1")"
    echo "0 passed, 1 failed"
    exit 1
  fi
  e2e_use_arch "$arch"
  e2e_log "$build_dir: $(file -b "$build_dir/$1" | cut -d, -f1), run in a $arch prefix"
}

# e2e_require_jq: ends the script as one failed check when jq, which reads the run logs, is missing.
e2e_require_jq() {
  command -v jq >/dev/null && return 0
  echo "FAIL: jq is missing (scripts/setup.sh installs it)"
  echo "0 passed, 1 failed"
  exit 1
}

e2e_begin() {
  mkdir -p "$E2E_OUT"
  # Scratch files of this run only; runs may share E2E_OUT.
  E2E_TMP=$(mktemp -d "$E2E_OUT/tmp.XXXXXX")
  trap e2e_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

e2e_cleanup() {
  local pid
  for pid in "${E2E_BG_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  if [ -n "$E2E_PREFIX" ] && [ -d "$E2E_PREFIX" ]; then
    WINEPREFIX=$E2E_PREFIX timeout 20 wineserver -k 2>/dev/null || true
    WINEPREFIX=$E2E_PREFIX timeout 20 wineserver -w 2>/dev/null || true
    if [ -z "${E2E_KEEP:-}" ]; then
      rm -rf "$E2E_PREFIX"
    else
      e2e_log "prefix kept: $E2E_PREFIX"
    fi
  fi
  for pid in "${E2E_BG_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
    E2E_XVFB_PID=
  fi
  [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"
}

# ---- display -------------------------------------------------------------------
# e2e_start_xvfb: starts Xvfb on the first free display from E2E_DISPLAY_FIRST (97).
e2e_start_xvfb() {
  local first=${E2E_DISPLAY_FIRST:-97} n pid
  for n in $(seq "$first" $((first + 40))); do
    [ -e "/tmp/.X$n-lock" ] && continue
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$E2E_OUT/xvfb.log" 2>&1 &
    pid=$!
    # Ready once the display answers and its lock names our server: when two
    # runs race for a number, the loser exits while the display still answers.
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$pid" ] &&
         DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        E2E_XVFB_PID=$pid
        export DISPLAY=":$n"
        e2e_log "Xvfb on $DISPLAY (pid $pid)"
        return 0
      fi
      sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  e2e_die "no free X display from :$first"
}

# ---- prefixes ------------------------------------------------------------------
# One template per architecture. It is rebuilt when the settings, the Wine version, the loaders
# installed (a 64-bit prefix made before wine32 was installed cannot start programs after), the
# fonts or the user (the prefix holds drive_c/users/<user>) change.
e2e_template_stamp() {
  {
    sha256sum <"$E2E_DIR/prefix-settings.sh"
    echo "$WINEARCH"
    ls /usr/lib/wine 2>/dev/null
    WINEDEBUG=-all "$E2E_WINE" --version 2>/dev/null
    fc-list -q IPAGothic && echo ipagothic
    ls /usr/share/wine/fonts 2>/dev/null
    id -un
  } | sha256sum | cut -c1-16
}

e2e_prepare_template() {
  local stamp
  [ -n "${E2E_ARCH:-}" ] || e2e_die "no architecture chosen (e2e_use_arch or e2e_require_build)"
  stamp=$(e2e_template_stamp)
  mkdir -p "$E2E_OUT"
  (
    flock -w 600 9 || { echo "e2e: template lock busy" >&2; exit 1; }
    if [ -f "$E2E_TEMPLATE/.e2e-stamp" ] && [ "$(cat "$E2E_TEMPLATE/.e2e-stamp")" = "$stamp" ]; then
      exit 0
    fi
    local tmp=$E2E_TEMPLATE.new.$$ t0 ok=1
    t0=$(e2e_now_ms)
    e2e_log "building the $WINEARCH template prefix (stamp $stamp)"
    # The single template of earlier versions, made for 64-bit Wine alone.
    rm -rf "$E2E_OUT/prefix-template"
    rm -rf "$tmp"
    WINEPREFIX=$tmp timeout -k 5 180 "$E2E_WINE" wineboot -i >/dev/null 2>&1 || ok=0
    [ $ok = 1 ] && { WINEPREFIX=$tmp timeout 60 wineserver -w || ok=0; }
    [ $ok = 1 ] && { timeout -k 5 120 bash "$E2E_DIR/prefix-settings.sh" "$tmp" || ok=0; }
    # The registry reaches the disk only when the server exits.
    [ $ok = 1 ] && { WINEPREFIX=$tmp timeout 60 wineserver -w || ok=0; }
    if [ $ok = 0 ] || [ "$(e2e_prefix_arch "$tmp")" != "$WINEARCH" ]; then
      WINEPREFIX=$tmp timeout 20 wineserver -k 2>/dev/null || true
      rm -rf "$tmp"
      echo "e2e: template prefix could not be built" >&2
      exit 1
    fi
    echo "$stamp" >"$tmp/.e2e-stamp"
    rm -rf "$E2E_TEMPLATE"
    mv "$tmp" "$E2E_TEMPLATE"
    e2e_log "template ready in $(( $(e2e_now_ms) - t0 )) ms"
  ) 9>"$E2E_TEMPLATE.lock" || e2e_die "no $WINEARCH template prefix"
}

# e2e_new_prefix [dir]: copies the template to a fresh prefix and exports WINEPREFIX.
e2e_new_prefix() {
  local dst=${1:-$E2E_OUT/prefix-run.$$} old
  # Prefixes of runs that were killed outright (their shell is gone).
  for old in "$E2E_OUT"/prefix-run.*; do
    [ -d "$old" ] || continue
    kill -0 "${old##*.}" 2>/dev/null && continue
    WINEPREFIX=$old timeout 20 wineserver -k 2>/dev/null || true
    rm -rf "$old"
  done
  # A prefix made anew in the same place: its server and programs must go first, or they outlive it.
  if [ -d "$dst" ]; then
    WINEPREFIX=$dst timeout 20 wineserver -k 2>/dev/null || true
    WINEPREFIX=$dst timeout 20 wineserver -w 2>/dev/null || true
  fi
  rm -rf "$dst"
  (
    flock -s -w 600 9 || exit 1
    cp -a "$E2E_TEMPLATE" "$dst"
  ) 9>"$E2E_TEMPLATE.lock" || e2e_die "cannot copy the template prefix"
  rm -f "$dst/.e2e-stamp"
  E2E_PREFIX=$dst
  export WINEPREFIX=$dst
}

# One server for the whole run: each program then starts in a few tens of ms.
e2e_start_wineserver() {
  # The server outlives this call: it must not hold the caller's output open (a pipe would never end).
  wineserver -p </dev/null >/dev/null 2>&1 || e2e_die "wineserver -p failed"
}

# e2e_c_drive: the prefix's C: folder.
e2e_c_drive() { echo "$WINEPREFIX/drive_c"; }

# ---- Windows programs ------------------------------------------------------------
# e2e_build_tool <name> [libs...]: builds e2e/<name>.c for the prefix's architecture into
# $E2E_TOOLS/<name>.exe when stale and prints its path; returns 1 when it does not compile.
e2e_build_tool() {
  local src=$E2E_DIR/$1.c out=$E2E_TOOLS/$1.exe
  shift
  mkdir -p "$E2E_TOOLS"
  if [ ! -f "$out" ] || [ "$src" -nt "$out" ]; then
    if ! "$E2E_CC" -O2 -Wall -static -mconsole -o "$out.tmp" "$src" "$@"; then
      echo "e2e: cannot build $src" >&2
      return 1
    fi
    mv "$out.tmp" "$out"
  fi
  echo "$out"
}

# e2e_run <seconds> <exe> [args...]: runs a Windows program in the foreground,
# stdout without CRs; returns its exit code, 124 when it had to be killed.
e2e_run() {
  local secs=$1 out rc=0
  shift
  out=$(mktemp -p "${E2E_TMP:-${TMPDIR:-/tmp}}" run.XXXXXX)
  LC_ALL=$E2E_WINE_LOCALE timeout -k 5 "$secs" "$E2E_WINE" "$@" >"$out" || rc=$?
  tr -d '\r' <"$out"
  rm -f "$out"
  return $rc
}

# e2e_start <seconds> <log> <exe> [args...]: starts a Windows program in the
# background (killed after <seconds>); its pid is left in E2E_PID.
e2e_start() {
  local secs=$1 log=$2
  shift 2
  LC_ALL=$E2E_WINE_LOCALE timeout -k 5 "$secs" "$E2E_WINE" "$@" >"$log" 2>&1 &
  E2E_PID=$!
  E2E_BG_PIDS+=("$E2E_PID")
}

# e2e_wait_exit <pid> <seconds>: 0 once the program ended (exit code in E2E_RC),
# 1 if it is still running after <seconds>.
e2e_wait_exit() {
  local pid=$1 end=$(( $(e2e_now_ms) + $2 * 1000 ))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$(e2e_now_ms)" -ge "$end" ] && return 1
    sleep 0.05
  done
  E2E_RC=0
  wait "$pid" 2>/dev/null || E2E_RC=$?
  return 0
}

# ---- X windows -----------------------------------------------------------------
# Titles are matched whole; xdotool takes a regular expression.
e2e_title_regex() { printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\.*^$(){}?+|/]/\\&/g')"; }

# e2e_find_windows <title>: ids of the mapped top-level windows with that title.
e2e_find_windows() {
  xdotool search --onlyvisible --name "$(e2e_title_regex "$1")" 2>/dev/null || true
}

# e2e_wait_window <title> <seconds>: prints the id of the first mapped window
# with that exact title; returns 1 when none appeared in time.
e2e_wait_window() {
  local end=$(( $(e2e_now_ms) + $2 * 1000 )) ids
  while :; do
    ids=$(e2e_find_windows "$1")
    if [ -n "$ids" ]; then
      echo "$ids" | head -n1
      return 0
    fi
    [ "$(e2e_now_ms)" -ge "$end" ] && return 1
    sleep 0.1
  done
}

# e2e_list_windows: "id title" of every mapped window with a title, for diagnostics.
e2e_list_windows() {
  local id
  for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    echo "$id $(xdotool getwindowname "$id" 2>/dev/null)"
  done
}

# e2e_screenshot <window id|root> <png>
e2e_screenshot() {
  mkdir -p "$(dirname "$2")"
  timeout 20 import -window "$1" "$2"
}

# e2e_click <x> <y>: a left click at a screen position (real XTEST events).
e2e_click() {
  timeout 5 xdotool mousemove --sync "$1" "$2" >/dev/null 2>&1 || timeout 5 xdotool mousemove "$1" "$2"
  timeout 5 xdotool click 1
}

# e2e_click_control <dlgdump output> <control id>: clicks the middle of that control.
e2e_click_control() {
  local l t r b
  read -r l t r b < <(sed -n "s/^rect $2 //p" <<<"$1" | head -n1)
  [ -n "$b" ] || return 1
  e2e_click $(( (l + r) / 2 )) $(( (t + b) / 2 ))
}

# e2e_click_line <dlgdump output> <list id> <line index>: clicks a list box line.
e2e_click_line() {
  local x y h top
  read -r x y < <(sed -n "s/^client $2 //p" <<<"$1" | head -n1)
  read -r h top < <(sed -n "s/^list $2 itemheight \([0-9-]*\) top \([0-9-]*\)$/\1 \2/p" <<<"$1" | head -n1)
  [ -n "$top" ] && [ "$h" -gt 0 ] || return 1
  e2e_click $(( x + 12 )) $(( y + ($3 - top) * h + h / 2 ))
}

# e2e_key <window id> <key>...: gives the window the focus and types the keys
# (real XTEST events: Wine ignores synthetic ones).
e2e_key() {
  local id=$1
  shift
  timeout 5 xdotool windowfocus --sync "$id" >/dev/null 2>&1 || timeout 5 xdotool windowfocus "$id" || true
  timeout 5 xdotool key --clearmodifiers "$@"
}

# e2e_printers: the printers the spooler lists, one a line, read with the script's $spoolcheck
# (e2e/spoolcheck.c); fails when the enumeration failed, so an empty list never passes for "gone". Right
# after a run the spooler service may still be coming back: a failed enumeration is tried again, 3 times.
e2e_printers() {
  local out try
  for try in 1 2 3; do
    out=$(e2e_run 30 "$spoolcheck")
    if grep -q '^total ' <<<"$out"; then
      sed -n 's/^printer \(.*\) attributes=.*/\1/p' <<<"$out"
      return 0
    fi
    sleep 0.5
  done
  return 1
}
e2e_has_printer() { local list; list=$(e2e_printers) && grep -qxF "$1" <<<"$list"; }
e2e_lacks_printer() { local list; list=$(e2e_printers) && ! grep -qxF "$1" <<<"$list"; }

# e2e_changes <log>: one line per change or companion call a run log names (read with jq), the outcome
# added when it is neither done nor would; a dry run's and a real run's compare line by line.
e2e_changes() {
  jq -r 'select(.event == "change" or .event == "companion")
         | [(.kind // "companion"), (.root // empty), (.path // empty), (.value // empty), (.file // empty),
            (.printer // empty), (.service // empty), (.library // empty), (.source // empty),
            (if .outcome == "done" or .outcome == "would" then empty else .outcome + " " + (.result | tostring) end)]
         | join(" | ")' "$1"
}

# e2e_multi_sz <name>...: the names as a REGEDIT4 multi-string (ANSI bytes, each NUL-terminated,
# then a final NUL).
e2e_multi_sz() {
  local out='' name
  for name in "$@"; do
    out+=$(printf '%s' "$name" | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//')
    out+='00,'
  done
  printf 'hex(7):%s00' "$out"
}

# e2e_build_driver_library: builds e2e/drvlib.c (a Brontal driver's own library) into
# $E2E_TOOLS/drvlib.dll when stale and prints its path; returns 1 when it does not compile.
e2e_build_driver_library() {
  local out=$E2E_TOOLS/drvlib.dll
  mkdir -p "$E2E_TOOLS"
  if [ ! -f "$out" ] || [ "$E2E_DIR/drvlib.c" -nt "$out" ]; then
    if ! "$E2E_CC" -O2 -Wall -shared -static -o "$out.tmp" "$E2E_DIR/drvlib.c" -Wl,--kill-at; then
      echo "e2e: cannot build $E2E_DIR/drvlib.c" >&2
      return 1
    fi
    mv "$out.tmp" "$out"
  fi
  echo "$out"
}

# e2e_new_workstation <build dir> <drvlib.dll>: a fresh prefix with its server, Trellin installed from the
# build dir, seed.sh's workstation, and the Brontal drivers carrying their own library (DeletePrinter) and
# an older build of the real tavq.dll; the driver folder in DRVDIR.
e2e_new_workstation() {
  local build=$1 drvlib=$2 app_dir
  e2e_new_prefix
  e2e_start_wineserver
  app_dir="$(e2e_c_drive)/Program Files/Trellin"
  mkdir -p "$app_dir"
  cp "$build/Trellin.exe" "$build/tavq.dll" "$build"/*_res.dll "$app_dir/"
  bash "$E2E_DIR/seed.sh" "$WINEPREFIX" || e2e_die "seeding the workstation failed"
  DRVDIR="$(e2e_c_drive)/windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3"
  cp "$drvlib" "$DRVDIR/BR4500.DLL"
  cp "$drvlib" "$DRVDIR/BR7200.DLL"
  cp "$build/tavq.dll" "$DRVDIR/TAVQ.DLL"
  # An older build of the companion than the one shipped beside the program.
  printf 'older build' >>"$DRVDIR/TAVQ.DLL"
}

# ---- runs on a workstation ----------------------------------------------------------
# The program as e2e_new_workstation installs it.
E2E_APP='"C:\Program Files\Trellin\Trellin.exe"'

# e2e_start_trellin <command-line rest> <log>: Trellin.exe in the background with exactly that command
# line, started by runexit.exe, which writes its full exit code to <log> ("exit N"); runexit's process id
# in RUN_PID.
e2e_start_trellin() {
  local runexit
  runexit=$(e2e_build_tool runexit) || e2e_die "cannot build runexit"
  RUNEXIT_CMD="$E2E_APP${1:+ $1}" e2e_start 180 "$2" "$runexit" 150
  RUN_PID=$E2E_PID
}
# e2e_exit_code <log>: the exit code runexit reported, or "none".
e2e_exit_code() { sed -n 's/^exit \([0-9]*\).*/\1/p' "$1" | tr -d '\r' | head -n1 | grep . || echo none; }
# e2e_run_trellin <command-line rest>: runs Trellin.exe to its end; its exit code in RUN_RC.
e2e_run_trellin() {
  local log=$E2E_TMP/run.$RANDOM.log
  e2e_start_trellin "$1" "$log"
  if e2e_wait_exit "$RUN_PID" 160; then RUN_RC=$(e2e_exit_code "$log"); else RUN_RC=none; kill "$RUN_PID" 2>/dev/null; fi
}

# e2e_start_standin [--no-pid]: the stand-in monitoring application (e2e/tallyvue.c) running from its
# program folder in the user's Temp, beside the five other files of the application; its process id in
# STANDIN_PID. Returns 1 when it did not report "ready" within 20 s.
e2e_start_standin() {
  local standin user dir f end
  standin=$(e2e_build_tool tallyvue -lshell32) || e2e_die "cannot build the stand-in application"
  user=$(id -un)
  dir="$(e2e_c_drive)/users/$user/Temp/Tallyvue"
  mkdir -p "$dir"
  cp "$standin" "$dir/Tallyvue.exe"
  for f in merrow10.dll merrow_bridge.dll merrow_core.dll merrow_norix.dll Tallyvue.chm; do printf '%s\n' "$f" >"$dir/$f"; done
  STANDIN_LOG=$E2E_TMP/standin.$RANDOM.log
  e2e_start 170 "$STANDIN_LOG" "C:\\users\\$user\\Temp\\Tallyvue\\Tallyvue.exe" "$@"
  STANDIN_PID=$E2E_PID
  end=$(( $(e2e_now_ms) + 20000 ))
  until grep -q '^ready' "$STANDIN_LOG" 2>/dev/null; do
    if [ "$(e2e_now_ms)" -ge "$end" ] || ! kill -0 "$STANDIN_PID" 2>/dev/null; then return 1; fi
    sleep 0.1
  done
}

# e2e_hold <file in the driver folder>: another program keeps the file open, as a program using it
# does; its process id in HOLD_PID.
e2e_hold() {
  local holdfile log end
  holdfile=$(e2e_build_tool holdfile) || e2e_die "cannot build holdfile"
  log=$E2E_TMP/hold.$RANDOM.log
  e2e_start 170 "$log" "$holdfile" "$E2E_DRIVER_DIR_WIN\\$1" 160
  HOLD_PID=$E2E_PID
  end=$(( $(e2e_now_ms) + 15000 ))
  until grep -q '^held' "$log" 2>/dev/null; do
    [ "$(e2e_now_ms)" -ge "$end" ] && return 1
    sleep 0.1
  done
}

# e2e_set_version <program file name> <version>: the Windows version Wine reports to that program alone
# (win98, nt40, win2k, winxp, ...; Wine's per-program setting, AppDefaults).
e2e_set_version() {
  e2e_run 30 reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /t REG_SZ /d "$2" /f >/dev/null
}
