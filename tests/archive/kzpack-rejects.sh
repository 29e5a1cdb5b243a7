#!/usr/bin/env bash
# Runs kzpack create on a list that must be refused: exit status 1, one line of error that
# holds EXPECTED, and nothing left at the output path.
# Usage: kzpack-rejects.sh KZPACK WORKDIR EXPECTED LIST-FORMAT   (LIST-FORMAT is a printf format)
set -u
kz=$1 work=$2 expected=$3 format=$4
rm -rf "$work"
mkdir -p "$work/root/sub"
printf 'a' > "$work/root/a.txt"
# shellcheck disable=SC2059
printf "$format" > "$work/list.lst"
cd "$work"
"$kz" create -C root -o out.kz list.lst 2> err.txt
status=$?
cat err.txt
if [ "$status" -ne 1 ]; then echo "exit status $status, expected 1"; exit 1; fi
if [ "$(wc -l < err.txt)" -ne 1 ]; then echo "expected exactly one line of error"; exit 1; fi
if ! grep -qF -- "$expected" err.txt; then echo "expected the message to hold: $expected"; exit 1; fi
if ls out.kz* >/dev/null 2>&1; then echo "something was left at the output path"; ls out.kz*; exit 1; fi
exit 0
