#!/usr/bin/env bash
# setup.exe and every program it installs are hardened: ASLR with its relocations
# (DYNAMIC_BASE, a non-empty .reloc, relocations not stripped), DEP (NX_COMPAT), on x86_64
# high-entropy ASLR, stack-protector checks in the code, and no runtime DLL (libssp-0.dll or
# the like) to import.
#
#   hardening-check.sh OBJDUMP ARCH FILE-OR-FOLDER...    (a folder: every file in it)
set -u
objdump=$1 arch=$2
shift 2
passed=0 failed=0
bad() { echo "FAIL  $*"; failed=$((failed + 1)); }

# DYNAMIC_BASE 0x40 and NX_COMPAT 0x100; HIGH_ENTROPY_VA 0x20 means something only to 64-bit files.
want=$((0x40 | 0x100))
[ "$arch" = x86_64 ] && want=$((want | 0x20))
files=()
for arg; do
  if [ -d "$arg" ]; then files+=("$arg"/*); else files+=("$arg"); fi
done
for file in "${files[@]}"; do
  name=$(basename "$file")
  before=$failed
  headers=$("$objdump" -p "$file") || { bad "$name: objdump cannot read it"; continue; }
  flags=$(printf '%s\n' "$headers" | awk '$1 == "DllCharacteristics" {print $2}')
  [ $((0x${flags:-0} & want)) = $want ] || bad "$name: DllCharacteristics 0x$flags lacks bits of 0x$(printf %x $want)"
  file_flags=$(printf '%s\n' "$headers" | awk '$1 == "Characteristics" {print $2; exit}')
  [ $((${file_flags:-1} & 1)) = 0 ] || bad "$name: its relocations are stripped"
  reloc=$("$objdump" -h "$file" | awk '$2 == ".reloc" {print $3}')
  [ $((0x${reloc:-0})) -gt 0 ] || bad "$name: no .reloc section: the loader cannot move it"
  # Every protected function ends in a check that calls the handler of libssp, linked in.
  calls=$("$objdump" -d "$file" | grep -cE 'call .*<_*__stack_chk_fail>')
  [ "$calls" -gt 0 ] || bad "$name: no call to __stack_chk_fail: built without stack protection"
  runtime=$(printf '%s\n' "$headers" | sed -n 's/^\tDLL Name: //p' | grep -i '^lib' | tr '\n' ' ')
  [ -z "$runtime" ] || bad "$name: imports runtime DLLs: $runtime"
  [ "$failed" = "$before" ] && passed=$((passed + 1)) &&
    echo "ok    $name: DllCharacteristics 0x$flags, .reloc 0x$reloc bytes, $calls stack checks"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
