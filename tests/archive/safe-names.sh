#!/usr/bin/env bash
# Runs kzpack create on a one-line list for every case of the safe-name table: a name marked
# "+" must pack, one marked "-" must be refused with a message that names the list's line.
# Usage: safe-names.sh KZPACK WORKDIR TABLE
set -u
kz=$1 work=$2 table=$3
rm -rf "$work"
mkdir -p "$work/root"
printf 'a' > "$work/root/a.txt"
cd "$work"
failed=0 count=0
while IFS= read -r row; do
  case "$row" in '#'*|'') continue ;; esac
  want=${row:0:1} name=${row:2}
  count=$((count + 1))
  printf 'a.txt -> %s\r\n' "$name" > list.lst
  rm -f out.kz
  "$kz" create -C root -o out.kz list.lst 2> err.txt
  status=$?
  if [ "$want" = + ] && [ "$status" -ne 0 ]; then
    echo "refused, should pack: [$name]: $(cat err.txt)"; failed=1
  elif [ "$want" = - ] && { [ "$status" -ne 1 ] || ! grep -q '^kzpack: list.lst:1: ' err.txt; }; then
    echo "packed or not refused by line, should be refused: [$name] (status $status): $(cat err.txt)"; failed=1
  fi
done < "$table"
echo "$count cases"
[ "$count" -gt 40 ] || { echo "the table was not read whole"; exit 1; }
exit $failed
