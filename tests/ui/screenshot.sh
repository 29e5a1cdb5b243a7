#!/usr/bin/env bash
# Shows the toolkit's sample page on a private Xvfb and saves a picture of the screen.
# Usage: KZ_BUILD=<x86_64 build folder> tests/ui/screenshot.sh [PNG]
# (build the target ui_toolkit_demo first; the default picture is shots/toolkit_demo.png)
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
: "${KZ_BUILD:=$top/build/x86_64}"
export KZ_BUILD
out=${1:-$top/shots/toolkit_demo.png}
demo="$KZ_BUILD/tests/ui/ui_toolkit_demo.exe"
[ -f "$demo" ] || { echo "no $demo: build ui_toolkit_demo first" >&2; exit 1; }
. "$top/scripts/wine-env"
demo_pid=""
finish() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  kz_stop
}
trap finish EXIT
kz_start_xvfb
kz_start_wine
# The demo quits by itself after the given number of seconds.
kz_wine "$demo" 12 &
demo_pid=$!
sleep 6
mkdir -p "$(dirname "$out")"
import -window root "$out"
wait "$demo_pid" || true
demo_pid=""
echo "saved $out"
