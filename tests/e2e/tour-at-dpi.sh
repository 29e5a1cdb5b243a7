#!/usr/bin/env bash
# The screenshot tour at another screen DPI: Wine takes it from
# HKCU\Control Panel\Desktop\LogPixels when a program starts. The prefix is set back to 96 DPI
# afterwards, whatever the tour's result.
# Usage: tour-at-dpi.sh WINE_RUN DPI DRIVER ARGUMENTS...
set -u
run=$1
dpi=$2
shift 2
set_dpi() {
  "$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
"$run" "$@"
