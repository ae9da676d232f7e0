#!/usr/bin/env bash
# Checks tavq.dll of both Windows builds: a DLL needing only system libraries, exactly the six exports with
# their shared addresses, and (32-bit) Delete returning to a cleaning caller while run/runW remove 16 bytes.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; status=1; }

# exports <dll> <objdump>: "name rva" lines of the export table.
exports() {
  "$2" -p "$1" | awk '
    /^Export Address Table --/ { inEat = 1; next }
    /^\[Ordinal\/Name Pointer\] Table/ { inEat = 0; inNames = 1; next }
    inEat && /\+base\[/ { gsub(/[\[\]]/, " "); rva[n++] = $4 }
    inNames && /^[ \t]*\[/ { gsub(/[\[\]]/, " "); ord[$1] = 1; names[++m] = $2; idx[$2] = $1 }
    inNames && /^[ \t]*$/ { inNames = 0 }
    END { for (i = 1; i <= m; i++) print names[i], rva[idx[names[i]]] }'
}

for pair in "build/win32 i686 PE32 executable (DLL)" "build/win64 x86_64 PE32+ executable (DLL)"; do
  set -- $pair
  dir=$1 arch=$2
  shift 2
  want="$*"
  dll=$dir/tavq.dll
  if [ ! -f "$dll" ]; then fail "$dll missing"; continue; fi
  desc=$(file -b "$dll")
  [[ "$desc" == *"$want"* ]] && pass "$dll: $desc" || fail "$dll: expected '$want', got '$desc'"
  objdump=$arch-w64-mingw32-objdump
  for dep in $("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case "$dep" in
      kernel32.dll | user32.dll | advapi32.dll | shell32.dll | shlwapi.dll | ole32.dll | msvcrt.dll) ;;
      *) fail "$dll needs $dep" ;;
    esac
  done
  table=$(exports "$dll" "$objdump")
  names=$(echo "$table" | awk '{print $1}' | sort | tr '\n' ' ')
  [ "$names" = "Delete DeleteW autorun autorunW run runW " ] && pass "$dll exports: $names" ||
    fail "$dll exports '$names'"
  rva() { echo "$table" | awk -v n="$1" '$1 == n { print $2 }'; }
  for same in "Delete DeleteW" "run autorun" "runW autorunW"; do
    set -- $same
    [ -n "$(rva "$1")" ] && [ "$(rva "$1")" = "$(rva "$2")" ] && pass "$dll: $1 and $2 share $(rva "$1")" ||
      fail "$dll: $1 at '$(rva "$1")', $2 at '$(rva "$2")'"
  done
  [ "$(rva run)" != "$(rva runW)" ] && [ "$(rva run)" != "$(rva Delete)" ] || fail "$dll: run, runW and Delete must be three entries"
  [ "$arch" = i686 ] || continue
  base=$("$objdump" -p "$dll" | awk '/^ImageBase/ { print $2 }')
  # first_ret <rva>: the first return instruction of the code at that address.
  first_ret() {
    local start=$((0x$base + 0x$1))
    "$objdump" -d "$dll" --start-address=$start --stop-address=$((start + 4096)) |
      grep -m1 -E '\sret[l]?\b' | sed -E 's/.*\s(ret[l]?\s*.*)$/\1/' | tr -s ' '
  }
  for entry in run runW; do
    r=$(first_ret "$(rva $entry)")
    [[ "$r" == *'$0x10'* ]] && pass "$dll: $entry returns with '$r'" || fail "$dll: $entry returns with '$r'"
  done
  r=$(first_ret "$(rva Delete)")
  [[ "$r" =~ ^ret[l]?\ *$ ]] && pass "$dll: Delete returns with '$r' (caller cleans)" || fail "$dll: Delete returns with '$r'"
done
exit $status
