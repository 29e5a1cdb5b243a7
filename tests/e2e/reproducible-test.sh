#!/usr/bin/env bash
# Reproducible build: the sources copied to another folder (of another length) and built in
# another build folder give a setup.exe and payload programs byte-identical to this build's.
# Then SOURCE_DATE_EPOCH, when set, is the link time written into the PE files. Last,
# make-setup --best in the same tree (which build() sets back) gives a smaller setup that
# installs every file byte for byte (the driver's full scenario).
#
#   reproducible-test.sh TOP KZPACK SETUP STAGE WORK ARCH WINE_RUN DRIVER RECORDER
#
# Only the setup target is built in the second tree (the payload programs come with it). The
# compiler cache is kept out: a cached object made in the first folder would hide a path that
# the compiler writes into it.
set -u
top=$1 kzpack=$2 setup=$3 stage=$4 work=$5 arch=$6 wine_run=$7 driver=$8 recorder=$9
export CCACHE_DISABLE=1

passed=0 failed=0
ok() { echo "ok    $*"; passed=$((passed + 1)); }
bad() { echo "FAIL  $*"; failed=$((failed + 1)); }

# PE time stamp of a file, in seconds.
stamp() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tu4 -j$((pe + 8)) -N4 "$1" | tr -d ' '
}

src=$work/a-second-source-folder
tree=$work/another-build-tree
rm -rf "$src"
mkdir -p "$src" "$tree"
# Copies keep their times, so the second tree rebuilds only what changed since the last run.
for part in CMakeLists.txt cmake foundation archive install ui setup payload tools tests/wine-run.in; do
  mkdir -p "$(dirname "$src/$part")"
  cp -a "$top/$part" "$src/$part"
done

build() {
  cmake -S "$src" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-$arch.cmake" -DKZPACK="$kzpack" \
        -DKZ_TESTS=OFF -DKZ_PAYLOAD_ROOT= -DKZ_PAYLOAD_RESOURCES_LIST= -DKZ_PAYLOAD_FILES_LIST= -DKZ_PACK_BEST=OFF \
        -UCMAKE_C_COMPILER_LAUNCHER -UCMAKE_CXX_COMPILER_LAUNCHER >"$work/configure.log" 2>&1 &&
    cmake --build "$tree" --target setup -j 2 >"$work/build.log" 2>&1
}

# This build's environment, as for the first build.
if build; then
  ok "the sources build in $src"
else
  bad "the second build failed:"
  tail -20 "$work/configure.log" "$work/build.log"
  echo "$passed passed, $failed failed"
  exit 1
fi
for program in "$stage"/bin/*; do
  name=$(basename "$program")
  if cmp -s "$program" "$tree/stage/bin/$name"; then
    ok "$name is byte-identical"
  else
    bad "$name differs in $(cmp -l "$program" "$tree/stage/bin/$name" | wc -l) bytes"
  fi
done
first=$(sha256sum <"$setup" | cut -d' ' -f1)
second=$(sha256sum <"$tree/setup/setup.exe" | cut -d' ' -f1)
if [ "$first" = "$second" ]; then
  ok "setup.exe is byte-identical (sha256 $first)"
else
  bad "setup.exe differs: $first in $setup, $second in $tree ($(cmp -l "$setup" "$tree/setup/setup.exe" | wc -l) bytes)"
fi
expected=${SOURCE_DATE_EPOCH:-0}
[ "$(stamp "$tree/setup/setup.exe")" = "$expected" ] && ok "the link time is $expected" ||
  bad "the link time is $(stamp "$tree/setup/setup.exe"), not $expected (SOURCE_DATE_EPOCH or 0)"

# The variable counts when the tree is configured; make runs without it.
if SOURCE_DATE_EPOCH=1234567890 cmake -S "$src" -B "$tree" >/dev/null &&
   cmake --build "$tree" --target setup -j 2 >"$work/build.log" 2>&1; then
  for file in "$tree/setup/setup.exe" "$tree/stage/bin/ZephyrixOCXViewer.ocx"; do
    [ "$(stamp "$file")" = 1234567890 ] && ok "SOURCE_DATE_EPOCH is the link time of $(basename "$file")" ||
      bad "$(basename "$file") has the link time $(stamp "$file"), not SOURCE_DATE_EPOCH"
  done
else
  bad "the build with SOURCE_DATE_EPOCH failed"
fi

best=$work/best-setup.exe
if KZPACK=$kzpack "$src/tools/make-setup" --root "$tree/stage" --resources "$src/payload/RESOURCES" \
     --files "$src/payload/FILES" --arch "$arch" --best --build-dir "$tree" -o "$best" >"$work/best.log" 2>&1 &&
   [ "$(stat -c %s "$best")" -lt "$(stat -c %s "$setup")" ]; then
  ok "make-setup --best: $(stat -c %s "$best") bytes against $(stat -c %s "$setup")"
  "$wine_run" "$driver" full --setup "$best" --recorder "$recorder" --payload-root "$tree/stage" >"$work/best-install.log" 2>&1 &&
    grep -Eq 'intel_a \([1-9][0-9]* compared with the payload byte for byte, 0 missing, 0 different' "$work/best-install.log" &&
    ok "the --best setup installs every file byte for byte" || { bad "the --best setup:"; grep -E '^FAIL|passed' "$work/best-install.log"; }
else
  bad "make-setup --best failed or made no smaller setup: $(tail -3 "$work/best.log")"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
