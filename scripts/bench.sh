#!/usr/bin/env bash
# Benchmark of the shipped program under Wine (not a test: scripts/test.sh does not run it).
# Usage: scripts/bench.sh [build dir, default build/win32]
#   BENCH_RUNS=3      runs per row
#   BENCH_RUNS_TEN=1  runs of the ten named runs (each of them is ten runs of the program)
#
# Needs the Windows build and scripts/setup.sh's packages:
#   bash scripts/setup.sh
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake && cmake --build build/win32 -j2
#   bash scripts/bench.sh
#
# Two workstations are seeded in bulk (the drivers' files written to the driver folder, the printers and
# drivers imported with one .reg file, as e2e/seed.sh does), checked with e2e/spoolcheck.c, and kept as
# a copy of the prefix that every measured run starts from:
#   large: 2000 printers, 1000 of them on five Brontal drivers ("Brontal Solo" alone on its own driver,
#          recognised by a .UIM; 999 "Brontal Fleet" printers on two .UIM and two marker drivers), 1000
#          on five plain PostScript drivers
#   small: ten Brontal printers on three Brontal drivers, and two plain printers
# Rows (a markdown table on stdout, the median of BENCH_RUNS runs):
#   - the named removal `Trellin.exe "Brontal Solo"` on the large workstation, and e2e/lister.c there: the
#     naive tool that enumerates the printers and opens each one to read its driver (level 2)
#   - `Trellin.exe /all` on the small workstation, and ten named runs of its ten Brontal printers one
#     after the other (their times added, the largest of their peaks); "n/a" when the build does not know
#     /all yet (exit code 87)
# Time and memory are measured by e2e/peakmem.c, a Windows launcher inside the prefix: the wall-clock time
# from CreateProcess to the end of the process, and the child's PeakWorkingSetSize and PeakPagefileUsage
# (GetProcessMemoryInfo), read every 10 ms while it runs (Wine answers them for a live process only, from
# its Linux process's status: the high-water marks of its resident and virtual size).
set -uo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/win32}
runs=${BENCH_RUNS:-3}
runs_ten=${BENCH_RUNS_TEN:-1}
. e2e/lib.sh

e2e_require_build Trellin.exe tavq.dll us_res.dll
# A kernel without 32-bit support cannot start Wine's 32-bit loader at all.
"$E2E_WINE" --version >/dev/null 2>&1 ||
  e2e_die "$E2E_WINE does not start here (a kernel without 32-bit programs?): measure the 64-bit build, scripts/bench.sh build/win64"
e2e_begin
e2e_start_xvfb
e2e_prepare_template
peakmem=$(e2e_build_tool peakmem -lpsapi) || e2e_die "cannot build peakmem"
lister=$(e2e_build_tool lister -lwinspool) || e2e_die "cannot build lister"
spoolcheck=$(e2e_build_tool spoolcheck -lwinspool) || e2e_die "cannot build spoolcheck"
drvlib=$(e2e_build_driver_library) || e2e_die "cannot build drvlib"

PRINT_KEY='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print'

# ---- seeding ---------------------------------------------------------------------------
# bench_driver <name> <stem> uim|marker|plain: the driver's own files (<stem>.PPD, <stem>UI.DLL, <stem>.HLP,
# <stem>.INI; the .UIM or the marker for a Brontal one; its library <stem>.DLL) and its key; the
# Brontal drivers share PSCRIPT5.DLL and TAVQ.DLL, the plain ones PSCRIPT5.DLL.
bench_driver() {
  local name=$1 stem=$2 kind=$3 ppd
  ppd="*PPD-Adobe: \"4.3\"\r\n*Manufacturer: \"${name%% *}\"\r\n*ModelName: \"$name\"\r\n"
  case "$kind" in
    marker) ppd+="*OrvinexExchange: True\r\n" ;;
    uim) printf '[UIM] model=%s\r\n' "$stem" >"$drvdir/$stem.UIM" ;;
  esac
  printf "$ppd" >"$drvdir/$stem.PPD"
  printf 'placeholder configuration module\r\n' >"$drvdir/${stem}UI.DLL"
  printf 'placeholder help\r\n' >"$drvdir/$stem.HLP"
  printf '[%s]\r\nTrays=2\r\n' "$name" >"$drvdir/$stem.INI"
  [ "$kind" = plain ] || cp "$drvlib" "$drvdir/$stem.DLL"
  local deps=(PSCRIPT5.DLL "$stem.INI")
  [ "$kind" = plain ] || deps+=(TAVQ.DLL)
  {
    echo
    echo "[$E2E_DRIVERS_KEY\\$name]"
    echo "\"Configuration File\"=\"${stem}UI.DLL\""
    echo "\"Data File\"=\"$stem.PPD\""
    echo '"Driver"="PSCRIPT5.DLL"'
    echo "\"Help File\"=\"$stem.HLP\""
    echo "\"Dependent Files\"=$(e2e_multi_sz "${deps[@]}")"
    echo '"Monitor"=""'
    echo '"Datatype"=""'
    echo '"Version"=dword:00000003'
  } >>"$reg"
}

