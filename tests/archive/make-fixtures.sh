#!/usr/bin/env bash
# Lays out the test payloads and file lists of the archive tests in OUT; CATALOGS is the folder
# of the shipped catalogs, whose platform error texts the tests read as the user sees them.
# Usage: make-fixtures.sh OUT CATALOGS
# Lists are Windows-1252 with CR LF line ends, as the setup carries them.
set -eu
out=$1
catalogs=$2
rm -rf "$out"
mkdir -p "$out/payload" "$out/lists" "$out/layout" "$out/sample"
p=$out/payload

# Noise seeded by the file's name and size: every build lays out the same bytes, so a failure
# seen once (the mutation test's above all) can be had again.
random() {
  perl -e 'srand(unpack("%32C*", $ARGV[0]) + $ARGV[1]); my $n = $ARGV[1];
           while ($n > 0) { my $k = $n < 65536 ? $n : 65536; print pack("C*", map { int rand 256 } 1 .. $k); $n -= $k }' \
    "$(basename "$1")" "$2" > "$1"
}
text() { yes "$3" | head -c "$2" > "$1"; }
# Several MB alternating runs of noise and of numbered text lines, each up to 128 KB long:
# parts that deflate well and parts that do not, in one file.
mixed() {
  perl -e 'srand($ARGV[1]); my ($n, $line) = ($ARGV[1], 0);
           while ($n > 0) {
             my $k = 1 + int rand 131072; $k = $n if $k > $n; my $run = "";
             if (rand() < 0.5) { $run = pack("C*", map { int rand 256 } 1 .. $k) }
             else { $run .= sprintf("frame %08d of the Orlix scene, %d vertices\r\n", $line++, int rand 99999) while length($run) < $k }
             print substr($run, 0, $k); $n -= $k }' \
    "$1" "$2" > "$1"
}

# --- the round-trip payload: catalog, version, varied files --------------------------------
mkdir -p "$p/resources/msgcatalog" "$p/resources/Zephyrix/versions" "$p/src/bin" "$p/src/docs/café" \
         "$p/src/small"
cp "$catalogs/KZ_PlatformErrors.QorNls" "$p/resources/msgcatalog/"
printf '1.2.3\r\n' > "$p/resources/Zephyrix/versions/PlayerVersion.txt"
random "$p/src/bin/viewer.bin" 250000            # larger than a block
: > "$p/src/empty.dat"
text "$p/src/docs/read me.txt" 80000 "Kaze Mar Orlix Player, read me"
printf 'caf\xc3\xa9 notes\r\n' > "$p/src/docs/café/notes è.txt"
for i in $(seq 1 60); do
  random "$p/src/small/f$i.bin" $(( (i * 37) % 700 ))
done
text "$p/src/docs/manual.txt" 150000 "Orlix manual page"
printf 'the end\r\n' > "$p/src/last.txt"

{
  printf 'resources\\msgcatalog\\KZ_PlatformErrors.QorNls\r\n'
  printf 'resources\\Zephyrix\\versions\\PlayerVersion.txt\r\n'
} > "$out/lists/resources.lst"
{
  printf 'src\\bin\\viewer.bin  ->   code\\bin\\viewer.exe\r\n'
  printf 'src\\empty.dat -> code\\empty.dat\r\n'
  printf '\r\n'
  printf 'src\\docs\\read me.txt -> docs\\read me.txt\r\n'
  printf 'src\\docs\\caf\351\\notes \350.txt -> docs\\caf\351\\notes \350.txt\r\n'
  for i in $(seq 1 60); do printf 'src\\small\\f%d.bin -> data\\small\\file %d.bin\r\n' "$i" "$i"; done
  printf 'src\\docs\\manual.txt -> docs\\manual.txt\r\n'
  printf 'src\\last.txt -> last.txt\r\n'
} > "$out/lists/files.lst"

# --- large blocks, packed after FILES: a small block (with last.txt), one of several MB whose
# entries are written through the inflate window, and a small one after it ----------------------
mkdir -p "$p/src/stream"
random "$p/src/stream/before.bin" 150000         # closes the small block that last.txt opened
text "$p/src/stream/lead.txt" 20000 "Orlix stream lead"
: > "$p/src/stream/empty.dat"
random "$p/src/stream/noise.bin" 50000
mixed "$p/src/stream/movie.dat" 3500000          # closes the large block
text "$p/src/stream/after.txt" 2000 "after the large block"
random "$p/src/stream/tail.bin" 120000          # closes the small block after the large one
for f in before.bin lead.txt empty.dat noise.bin movie.dat after.txt tail.bin; do
  printf 'src\\stream\\%s -> stream\\%s\r\n' "$f" "$f"
