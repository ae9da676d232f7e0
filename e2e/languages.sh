#!/usr/bin/env bash
# Runs Trellin.exe under Wine once per language (locale by LC_ALL) on a seeded workstation: each
# dialog a person can open is checked from outside against its language library (texts, font,
# whether each text fits its control), screenshot, and gathered into one contact sheet per language.
# Usage: e2e/languages.sh [build dir holding Trellin.exe and *_res.dll]   (default build/win64)
# Env:   E2E_LANGUAGES="ja fr" runs only those (codes of LANGUAGES below); E2E_KEEP=1, E2E_OUT as in run.sh.
# Output: build/e2e/shots/<code>/<dialog>.png and build/e2e/shots/contact-<code>.png.
# Ends with "N passed, M failed"; exit code 0 only when nothing failed.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

build_dir=${1:-${TRELLIN_BUILD:-$E2E_ROOT/build/win64}}
SHOTS=$E2E_OUT/shots
WINDOW_WAIT=${E2E_WINDOW_WAIT:-30}
VERSION=' 1.1.19'
# The printer the main dialog selects first on seed.sh's workstation.
FIRST_PRINTER='Brontal 4500 PS'

# code, Windows locale (LC_ALL), library, the UI font's face (_ for blanks) and character set, and
# the installed family the prefix's font replacements must draw that face with.
LANGUAGES=(
  "en en_US.UTF-8 us_res Arial 0 Liberation_Sans"
  "ja ja_JP.UTF-8 jp_res MS_UI_Gothic 128 IPAGothic"
  "fr fr_FR.UTF-8 fr_res Arial 0 Liberation_Sans"
  "it it_IT.UTF-8 it_res Arial 0 Liberation_Sans"
  "de de_DE.UTF-8 gr_res Arial 0 Liberation_Sans"
  "es es_ES.UTF-8 sp_res Arial 0 Liberation_Sans"
  "nl nl_NL.UTF-8 du_res Arial 0 Liberation_Sans"
  "pt pt_BR.UTF-8 bp_res Arial 0 Liberation_Sans"
)
# The inspectors read and print Unicode; their own locale only has to pass UTF-8 arguments intact.
TOOL_LOCALE=C.UTF-8

# The dialogs, in the order a person meets them; a dialog added here is opened, checked, shot and
# put on the contact sheets in every language. Fields, separated by '|':
#   name    file name of its screenshot
#   opens   "start" (the program's start), "<dialog>:click <control id>" or "<dialog>:key <keysym>"
#           (done in an earlier dialog), or "-" (it comes by itself after the one before)
#   caption string id of its caption
#   texts   <control id>=<string ids joined by '+'>; {version} and {printer} stand for the version
#           and the selected printer's name, which the program puts between library texts
#   closes  key that closes it, or "-" (closed later: by the next dialog's opening, or at the end)
# The main dialog stays open to the end and is closed with Escape. The warning, the reset-spooler
# notice and the restart dialog join this list, one row each, once the program opens them.
DIALOGS=(
  "main|start|1|1004=6 1009=2 1024=5 1021=3 1022=4|-"
  "about|main:click 1009|2|1016=12 1015=11+{version} 1017=13 1018=14 1=10|Return"
)
STRING_IDS=(1 2 3 4 5 6 8 10 11 12 13 14 15 16 17 18 20 21 22 25 26 27)

if [ ! -f "$build_dir/Trellin.exe" ]; then
  echo "FAIL: $build_dir/Trellin.exe does not exist (build the x86_64 target first, or pass its folder)"
  echo "0 passed, 1 failed"
  exit 1
fi
build_dir=$(cd "$build_dir" && pwd)

E2E_SUMMARY=1
e2e_begin
mkdir -p "$SHOTS"
t_start=$(e2e_now_ms)
e2e_start_xvfb
e2e_prepare_template
e2e_new_prefix
e2e_start_wineserver
inspect=$(e2e_build_tool dlgdump -lshell32) || e2e_die "cannot build the inspector"
fontcheck=$(e2e_build_tool fontcheck -lshell32 -lgdi32) || e2e_die "cannot build fontcheck"
strtable=$(e2e_build_tool strtable -lshell32) || e2e_die "cannot build strtable"

