#!/usr/bin/env bash
# The screenshot tour at another screen DPI: Wine takes it from
# HKCU\Control Panel\Desktop\LogPixels when its desktop starts, as Windows takes a new DPI only
# at the next log-on. So the Wine session is ended after each change, and the run's desktop
# keeper (tests/keep_desktop.exe) started again once the prefix is back at 96 DPI, whatever the
# tour's result.
# Usage: tour-at-dpi.sh WINE_RUN DPI DRIVER ARGUMENTS...
set -u
run=$1
dpi=$2
shift 2
keeper="$(dirname "$run")/tests/keep_desktop.exe"
# The new session's wineserver is started here, apart from this test's output: one that a
# program of the test started would hold the output open for as long as the keeper lives.
set_dpi() {
  "$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  "$run" wineserver -k </dev/null >/dev/null 2>&1
  "$run" wineserver -w </dev/null >/dev/null 2>&1
  "$run" wineserver -p </dev/null >/dev/null 2>&1
}
restore() {
  set_dpi 96
  # The session's services (services.exe, rpcss and the others) are started here too, before the
  # keeper and the next test: started by the next test's first program, they would hold that
  # test's output open until the run ends, and ctest would wait for it until its time-out.
  "$run" wineboot </dev/null >/dev/null 2>&1
  if [ -f "$keeper" ]; then
    setsid "$run" "$keeper" </dev/null >/dev/null 2>&1 &
  fi
}
trap restore EXIT
set_dpi "$dpi"
"$run" "$@"
