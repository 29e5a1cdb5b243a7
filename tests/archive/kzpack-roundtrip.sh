#!/usr/bin/env bash
# Packs a few hundred files of varied sizes and names, verifies the archive, unpacks it and
# compares every file byte for byte; then checks that damaged archives fail verification.
# Usage: kzpack-roundtrip.sh KZPACK WORKDIR
set -eu
kz=$1 work=$2
rm -rf "$work"
mkdir -p "$work/root"
cd "$work"

count=320
: > list.lst
for i in $(seq 1 $count); do
  dir="d$(( i % 7 ))/sub $(( i % 3 ))"
  mkdir -p "root/$dir"
  case $(( i % 10 )) in
    0) host="café $i.bin"; listed="caf\\351 $i.bin" ;;     # Windows-1252 letters
    1) host="empty $i";    listed="empty $i" ;;
    *) host="file$i.dat";  listed="file$i.dat" ;;
  esac
  case $(( i % 10 )) in
    1) : > "root/$dir/$host" ;;
    5) head -c $(( 150000 + i * 13 )) /dev/urandom > "root/$dir/$host" ;;   # over a block
    6) yes "line $i" | head -c $(( i * 97 )) > "root/$dir/$host" ;;
    *) head -c $(( (i * 7919) % 4096 )) /dev/urandom > "root/$dir/$host" ;;
  esac
  src=$(printf '%s' "$dir" | tr '/' '\\')
  # Mix both list forms, and padding around the arrow.
  if [ $(( i % 2 )) -eq 0 ]; then
    printf '%s\\%b  ->   out\\%s\\%b\r\n' "$src" "$listed" "$src" "$listed" >> list.lst
  else
    printf '%s\\%b\n' "$src" "$listed" >> list.lst       # LF alone, no arrow
  fi
done

"$kz" create -C root -o archive.kz list.lst
"$kz" verify archive.kz
"$kz" create -C root -o again.kz list.lst
cmp archive.kz again.kz                                  # laying down is deterministic
entries=$("$kz" list archive.kz | wc -l)
[ "$entries" -eq $count ] || { echo "listed $entries entries, expected $count"; exit 1; }
blocks=$("$kz" list archive.kz | awk '{print $1}' | sort -un | wc -l)
[ "$blocks" -gt 5 ] || { echo "only $blocks blocks"; exit 1; }

"$kz" extract archive.kz out
checked=0
for i in $(seq 1 $count); do
  dir="d$(( i % 7 ))/sub $(( i % 3 ))"
  case $(( i % 10 )) in
    0) host="café $i.bin" ;;
    1) host="empty $i" ;;
    *) host="file$i.dat" ;;
  esac
  if [ $(( i % 2 )) -eq 0 ]; then extracted="out/out/$dir/$host"; else extracted="out/$dir/$host"; fi
  cmp "root/$dir/$host" "$extracted"
  checked=$(( checked + 1 ))
done
[ "$(find out -type f | wc -l)" -eq $count ] || { echo "extracted a different number of files"; exit 1; }

# --best: the same layout in smaller streams, as deterministic, unpacked to the same files.
"$kz" create --best -C root -o best.kz list.lst
"$kz" create --best -C root -o best-again.kz list.lst && cmp best.kz best-again.kz
[ "$("$kz" list best.kz)" = "$("$kz" list archive.kz)" ] && [ "$(stat -c %s best.kz)" -lt "$(stat -c %s archive.kz)" ] ||
  { echo "--best laid the entries out otherwise or is not smaller"; exit 1; }
"$kz" extract best.kz best-out
diff -r out best-out
# Without --best the streams are zlib's default level, byte for byte as the archive always held.
mkdir -p pinned && seq 1 40000 >pinned/numbers.txt && printf 'entry %s\r\n' $(seq 1 500) >pinned/lines.txt
printf 'numbers.txt\r\nlines.txt -> sub\\lines.txt\r\n' >pinned.lst && "$kz" create -C pinned -o pinned.kz pinned.lst
sha256sum pinned.kz | grep -q '^e16242a90057c437470e39d9a8b244b838c1d0da5991c7f6991d95670c2232ce ' ||
  { echo "the default level's archive changed"; exit 1; }
# Damage: a flipped byte inside the first block stream, and a cut archive.
cp archive.kz flipped.kz
byte=$(od -An -tu1 -j40 -N1 archive.kz | tr -d ' ')
printf "\\$(printf %03o $(( 255 - byte )))" | dd of=flipped.kz bs=1 seek=40 conv=notrunc status=none
cmp -s archive.kz flipped.kz && { echo "the byte did not change"; exit 1; }
if "$kz" verify flipped.kz 2>/dev/null; then echo "verify passed a flipped byte"; exit 1; fi
head -c $(( $(stat -c %s archive.kz) - 1 )) archive.kz > cut.kz
if "$kz" verify cut.kz 2>/dev/null; then echo "verify passed a cut archive"; exit 1; fi


# The longest list line the setup reads, 259 bytes, is taken.
mkdir -p longest
printf 'x' > longest/a.txt
{ printf 'a.txt -> '; printf 'n%.0s' $(seq 1 250); printf '\r\n'; } > longest.lst
[ "$(head -n1 longest.lst | tr -d '\r\n' | wc -c)" -eq 259 ]
"$kz" create -C longest -o longest.kz longest.lst
"$kz" verify longest.kz
echo "$checked files packed, verified and extracted identical in $blocks blocks"