# bench_printer <name> <driver> <port>: the printer's key; its per-user Devices and PrinterPorts values
# are gathered in $devices and $ports.
bench_printer() {
  {
    echo
    echo "[$PRINT_KEY\\Printers\\$1]"
    echo "\"Name\"=\"$1\""
    echo "\"Printer Driver\"=\"$2\""
    echo "\"Port\"=\"$3\""
    echo '"Print Processor"="WinPrint"'
    echo '"Datatype"="RAW"'
    echo '"Attributes"=dword:00000040'
    echo '"Share Name"=""'
    echo '"Priority"=dword:00000001'
    echo '"Status"=dword:00000000'
  } >>"$reg"
  devices+="\"$1\"=\"winspool,$3\""$'\n'
  ports+="\"$1\"=\"winspool,$3,15,45\""$'\n'
}

# bench_workstation large|small <snapshot dir>: a fresh prefix with Trellin installed and that workstation
# seeded and checked, copied to <snapshot dir> once its server has written the registry.
bench_workstation() {
  local kind=$1 snap=$2 i n out app_dir t0
  t0=$(e2e_now_ms)
  e2e_new_prefix
  app_dir="$(e2e_c_drive)/Program Files/Trellin"
  mkdir -p "$app_dir"
  cp "$build_dir/Trellin.exe" "$build_dir/tavq.dll" "$build_dir"/*_res.dll "$app_dir/"
  drvdir="$(e2e_c_drive)/windows/system32/spool/drivers/$E2E_DRIVER_FOLDER/3"
  mkdir -p "$drvdir"
  printf 'placeholder PostScript driver\r\n' >"$drvdir/PSCRIPT5.DLL"
  cp "$build_dir/tavq.dll" "$drvdir/TAVQ.DLL"
  reg=$E2E_TMP/$kind.reg
  echo 'REGEDIT4' >"$reg"
  devices= ports=
  brontal=()
  if [ "$kind" = large ]; then
    bench_driver 'Brontal Solo' BRSOLO uim
    bench_printer 'Brontal Solo' 'Brontal Solo' LPT1:
    brontal+=('Brontal Solo')
    local fleet=('Brontal Fleet 1 uim' 'Brontal Fleet 2 uim' 'Brontal Fleet 3 marker' 'Brontal Fleet 4 marker')
    for i in 1 2 3 4; do bench_driver "${fleet[i-1]}" "BRF$i" "${fleet[i-1]##* }"; done
    for i in $(seq 1 999); do
      n=$(printf 'Brontal Fleet %04d' "$i")
      bench_printer "$n" "${fleet[i % 4]}" LPT1:
      brontal+=("$n")
    done
    for i in 1 2 3 4 5; do bench_driver "Plain PS $i" "PLF$i" plain; done
    for i in $(seq 1 1000); do bench_printer "$(printf 'Plain Fleet %04d' "$i")" "Plain PS $((i % 5 + 1))" LPT2:; done
  else
    bench_driver 'Brontal Office uim' BROU uim
    bench_driver 'Brontal Office marker' BROM marker
    bench_driver 'Brontal Office solo' BROS uim
    for i in $(seq 1 9); do
      n=$(printf 'Brontal Office %02d' "$i")
      bench_printer "$n" "Brontal Office $([ $((i % 2)) = 0 ] && echo uim || echo marker)" LPT1:
      brontal+=("$n")
    done
    bench_printer 'Brontal Office 10' 'Brontal Office solo' LPT1:
    brontal+=('Brontal Office 10')
    bench_driver 'Plain PS 1' PLF1 plain
    bench_printer 'Plain Office 1' 'Plain PS 1' LPT2:
    bench_printer 'Plain Office 2' 'Plain PS 1' LPT2:
  fi
  {
    echo
    echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Devices]'
    printf '%s' "$devices"
    echo
    echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\PrinterPorts]'
    printf '%s' "$ports"
    echo
  } >>"$reg"
  timeout -k 5 120 "$E2E_WINE" regedit /S "Z:${reg//\//\\}" || e2e_die "importing the $kind workstation failed"
  out=$(e2e_run 300 "$spoolcheck") || e2e_die "spoolcheck failed on the $kind workstation"
  local total brontal_listed
  total=$(sed -n 's/^total \([0-9]*\)$/\1/p' <<<"$out")
  brontal_listed=$(grep -c '^driver .* name=Brontal ' <<<"$out")
  e2e_log "$kind workstation: the spooler lists $total printers, $brontal_listed on Brontal drivers"
  if [ "$kind" = large ]; then
    [ "$total" = 2000 ] && [ "$brontal_listed" = 1000 ] || e2e_die "expected 2000 printers, 1000 on Brontal drivers"
  else
    [ "$total" = 12 ] && [ "$brontal_listed" = 10 ] || e2e_die "expected 12 printers, 10 on Brontal drivers"
  fi
  # The registry reaches the disk when the server exits.
  timeout 60 wineserver -w || e2e_die "wineserver did not end"
  rm -rf "$snap"
  cp -a "$WINEPREFIX" "$snap"
  e2e_log "$kind workstation seeded in $(( $(e2e_now_ms) - t0 )) ms"
}

# bench_restore <snapshot dir>: the run's prefix as the snapshot holds it, with a running server.
bench_restore() {
  WINEPREFIX=$E2E_PREFIX timeout 20 wineserver -k 2>/dev/null || true
  WINEPREFIX=$E2E_PREFIX timeout 20 wineserver -w 2>/dev/null || true
  rm -rf "$E2E_PREFIX"
  cp -a "$1" "$E2E_PREFIX"
  export WINEPREFIX=$E2E_PREFIX
  e2e_start_wineserver
}

# ---- measuring -------------------------------------------------------------------------
# bench_measure <command line>: runs it through peakmem; sets M_EXIT, M_MS, M_WS_KB, M_PF_KB.
bench_measure() {
  local out
  out=$(PEAKMEM_CMD=$1 e2e_run 400 "$peakmem" 360)
  M_EXIT=$(sed -n 's/^exit \([0-9]*\)$/\1/p' <<<"$out")
  M_MS=$(sed -n 's/^wall_ms \([0-9]*\)$/\1/p' <<<"$out")
  M_WS_KB=$(sed -n 's/^peak_working_set_kb \([0-9]*\)$/\1/p' <<<"$out")
  M_PF_KB=$(sed -n 's/^peak_pagefile_kb \([0-9]*\)$/\1/p' <<<"$out")
  if [ -z "$M_EXIT" ] || [ -z "$M_MS" ]; then
    e2e_log "measuring '$1' failed: $out"
    M_EXIT=none M_MS=0 M_WS_KB=0 M_PF_KB=0
  fi
}

median() { sort -n | awk '{v[NR]=$1} END {if (NR == 0) print 0; else if (NR % 2) print v[(NR+1)/2]; else print int((v[NR/2]+v[NR/2+1])/2)}'; }
secs() { awk -v ms="$1" 'BEGIN {printf "%.2f", ms / 1000}'; }
mb() { awk -v kb="$1" 'BEGIN {printf "%.1f", kb / 1024}'; }

rows=()
# bench_row <label> <runs> <exit codes> <ms list> <ws kb list> <pf kb list>
bench_row() {
  local ms ws pf
  ms=$(tr ' ' '\n' <<<"$4" | grep . | median)
  ws=$(tr ' ' '\n' <<<"$5" | grep . | median)
  pf=$(tr ' ' '\n' <<<"$6" | grep . | median)
  rows+=("| $1 | $2 | $(secs "$ms") | $(mb "$ws") | $(mb "$pf") | $3 |")
  ROW_MS=$ms ROW_WS=$ws
}

t_start=$(e2e_now_ms)
snap_large=$E2E_TMP/snap-large
snap_small=$E2E_TMP/snap-small
bench_workstation large "$snap_large"
large_brontal=("${brontal[@]}")
bench_workstation small "$snap_small"
small_brontal=("${brontal[@]}")

# Named removal of one Brontal printer among 2000, each run on the workstation as seeded.
ms= ws= pf= codes=
for r in $(seq "$runs"); do
  bench_restore "$snap_large"
  bench_measure "$E2E_APP Brontal Solo"
  ms+=" $M_MS" ws+=" $M_WS_KB" pf+=" $M_PF_KB" codes+=" $M_EXIT"
  e2e_log "named removal at 2000 printers, run $r: exit $M_EXIT, $M_MS ms, $M_WS_KB KB"
done
bench_row '`Trellin.exe Brontal Solo`, 2000 printers' "$runs" "${codes# }" "$ms" "$ws" "$pf"
named_ms=$ROW_MS named_ws=$ROW_WS

# The naive lister on the same printers (it changes nothing: one workstation for all its runs).
bench_restore "$snap_large"
ms= ws= pf= codes=
for r in $(seq "$runs"); do
  bench_measure "\"Z:${lister//\//\\}\""
  ms+=" $M_MS" ws+=" $M_WS_KB" pf+=" $M_PF_KB" codes+=" $M_EXIT"
  e2e_log "lister at 2000 printers, run $r: exit $M_EXIT, $M_MS ms, $M_WS_KB KB"
done
bench_row 'plain lister (EnumPrinters, then OpenPrinter + GetPrinterDriver level 2 + ClosePrinter each), 2000 printers' \
  "$runs" "${codes# }" "$ms" "$ws" "$pf"
lister_ms=$ROW_MS

# /all on ten Brontal printers, against ten named runs of the same printers.
ms= ws= pf= codes= all_known=1
for r in $(seq "$runs"); do
  bench_restore "$snap_small"
  bench_measure "$E2E_APP /all"
  if [ "$M_EXIT" = 87 ]; then
    all_known=0
    e2e_log "/all: exit 87, the build does not know it"
    break
  fi
  ms+=" $M_MS" ws+=" $M_WS_KB" pf+=" $M_PF_KB" codes+=" $M_EXIT"
  e2e_log "/all on ten Brontal printers, run $r: exit $M_EXIT, $M_MS ms, $M_WS_KB KB"
done
if [ $all_known = 1 ]; then
  bench_row '`Trellin.exe /all`, ten Brontal printers' "$runs" "${codes# }" "$ms" "$ws" "$pf"
else
  rows+=('| `Trellin.exe /all`, ten Brontal printers | - | n/a | n/a | n/a | 87 (the build does not know /all) |')
fi

ms= ws= pf= codes=
for r in $(seq "$runs_ten"); do
  bench_restore "$snap_small"
  total=0 peak_ws=0 peak_pf=0 run_codes=
  for name in "${small_brontal[@]}"; do
    bench_measure "$E2E_APP $name"
    total=$((total + M_MS))
    [ "$M_WS_KB" -gt "$peak_ws" ] && peak_ws=$M_WS_KB
    [ "$M_PF_KB" -gt "$peak_pf" ] && peak_pf=$M_PF_KB
    run_codes+="$M_EXIT,"
  done
  ms+=" $total" ws+=" $peak_ws" pf+=" $peak_pf" codes+=" $(tr ',' '\n' <<<"${run_codes%,}" | sort -u | paste -sd/)"
  e2e_log "ten named runs, run $r: exit codes ${run_codes%,}, $total ms, $peak_ws KB"
done
bench_row 'ten named runs `Trellin.exe <printer>`, one per Brontal printer of the same ten (times added, largest peak)' \
  "$runs_ten" "${codes# }" "$ms" "$ws" "$pf"

echo
echo "Benchmark of $(basename "$build_dir") under $("$E2E_WINE" --version 2>/dev/null) ($E2E_ARCH prefix), the median of the runs, $(date -u +%Y-%m-%d):"
echo
echo '| what | runs | wall-clock s | peak working set MB | peak pagefile MB | exit codes |'
echo '|---|---|---|---|---|---|'
printf '%s\n' "${rows[@]}"
echo
goal_ms=$((lister_ms + 5500))
echo "Goal: the named removal at 2000 printers within the lister's time + 5.5 s ($(secs "$goal_ms") s):" \
  "$(secs "$named_ms") s, $([ "$named_ms" -le "$goal_ms" ] && echo met || echo 'not met');" \
  "peak working set at most 64 MB: $(mb "$named_ws") MB, $([ "$named_ws" -le 65536 ] && echo met || echo 'not met')."
e2e_log "bench done in $(( ($(e2e_now_ms) - t_start) / 1000 )) s"
