#!/usr/bin/env bash
# Seeds a Wine prefix with a workstation that has printers and drivers.
# Usage: seed.sh <prefix> [9x]      (a running wineserver is reused)
# SEED_DRIVER_ARCH=win32 in a 64-bit (WoW64) prefix: the drivers of the 32-bit programs' environment
# ("Windows NT x86", ...\w32x86\3), still written by the prefix's own 64-bit regedit.
#
# Drivers are written the way the spooler stores them for the prefix's architecture
# ("Windows NT x86" in a 32-bit prefix, "Windows x64" in a 64-bit one; Version-3: bare file names
# in the registry, files in C:\windows\system32\spool\drivers\w32x86\3 or ...\x64\3).
# With "9x", for a program that Wine tells it runs on Windows 98: the drivers of the environment
# "Windows 4.0", files in the folder that GetPrinterDriverDirectory names there (...\drivers\win40),
# each driver twice: under Drivers\<name> with bare file names, as Windows 9x keeps it and the program
# reads it, and under Drivers\Version-0\<name>, where Wine's spooler looks, with the full paths that
# GetPrinterDriver returns on Windows 9x.
# Registry plus files is used instead
# of AddPrinterDriverExA because Wine's AddPrinterDriverExA copies nothing here
# while still reporting success; the spooler reads these keys back as written
# (check with spoolcheck.exe).
#
# Workstation:
#   printer                         driver             data file     recognised by
#   Brontal 4500 PS                 Brontal 4500 PS    BR4500.PPD    BR4500.UIM beside it
#   Brontal 7200 Color (shared)     Brontal 7200 PCL   BR7200.PPD    "*OrvinexExchange: True" inside
#   Brontal 7200 Color (Office 2)   Brontal 7200 PCL   (same driver)
#   Office Laser                    Generic Laser      genlaser.gpd  not: no "PPD" in the path,
#                                                                    although the marker is inside
#   Plain PS Printer                Plain PS           PLAIN.PPD     not: no marker, no .UIM
# Brontal 4500 PS and Plain PS share PSCRIPT5.DLL.
#
# Expected listing in the main dialog (list 1002, sorted, index 0 selected):
#   Brontal 4500 PS
#   Brontal 7200 Color
#   Brontal 7200 Color (Office 2)
set -euo pipefail
prefix=${1:?usage: seed.sh <prefix> [9x]}
family=${2:-nt}
. "$(dirname "$0")/lib.sh"
arch=$(e2e_prefix_arch "$prefix") || { echo "seed.sh: $prefix is not a Wine prefix" >&2; exit 1; }
e2e_use_arch "${SEED_DRIVER_ARCH:-$arch}"
if [ "$E2E_ARCH" != "$arch" ]; then
  # The prefix's own loader for its tools, and its own architecture for Wine.
  [ "$arch" = win64 ] || { echo "seed.sh: 64-bit drivers in a 32-bit prefix do not exist" >&2; exit 1; }
  E2E_WINE=/usr/lib/wine/wine64
  export WINEARCH=$arch
fi
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}

print_key='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print'
case "$family" in
  nt)
    drvdir=$prefix/drive_c/windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3
    drivers_key=$E2E_DRIVERS_KEY
    ;;
  9x)
    drvdir=$prefix/drive_c/windows/system32/spool/drivers/win40
    drvdir_win='C:\windows\system32\spool\drivers\win40'
    drivers_key="$print_key\\Environments\\Windows 4.0\\Drivers"
    ;;
  *) echo "seed.sh: family '$family' is neither nt nor 9x" >&2; exit 1 ;;
esac
mkdir -p "$drvdir"

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
echo 'REGEDIT4' >"$reg"


# A placeholder file in the driver folder, unless it is there already (shared files).
put_file() {
  local name=$1 text=$2
  [ -e "$drvdir/$name" ] || printf '%s\r\n' "$text" >"$drvdir/$name"
}

# driver_values <folder> <configuration file> <data file> <driver file> <help file> [dependent files...]:
# the values of a driver's key naming its files, each joined to <folder> (empty: bare names).
driver_values() {
  local dir=$1 f dependent=()
  shift
  echo "\"Configuration File\"=\"${dir//\\/\\\\}$1\""
  echo "\"Data File\"=\"${dir//\\/\\\\}$2\""
  echo "\"Driver\"=\"${dir//\\/\\\\}$3\""
  echo "\"Help File\"=\"${dir//\\/\\\\}$4\""
  shift 4
  for f in "$@"; do dependent+=("$dir$f"); done
  echo "\"Dependent Files\"=$(e2e_multi_sz "${dependent[@]}")"
  echo '"Monitor"=""'
  echo '"Datatype"=""'
}

# add_driver <name> <configuration file> <data file> <driver file> <help file> [dependent files...]
add_driver() {
  local name=$1
  shift
  {
    echo
    echo "[$drivers_key\\$name]"
    driver_values '' "$@"
    if [ "$family" = 9x ]; then
      echo
      echo "[$drivers_key\\Version-0\\$name]"
      driver_values "$drvdir_win\\" "$@"
      echo '"Version"=dword:00000000'
    else
      echo '"Version"=dword:00000003'
    fi
  } >>"$reg"
}

