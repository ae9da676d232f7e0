#!/usr/bin/env bash
# Settings applied once to the template Wine prefix. The template is rebuilt
# whenever this file changes (its hash is part of the template stamp).
# Usage: prefix-settings.sh <prefix>   (wineserver on PATH, the prefix's loader in E2E_WINE or wine on
# PATH; DISPLAY optional)
set -euo pipefail
prefix=${1:?prefix}
export WINEPREFIX=$prefix WINEDEBUG=-all

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
{
  echo 'REGEDIT4'
  echo
  # A crash must end the process (rc 5) instead of waiting behind a debugger dialog.
  echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]'
  echo '"Debugger"="false"'
  echo
  # No window manager under Xvfb: Wine draws captions and frames itself.
  echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
  echo '"Decorated"="N"'
  # Hiding a managed window waits 2 s for a window manager's WM_STATE change
  # that never comes under Xvfb; unmanaged windows close at once.
  echo '"Managed"="N"'
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
  echo '"Arial"="Liberation Sans"'
  # Japanese dialogs ask for MS UI Gothic; map it only when the IPA font is there.
  if fc-list -q 'IPAGothic'; then
    echo '"MS UI Gothic"="IPAGothic"'
  fi
  echo
} >"$reg"
"${E2E_WINE:-wine}" regedit /S "Z:${reg//\//\\}"

# Debian's Wine 8 never loads the fonts of its data folder (Tahoma for
# "MS Shell Dlg", Marlett for the caption buttons...): dialogs would fall back
# to another face and change size. Wine does load C:\windows\Fonts.
if compgen -G '/usr/share/wine/fonts/*' >/dev/null; then
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
else
  echo "prefix-settings: /usr/share/wine/fonts is empty (package fonts-wine missing): dialogs will use fallback fonts" >&2
fi

# wineboot links Desktop, Documents... to $HOME: make them real folders so
# anything the program writes there stays inside the prefix.
for d in "$prefix"/drive_c/users/*/; do
  for link in "$d"*; do
    if [ -L "$link" ]; then
      rm -f "$link"
      mkdir -p "$link"
    fi
  done
done
