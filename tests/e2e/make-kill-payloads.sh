#!/usr/bin/env bash
# Two payloads for the kill test, packed into OUT/{new,old}.kzarchive with their lists:
# "new" is the built product with many small files (a kill lands among them) and two large
# ones (each a block of its own); "old" is an earlier version of it in which every file
# differs: programs carry bytes more (they still run), data files are shorter.
#
#   make-kill-payloads.sh TOP KZPACK STAGE OUT
set -eu
top=$1 kzpack=$2 stage=$3 out=$4
rm -rf "$out/new" "$out/old"
mkdir -p "$out"
cp -r "$stage" "$out/new"
cp "$top/payload/RESOURCES" "$out/RESOURCES"
cp "$top/payload/FILES" "$out/FILES"
mkdir -p "$out/new/extra"
for i in $(seq -w 1 120); do
  head -c $((20000 + 10#$i * 97)) /dev/urandom >"$out/new/extra/small$i.bin"
  printf 'extra\\small%s.bin\r\n' "$i" >>"$out/FILES"
  if [ "$i" = 060 ] || [ "$i" = 120 ]; then
    head -c 3000000 /dev/urandom >"$out/new/extra/large$i.bin"
    printf 'extra\\large%s.bin\r\n' "$i" >>"$out/FILES"
  fi
done
cp -r "$out/new" "$out/old"
(cd "$out/old" && find . -type f | while read -r f; do
  case "$f" in
    ./resources/msgcatalog/* | ./resources/graphic/icons/*) ;; # the setup's own texts and banners
    ./bin/*) head -c 4096 /dev/zero >>"$f" ;;
    *.rtf) printf '\r\n' >>"$f" ;;
    */PlayerVersion.txt) printf '4.1.0\r\n' >"$f" ;;
    *) truncate -s $(($(stat -c %s "$f") * 2 / 3)) "$f" ;;
  esac
done)
for which in new old; do
  cmake -DKZPACK="$kzpack" -DROOT="$out/$which" -DRESOURCES_LIST="$out/RESOURCES" -DFILES_LIST="$out/FILES" \
        -DPACK_LIST="$out/$which.pack" -DARCHIVE="$out/$which.kzarchive" -P "$top/payload/cmake/PackArchive.cmake"
done
