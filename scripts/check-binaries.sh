#!/usr/bin/env bash
# Checks the Windows deliverables' formats and that they need no mingw runtime library.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
check() {  # check <file> <expected `file` output fragment>
  local desc
  desc=$(file -b "$1" 2>/dev/null)
  if [[ "$desc" == *"$2"* ]]; then
    echo "ok   $1: $desc"
  else
    echo "FAIL $1: expected '$2', got '$desc'"
    status=1
  fi
}
check build/win32/Trellin.exe "PE32 executable (GUI) Intel 80386"
check build/win64/Trellin.exe "PE32+ executable (GUI) x86-64"
# The eight language libraries: present beside each program, of its architecture, importing nothing.
languages="us_res jp_res fr_res it_res gr_res sp_res du_res bp_res"
for pair in "build/win32 i686 PE32 Intel 80386" "build/win64 x86_64 PE32+ x86-64"; do
  set -- $pair
  dir=$1 prefix=$2 format=$3
  shift 3
  for lang in $languages; do
    lib=$dir/$lang.dll
    check "$lib" "$format executable (DLL) (GUI) $*"
    if [ -f "$lib" ] && "$prefix-w64-mingw32-objdump" -p "$lib" | grep -q 'DLL Name:'; then
      echo "FAIL $lib imports a library; a language library holds resources only"
      status=1
    fi
    if [ -f "$lib" ] && ! "$prefix-w64-mingw32-objdump" -h "$lib" | grep -q ' \.rsrc '; then
      echo "FAIL $lib has no resource section"
      status=1
    fi
  done
done
for pair in "build/win32 i686" "build/win64 x86_64"; do
  set -- $pair
  deps=$("$2-w64-mingw32-objdump" -p "$1/Trellin.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $deps; do
    case "$dll" in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | winspool.drv | msvcrt.dll | shell32.dll | ole32.dll) ;;
      *) echo "FAIL $1/Trellin.exe needs $dll"; status=1 ;;
    esac
  done
done
bash scripts/check-tavq.sh || status=1
exit $status