appdir="$(e2e_c_drive)/Program Files/Trellin"
mkdir -p "$appdir"
cp "$build_dir/Trellin.exe" "$appdir/"
for dll in "$build_dir"/*_res.dll; do
  [ -e "$dll" ] && cp "$dll" "$appdir/"
done
app='C:\Program Files\Trellin\Trellin.exe'
cd "$appdir" || e2e_die "cannot enter $appdir"
bash "$E2E_DIR/seed.sh" "$WINEPREFIX" || e2e_die "seeding the workstation failed"
e2e_log "setup done in $(( $(e2e_now_ms) - t_start )) ms"

declare -A S WID DUMP
# tool <exe> [args...]: runs an inspector (bounded), stdout without CRs.
tool() { E2E_WINE_LOCALE=$TOOL_LOCALE e2e_run 20 "$@"; }

# load_strings <library>: S[id] = the library's text of each id the program loads.
load_strings() {
  local out id text
  S=()
  out=$(tool "$strtable" "C:\\Program Files\\Trellin\\$1.dll" "${STRING_IDS[@]}") || return 1
  while read -r _ id text; do
    [ "$text" = missing ] && continue
    S[$id]=$text
  done <<<"$out"
}

# expected_text <ids joined by '+'>: the text a control must show.
expected_text() {
  local part parts result=''
  IFS='+' read -ra parts <<<"$1"
  for part in "${parts[@]}"; do
    case "$part" in
      '{version}') result+=$VERSION ;;
      '{printer}') result+=$FIRST_PRINTER ;;
      *) result+=${S[$part]:-<missing string $part>} ;;
    esac
  done
  printf '%s' "$result"
}

# control_text <dump> <id>: the text dlgdump shows for a control.
control_text() { sed -n "s/^control $2 [^ ]* \"\\(.*\\)\" enabled=.*/\\1/p" <<<"$1" | head -n1; }

# find_window <title> <seconds>: id of the first mapped window whose title is exactly <title>.
# Compared as UTF-8 (_NET_WM_NAME): a non-Latin title's WM_NAME holds only '?'.
find_window() {
  local end=$(( $(e2e_now_ms) + $2 * 1000 )) id
  while :; do
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ]; then
        echo "$id"
        return 0
      fi
    done
    [ "$(e2e_now_ms)" -ge "$end" ] && return 1
    sleep 0.1
  done
}

# wait_gone <title> <seconds>: 0 once no window has that title.
wait_gone() {
  local end=$(( $(e2e_now_ms) + $2 * 1000 ))
  while find_window "$1" 0 >/dev/null; do
    [ "$(e2e_now_ms)" -ge "$end" ] && return 1
    sleep 0.1
  done
}

# ui_font_from_log <log>: "<handle> <family file>" of the UI font the program created (Wine's +font
# trace): its handle, and the font file the mapper chose the first time it was selected.
ui_font_from_log() {
  awk -v face="$lang_face" -v cs="$lang_charset" '
    index($0, "trace:font:NtGdiHfontCreate (-12 0 0 0 0 0 0 0 " cs ") L\"" face "\"") && handle == "" {
      handle = $NF
    }
    handle != "" && want == "" && index($0, "trace:font:font_SelectFont L\"" face "\", h=-12, it=0, weight=400, PandF=00, charset=" cs " ") {
      split($0, t, ":"); want = t[1]; next
    }
    want != "" && file == "" && index($0, want ":trace:font:select_font Chosen: ") {
      file = $0; sub(/.*\(L"/, "", file); sub(/"\/.*/, "", file); n = split(file, p, /\\\\/); file = p[n]
    }
    END { print handle, file }' "$1"
}

# open_dialog <opens>: does what brings the dialog up.
open_dialog() {
  local from=${1%%:*} action=${1#*:}
  case "$1" in
    start)
      # +font: the program's own record of the fonts it creates and what they are drawn with.
      WINEDEBUG=-all,+font e2e_start 120 "$E2E_OUT/trellin-lang-$code.log" "$app"
      main_pid=$E2E_PID ;;
    -) ;;
    *:click\ *) e2e_click_control "${DUMP[$from]}" "${action#click }" ;;
    *:key\ *) e2e_key "${WID[$from]}" "${action#key }" ;;
    *) e2e_fail "unknown way to open a dialog: $1"; return 1 ;;
  esac
}