# add_printer <name> <driver> <port> <attributes> [share name]
add_printer() {
  local name=$1 driver=$2 port=$3 attr=$4 share=${5:-}
  {
    echo
    echo "[$print_key\\Printers\\$name]"
    echo "\"Name\"=\"$name\""
    echo "\"Printer Driver\"=\"$driver\""
    echo "\"Port\"=\"$port\""
    echo '"Print Processor"="WinPrint"'
    echo '"Datatype"="RAW"'
    echo "\"Attributes\"=dword:$(printf '%08x' "$attr")"
    echo "\"Share Name\"=\"$share\""
    echo '"Description"=""'
    echo '"Location"=""'
    echo '"Parameters"=""'
    echo '"Separator File"=""'
    echo '"Priority"=dword:00000001'
    echo '"Default Priority"=dword:00000000'
    echo '"StartTime"=dword:00000000'
    echo '"UntilTime"=dword:00000000'
    echo '"Status"=dword:00000000'
    # Per-user entries that AddPrinter writes too (and DeletePrinter removes).
    echo
    echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Devices]'
    echo "\"$name\"=\"winspool,$port\""
    echo
    echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\PrinterPorts]'
    echo "\"$name\"=\"winspool,$port,15,45\""
  } >>"$reg"
}

PRINTER_ATTRIBUTE_SHARED=0x08
PRINTER_ATTRIBUTE_LOCAL=0x40

# --- Brontal 4500 PS: recognised by BR4500.UIM beside its data file ----------------
put_file BR4500.PPD '*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*Manufacturer: "Brontal"
*ModelName: "Brontal 4500 PS"
*NickName: "Brontal 4500 PS"'
put_file BR4500.UIM '[UIM] model=4500'
put_file BRUI.DLL 'placeholder configuration module'
put_file PSCRIPT5.DLL 'placeholder PostScript driver'
put_file BRHELP.HLP 'placeholder help'
put_file BR4500.INI '[Brontal 4500]
Trays=2'
put_file TAVQ.DLL 'placeholder companion library'
add_driver 'Brontal 4500 PS' BRUI.DLL BR4500.PPD PSCRIPT5.DLL BRHELP.HLP TAVQ.DLL BR4500.INI
add_printer 'Brontal 4500 PS' 'Brontal 4500 PS' 'LPT1:' $((PRINTER_ATTRIBUTE_LOCAL))

# --- Brontal 7200 PCL: recognised by the marker inside its data file ------------------
put_file BR7200.PPD '*PPD-Adobe: "4.3"
*Manufacturer: "Brontal"
*ModelName: "Brontal 7200 Color"
*OrvinexExchange: True
*NickName: "Brontal 7200 Color"'
put_file BR72UI.DLL 'placeholder configuration module'
put_file UNIDRV.DLL 'placeholder universal driver'
put_file BR7200.HLP 'placeholder help'
put_file BR7200.INI '[Brontal 7200]
Color=1'
add_driver 'Brontal 7200 PCL' BR72UI.DLL BR7200.PPD UNIDRV.DLL BR7200.HLP BR7200.INI
add_printer 'Brontal 7200 Color' 'Brontal 7200 PCL' 'LPT1:' \
  $((PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED)) 'BR7200'
add_printer 'Brontal 7200 Color (Office 2)' 'Brontal 7200 PCL' 'LPT2:' $((PRINTER_ATTRIBUTE_LOCAL))

# --- Generic Laser: marker inside, but the data file path has no "PPD" ----------------
put_file genlaser.gpd '*GPD-Like: "1.0"
*OrvinexExchange: True
*ModelName: "Generic Laser"'
put_file UNIDRVUI.DLL 'placeholder configuration module'
put_file UNIDRV.HLP 'placeholder help'
add_driver 'Generic Laser' UNIDRVUI.DLL genlaser.gpd UNIDRV.DLL UNIDRV.HLP
add_printer 'Office Laser' 'Generic Laser' 'FILE:' $((PRINTER_ATTRIBUTE_LOCAL))

# --- Plain PS: ordinary PostScript driver, no marker, no .UIM --------------------------
put_file PLAIN.PPD '*PPD-Adobe: "4.3"
*Manufacturer: "Plain"
*ModelName: "Plain PS"'
put_file PS5UI.DLL 'placeholder configuration module'
put_file PSCRIPT.HLP 'placeholder help'
add_driver 'Plain PS' PS5UI.DLL PLAIN.PPD PSCRIPT5.DLL PSCRIPT.HLP
add_printer 'Plain PS Printer' 'Plain PS' 'LPT3:' $((PRINTER_ATTRIBUTE_LOCAL))

echo >>"$reg"
timeout -k 5 60 "$E2E_WINE" regedit /S "Z:${reg//\//\\}"