done > "$out/lists/stream.lst"
# The large block's first entry alone, then a file of the next block: the block's check is
# still run, when the extraction leaves it.
printf 'stream\\lead.txt\r\nstream\\after.txt\r\n' > "$out/lists/stream-head.lst"

# --- three large blocks in a row, packed after STREAM: two are inflated at once -------------
mkdir -p "$p/src/pair"
mixed "$p/src/pair/one.dat" 1200000
mixed "$p/src/pair/two.dat" 1300000
mixed "$p/src/pair/three.dat" 1400000
for f in one two three; do printf 'src\\pair\\%s.dat -> pair\\%s.dat\r\n' "$f" "$f"; done > "$out/lists/pair.lst"

# --- lists the extraction tests carry besides FILES and RESOURCES ---------------------------
printf 'code\\empty.dat\r\n%s\r\n' '..\evil.txt' > "$out/lists/unsafe-dotdot.lst"
printf 'code\\empty.dat\r\nx -> C:\\evil.txt\r\n' > "$out/lists/unsafe-drive.lst"
printf 'code\\empty.dat\r\nx -> \\\\server\\share\\evil.txt\r\n' > "$out/lists/unsafe-unc.lst"
printf 'code\\empty.dat\r\nx -> \\evil.txt\r\n' > "$out/lists/unsafe-rooted.lst"
printf 'code\\empty.dat\r\ncode\\\\evil.txt\r\n' > "$out/lists/unsafe-emptypart.lst"
printf 'code\\empty.dat\r\ncode\\empty.dat:stream\r\n' > "$out/lists/unsafe-stream.lst"
printf 'code\\empty.dat\r\ncode/../../evil.txt\r\n' > "$out/lists/unsafe-slash.lst"
printf 'code\\empty.dat\r\nx ->   \r\n' > "$out/lists/unsafe-empty.lst"
{ printf 'code\\empty.dat\r\n'; printf 'x%.0s' $(seq 1 300); printf '\r\n'; } > "$out/lists/longline.lst"
{ printf 'data\\small\\file 1.bin\r\n'; printf 'y%.0s' $(seq 1 259); printf '\r\n'; } > "$out/lists/line259.lst"
printf 'code\\empty.dat\r\ndata\\small\\file 2.bin\r\nno\\such\\entry.txt\r\ndata\\small\\file 3.bin\r\n' \
  > "$out/lists/missing.lst"
printf 'data\\small\\file 4.bin\r\n\r\n\r\ndata\\small\\file 5.bin' > "$out/lists/notrailing.lst"
printf 'data\\small\\file 6.bin\r\ndata\\small\\file 6.bin\r\n' > "$out/lists/dups.lst"
printf '\r\n\r\n' > "$out/lists/blank.lst"
printf 'resources\\Zephyrix\\versions\\PlayerVersion.txt\r\n' > "$out/lists/version.lst"
: > "$out/lists/zero.lst"

# --- layout archive: sizes chosen around the block threshold -------------------------------
l=$out/layout
random "$l/exact.bin" 102396       # stored form 102,400: the block stays open
random "$l/tiny.txt" 10            # lands at 102,400 and closes block 0
: > "$l/empty.dat"                 # opens block 1, stored length 4
random "$l/half1.bin" 60000
random "$l/half2.bin" 60000        # the two halves together close block 1
random "$l/after.txt" 5            # block 2 at offset 0
random "$l/big.bin" 300000         # larger than the threshold: closes block 2
random "$l/last.txt" 3             # the last block, below the threshold
printf '%s\r\n' 'exact.bin' 'tiny.txt -> t' 'empty.dat -> a\b\empty.dat' 'half1.bin -> half one.bin' \
  'half2.bin -> half two.bin' 'after.txt -> after' 'big.bin -> big\big.bin' > "$out/lists/layout.lst"
printf 'last.txt -> caf\351 \200 \350\r\n' >> "$out/lists/layout.lst"

# --- mutation sample: one compressible block over the threshold, then small entries --------
s=$out/sample
text "$s/big.txt" 102397 "orlix"
for i in 1 2 3 4 5; do random "$s/s$i.bin" $(( i * 50 )); done
: > "$s/empty"
{
  printf 'big.txt -> resources\\big.txt\r\n'
  for i in 1 2 3 4 5; do printf 's%d.bin -> code\\s%d.bin\r\n' "$i" "$i"; done
  printf 'empty -> code\\empty\r\n'
} > "$out/lists/sample.lst"
