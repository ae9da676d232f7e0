#!/usr/bin/env bash
# The compatibility gate of the shipped 32-bit build (build/win32): what Trellin.exe, tavq.dll and the eight
# language libraries need must exist on Windows 98/Me and NT 4.0 SP6a (and so on 2000, XP and later).
#  - every import is in compat/imports.tsv, and no DLL beyond the system's own is imported;
#  - no import is newer than NT 4.0 or Windows 98 (a 9x stub that fails is allowed where the code copes,
#    as the table says); functions marked "lookup" must not be imported at all;
#  - msvcrt.dll's functions are those of the msvcrt.dll that NT 4.0 and Windows 98 ship;
#  - OS and subsystem version 4.0 in every PE header;
#  - the sizes: Trellin.exe at most 400 KB, tavq.dll 100 KB, each language library 16 KB;
#  - winsim's constants have the values the target's headers give with _WIN32_WINNT/WINVER 0x0400.
# Usage: scripts/check-compat.sh [build dir]   (default build/win32). Ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/win32}
table=compat/imports.tsv
objdump=i686-w64-mingw32-objdump
languages="us_res jp_res fr_res it_res gr_res sp_res du_res bp_res"
passed=0
failed=0
pass() { echo "ok   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
work=$(mktemp -d)
[ -n "${KEEP_WORK:-}" ] && echo "work: $work"
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT

# imports <file>: "dll<TAB>function" lines of its import table, DLL names in lower case.
imports() {
  "$objdump" -p "$1" | awk '
    /^\tDLL Name: / { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll "\t" $3 }
    /^$/ { }'
}

# oldest <nt|9x> <value>: 0 when the value is at or before the oldest target of that family.
oldest_ok() {
  case "$1:$2" in
    nt:3.x | nt:3.1 | nt:3.5 | nt:3.51 | nt:4.0) return 0 ;;
    9x:95 | 9x:98 | 9x:stub) return 0 ;;
    *) return 1 ;;
  esac
}

files=("$dir/Trellin.exe" "$dir/tavq.dll")
for lang in $languages; do files+=("$dir/$lang.dll"); done
for f in "${files[@]}"; do
  [ -f "$f" ] || { fail "$f is missing (build the 32-bit deliverables first)"; }
done
[ -f "$table" ] || { fail "$table is missing"; }
if [ "$failed" -ne 0 ]; then
  echo "compat: $passed passed, $failed failed"
  exit 1
fi
grep -v '^#' "$table" | awk -F'\t' 'NF' >"$work/table"

# --- imports against the table ---
for f in "$dir/Trellin.exe" "$dir/tavq.dll"; do
  name=$(basename "$f")
  imports "$f" | sort -u >"$work/$name.imports"
  problems=0
  while IFS=$'\t' read -r dll fn; do
    row=$(awk -F'\t' -v d="$dll" -v n="$fn" '$1 == d && $2 == n' "$work/table")
    if [ -z "$row" ]; then
      fail "$name imports $dll!$fn, which $table does not list"
      problems=$((problems + 1))
      continue
    fi
    IFS=$'\t' read -r _ _ users nt ninex how _ <<<"$row"
    if [ "$how" != import ]; then
      fail "$name imports $dll!$fn, which must be reached through GetProcAddress ($table: $how)"
      problems=$((problems + 1))
    fi
    if [[ ",$users," != *",$name,"* ]]; then
      fail "$name imports $dll!$fn, but $table names only $users"
      problems=$((problems + 1))
    fi
    if ! oldest_ok nt "$nt"; then
      fail "$name imports $dll!$fn, which NT has only from $nt on (oldest target: NT 4.0)"
      problems=$((problems + 1))
    fi
    if ! oldest_ok 9x "$ninex"; then
      fail "$name imports $dll!$fn, which Windows 9x has only from $ninex on (oldest target: Windows 98)"
      problems=$((problems + 1))
    fi
  done <"$work/$name.imports"
  count=$(wc -l <"$work/$name.imports")
  [ "$problems" -eq 0 ] && pass "$name: $count imports, each in the table and present on NT 4.0 and Windows 98"
  # Rows that claim an import the file no longer has keep the table from saying what the file needs.
  stale=$(awk -F'\t' -v n="$name" '$6 == "import" && index("," $3 ",", "," n ",") { print $1 "\t" $2 }' "$work/table" |
    sort -u | comm -23 - "$work/$name.imports")
  [ -z "$stale" ] && pass "$name: the table lists no import the file lacks" ||
    fail "$name: the table lists imports the file does not have: $(echo "$stale" | tr '\t\n' '! ')"
  deps=$(cut -f1 "$work/$name.imports" | sort -u | tr '\n' ' ')
  odd=""
  for d in $deps; do
    case "$d" in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | winspool.drv | shell32.dll | ole32.dll | msvcrt.dll) ;;
      *) odd="$odd $d" ;;
    esac
  done
  [ -z "$odd" ] && pass "$name needs only system libraries: $deps" || fail "$name needs$odd"