# check_dialog <name> <caption> <texts>: texts, fonts and fit of an open dialog, and its screenshot.
check_dialog() {
  local name=$1 caption=$2 texts=$3 dump fonts pair id want got nw nh hw hh bad=0 end
  dump=$(tool "$inspect" "$caption")
  if [ "$name" = main ]; then
    # The lists are filled before the dialog shows; give a refill a moment before the screenshot.
    end=$(( $(e2e_now_ms) + 5000 ))
    until grep -q '^list 1002 count 3$' <<<"$dump" || [ "$(e2e_now_ms)" -ge "$end" ]; do
      sleep 0.25
      dump=$(tool "$inspect" "$caption")
    done
  fi
  DUMP[$name]=$dump
  fonts=$(tool "$fontcheck" "$caption" "$lang_face" -12 "$lang_charset")
  e2e_screenshot "${WID[$name]}" "$SHOTS/$code/$name.png" || e2e_fail "$code $name: no screenshot"

  if ! grep -q "^window \"$(sed 's/[][\.*^$/]/\\&/g' <<<"$caption")\" " <<<"$dump"; then
    e2e_fail "$code $name: the inspector does not find the caption \"$caption\""
    bad=1
  fi
  for pair in $texts; do
    id=${pair%%=*}
    want=$(expected_text "${pair#*=}")
    got=$(control_text "$dump" "$id")
    if [ "$got" != "$want" ]; then
      e2e_fail "$code $name: control $id shows \"$got\", the library has \"$want\""
      bad=1
    fi
    read -r _ _ _ nw nh _ hw hh <<<"$(grep "^fit $id " <<<"$fonts")"
    if [ -z "$hh" ] || [ "$nw" -gt "$hw" ] || [ "$nh" -gt "$hh" ]; then
      e2e_fail "$code $name: the text of control $id does not fit: needs ${nw:-?}x${nh:-?}, has ${hw:-?}x${hh:-?}"
      bad=1
    fi
    if ! grep -q "^glyphs $id missing 0$" <<<"$fonts"; then
      e2e_fail "$code $name: \"$lang_face\" lacks glyphs for control $id: $(grep "^glyphs $id " <<<"$fonts")"
      bad=1
    fi
  done
  if [ "$bad" = 0 ]; then
    e2e_pass "$code $name: every text is the library's, and fits its control in \"$lang_face\" with every glyph there"
  else
    echo "-- inspector output"; echo "$dump"; echo "-- fonts"; echo "$fonts"; echo "--"
  fi
}

for entry in "${LANGUAGES[@]}"; do
  read -r code locale library lang_face lang_charset lang_family <<<"$entry"
  lang_face=${lang_face//_/ } lang_family=${lang_family//_/ }
  if [ -n "${E2E_LANGUAGES:-}" ] && [[ " $E2E_LANGUAGES " != *" $code "* ]]; then
    continue
  fi
  echo "== $code ($locale, $library.dll)"
  export E2E_WINE_LOCALE=$locale
  rm -rf "${SHOTS:?}/$code"
  mkdir -p "$SHOTS/$code"
  if ! load_strings "$library" || [ "${#S[@]}" -ne "${#STRING_IDS[@]}" ]; then
    e2e_fail "$code: $library.dll lacks strings (has ${#S[@]} of ${#STRING_IDS[@]})"
    continue
  fi
  WID=() DUMP=() main_pid='' ui_font_handle='' shots=()
  for row in "${DIALOGS[@]}"; do
    IFS='|' read -r name opens cap texts closes <<<"$row"
    caption=${S[$cap]}
    open_dialog "$opens" || break
    if ! WID[$name]=$(find_window "$caption" "$WINDOW_WAIT"); then
      e2e_fail "$code $name: no window \"$caption\" appeared; windows:"
      e2e_list_windows
      e2e_screenshot root "$SHOTS/$code/$name-missing.png" || true
      break
    fi
    if [ "$name" = main ]; then
      read -r ui_font_handle ui_font_file <<<"$(ui_font_from_log "$E2E_OUT/trellin-lang-$code.log")"
      want_file=$(basename "$(readlink -f "$(fc-match -f '%{file}' "$lang_family")")")
      if [ -n "$ui_font_handle" ] && [ "$ui_font_file" = "$want_file" ]; then
        e2e_pass "$code: the UI font \"$lang_face\" (height -12, weight 400, character set $lang_charset) is drawn with $lang_family ($ui_font_file)"
      else
        e2e_fail "$code: the UI font \"$lang_face\" (character set $lang_charset): handle ${ui_font_handle:-none}, drawn with ${ui_font_file:-nothing}; expected $want_file"
      fi
    fi
    check_dialog "$name" "$caption" "$texts"
    shots+=("$SHOTS/$code/$name.png")
    if [ "$closes" != - ]; then
      e2e_key "${WID[$name]}" "$closes"
      wait_gone "$caption" 10 || e2e_fail "$code $name: $closes did not close it"
    fi
  done
  if [ -n "$main_pid" ]; then
    [ -n "${WID[main]:-}" ] && e2e_key "${WID[main]}" Escape
    if e2e_wait_exit "$main_pid" 10; then
      e2e_pass "$code: Escape ends the program (exit code $E2E_RC)"
    else
      e2e_fail "$code: the program is still running after Escape"
      kill "$main_pid" 2>/dev/null
      e2e_wait_exit "$main_pid" 10 || true
    fi
  fi
  if [ "${#shots[@]}" -gt 0 ] &&
     timeout 60 montage -font "$(fc-match -f '%{file}' 'Liberation Sans')" -label '%t' "${shots[@]}" \
       -tile "${#shots[@]}x1" -geometry +12+12 -background '#c8c8c8' \
       -title "$code: $locale, $library.dll" "$SHOTS/contact-$code.png"; then
    e2e_pass "$code: contact sheet $SHOTS/contact-$code.png"
  else
    e2e_fail "$code: no contact sheet"
  fi
done

e2e_log "total $(( $(e2e_now_ms) - t_start )) ms"
e2e_summary
