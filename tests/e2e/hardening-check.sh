#!/usr/bin/env bash
# setup.exe and the programs it installs are hardened: DYNAMIC_BASE with a non-empty .reloc and
# relocations not stripped, NX_COMPAT, on x86_64 HIGH_ENTROPY_VA, stack-protector checks in the
# code, and no runtime DLL (libssp-0.dll or the like) imported.
#   hardening-check.sh OBJDUMP ARCH FILE-OR-FOLDER...    (a folder: every file in it)
set -u
objdump=$1 want=$((0x40 | 0x100))
[ "$2" = x86_64 ] && want=$((want | 0x20))
shift 2
failed=0
bad() { echo "FAIL  $*"; failed=$((failed + 1)); }
files=()
for a; do if [ -d "$a" ]; then files+=("$a"/*); else files+=("$a"); fi; done
for file in "${files[@]}"; do
  name=$(basename "$file") before=$failed
  headers=$("$objdump" -p "$file") || { bad "$name: objdump cannot read it"; continue; }
  flags=$(printf '%s\n' "$headers" | awk '$1 == "DllCharacteristics" {print $2}')
  [ $((0x${flags:-0} & want)) = $want ] || bad "$name: DllCharacteristics 0x$flags lacks bits of 0x$(printf %x $want)"
  [ $(($(printf '%s\n' "$headers" | awk '$1 == "Characteristics" {print $2; exit}') & 1)) = 0 ] ||
    bad "$name: its relocations are stripped"
  reloc=$("$objdump" -h "$file" | awk '$2 == ".reloc" {print $3}')
  [ $((0x${reloc:-0})) -gt 0 ] || bad "$name: no .reloc section: the loader cannot move it"
  # Every protected function ends in a check that calls libssp's handler, linked in.
  calls=$("$objdump" -d "$file" | grep -cE 'call .*<_*__stack_chk_fail>')
  [ "$calls" -gt 0 ] || bad "$name: no call to __stack_chk_fail: built without stack protection"
  runtime=$(printf '%s\n' "$headers" | sed -n 's/^\tDLL Name: //p' | grep -i '^lib' | tr '\n' ' ')
  [ -z "$runtime" ] || bad "$name: imports runtime DLLs: $runtime"
  [ "$failed" = "$before" ] && echo "ok    $name: DllCharacteristics 0x$flags, .reloc 0x$reloc bytes, $calls stack checks"
done
[ "$failed" -eq 0 ] && [ -n "${name:-}" ]