done

# msvcrt.dll: only what the first msvcrt.dll (the one NT 4.0 ships, Windows 98's is a later one) exports.
crt=$(cat "$work"/*.imports | awk -F'\t' '$1 == "msvcrt.dll" { print $2 }' | sort -u)
bad=""
for fn in $crt; do
  src=$(awk -F'\t' -v n="$fn" '$1 == "msvcrt.dll" && $2 == n { print $7 }' "$work/table")
  [ "$src" = msvcrt-def ] || bad="$bad $fn"
done
[ -z "$bad" ] && pass "msvcrt.dll: $(echo "$crt" | wc -w) functions, all in the NT 4.0 / Windows 98 msvcrt.dll" ||
  fail "msvcrt.dll functions without an NT 4.0 / Windows 98 source:$bad"

# Functions only later systems have are looked up at run time, with a fallback: never imported.
while IFS=$'\t' read -r dll fn users _; do
  for u in ${users//,/ }; do
    if grep -qx "$dll"$'\t'"$fn" "$work/$u.imports" 2>/dev/null; then
      fail "$u imports $dll!$fn, which it must look up at run time"
    fi
  done
done < <(awk -F'\t' '$6 == "lookup"' "$work/table")
pass "looked-up functions ($(awk -F'\t' '$6 == "lookup"' "$work/table" | wc -l)) are in no import table"

# --- language libraries: resources only ---
for lang in $languages; do
  f=$dir/$lang.dll
  if "$objdump" -p "$f" | grep -q 'DLL Name:'; then fail "$lang.dll imports a library"; else pass "$lang.dll imports nothing"; fi
done

# --- PE headers: OS and subsystem version 4.0 ---
for f in "${files[@]}"; do
  v=$("$objdump" -p "$f" | awk '/^MajorOSystemVersion/ { a = $2 } /^MinorOSystemVersion/ { b = $2 }
    /^MajorSubsystemVersion/ { c = $2 } /^MinorSubsystemVersion/ { d = $2 } END { print a "." b " " c "." d }')
  [ "$v" = "4.0 4.0" ] && pass "$(basename "$f"): OS and subsystem version 4.0" ||
    fail "$(basename "$f"): OS and subsystem versions $v (4.0 4.0 wanted)"
done

# --- sizes ---
size_check() {  # size_check <file> <limit KB>
  local bytes
  bytes=$(stat -c %s "$1")
  if [ "$bytes" -le $(($2 * 1024)) ]; then
    pass "$(basename "$1"): $bytes bytes ($(((bytes + 1023) / 1024)) KB, at most $2 KB)"
  else
    fail "$(basename "$1"): $bytes bytes ($(((bytes + 1023) / 1024)) KB, more than $2 KB)"
  fi
}
size_check "$dir/Trellin.exe" 400
size_check "$dir/tavq.dll" 100
for lang in $languages; do size_check "$dir/$lang.dll" 16; done

# --- winsim's constants against the target's headers ---
# Every object-like macro of winsim's headers that is an integer constant natively is compared with the
# macro of that name in mingw's headers for _WIN32_WINNT/WINVER 0x0400 (the Windows builds' setting). The
# native build has 64-bit pointers, so the comparison uses the x86_64 headers: the version-dependent
# values are the same for both architectures, and pointer-sized ones (DWLP_USER...) match the native size.
headers='#include <windows.h>
#include <winspool.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <mbstring.h>
#include <stdint.h>'
names=$(grep -h -E '^\s*#\s*define\s+[A-Za-z_][A-Za-z0-9_]*(\s|$)' winsim/include/*.h winsim/include/winsim/*.h |
  sed -E 's/^\s*#\s*define\s+([A-Za-z_][A-Za-z0-9_]*).*/\1/' | sort -u)
{
  echo "$headers"
  for n in $names; do echo "constexpr unsigned long long v_$n = (unsigned long long)(uintptr_t)($n);"; done
} >"$work/probe.cpp"
# The probe, preprocessed, keeps each declaration on one line: an error's line names the macro.
g++ -std=c++17 -E -P -I winsim/include "$work/probe.cpp" >"$work/probe.ii"
g++ -std=c++17 -fsyntax-only -w -x c++ "$work/probe.ii" 2>"$work/probe.err"
grep -oE 'probe\.ii:[0-9]+:' "$work/probe.err" | cut -d: -f2 | sort -un | while read -r l; do
  sed -n "${l}p" "$work/probe.ii" | grep -oE '\bv_[A-Za-z_0-9]+' | head -1 | sed 's/^v_//'
done | sort -u >"$work/not-ints"
echo "$names" | grep -vxF -f "$work/not-ints" >"$work/ints"
{
  echo "$headers"
  echo '#include <stdio.h>'
  echo 'int main() {'
  while read -r n; do
    echo "  printf(\"$n %llu\\n\", (unsigned long long)(((unsigned long long)(uintptr_t)($n)) & 0xFFFFFFFFull));"
  done <"$work/ints"
  echo '  return 0;'
  echo '}'
} >"$work/values.cpp"
if g++ -std=c++17 -w -I winsim/include "$work/values.cpp" -o "$work/values" 2>"$work/values.err"; then
  "$work/values" >"$work/values.txt"
  {
    echo "$headers"
    while read -r n v; do
      printf '#ifdef %s\nstatic_assert((((unsigned long long)(uintptr_t)(%s)) & 0xFFFFFFFFull) == %sull, "%s");\n#endif\n' \
        "$n" "$n" "$v" "$n"
    done <"$work/values.txt"
  } >"$work/target.cpp"
  x86_64-w64-mingw32-g++ -std=c++17 -fsyntax-only -w -D_WIN32_WINNT=0x0400 -DWINVER=0x0400 -D_WIN32_IE=0x0400 \
    "$work/target.cpp" 2>"$work/target.err"
  compared=$(x86_64-w64-mingw32-g++ -std=c++17 -E -dM -D_WIN32_WINNT=0x0400 -DWINVER=0x0400 -D_WIN32_IE=0x0400 \
    -x c++ - <<<"$headers" 2>/dev/null | awk '{ print $2 }' | sed 's/(.*//' | sort -u |
    comm -12 - <(cut -d' ' -f1 "$work/values.txt" | sort -u) | wc -l)
  # Known differences that are no version's: mingw's winuser.h gives DLGWINDOWEXTRA 30 on every
  # architecture, where Microsoft's gives 48 for 64-bit pointers, as winsim does for its native size.
  differ=$(grep -oE 'static assertion failed: [A-Za-z_0-9]+' "$work/target.err" | awk '{ print $4 }' | sort -u |
    grep -vx 'DLGWINDOWEXTRA')
  other=$(grep -E 'error:' "$work/target.err" | grep -v 'static assertion failed' | head -5)
  if [ -z "$differ" ] && [ -z "$other" ]; then
    pass "winsim's constants: $compared compared with the 0x0400 headers, all the same"
  else
    for n in $differ; do
      fail "winsim's $n is $(awk -v n="$n" '$1 == n { print $2 }' "$work/values.txt"), the 0x0400 headers give another value"
    done
    [ -z "$other" ] || fail "winsim's constants: the target's headers do not compile them: $other"
  fi
else
  fail "winsim's constants: the native probe did not compile: $(head -3 "$work/values.err")"
fi

echo "compat: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
