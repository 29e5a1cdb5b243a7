#!/usr/bin/env bash
# tools/make-setup: refuses bad input with a clear message, and makes a working setup.exe for
# a custom payload (the built product's files plus one extra file, and a version text that is
# not a dotted number). The setup is signed with a throw-away certificate, and a changed byte
# must break the signature. With a display, the signed setup is installed through the tour of
# the end-to-end driver, which compares every installed file with the custom payload byte for
# byte, and its version resource is read back.
#
#   make-setup-test.sh TOP KZPACK STAGE WORK WINE_RUN DRIVER RECORDER VERSION_CHECK
set -u
top=$1 kzpack=$2 stage=$3 work=$4 wine_run=$5 driver=$6 recorder=$7 version_check=$8
tool=$top/tools/make-setup
export KZPACK=$kzpack

passed=0 failed=0
ok() { echo "ok    $*"; passed=$((passed + 1)); }
bad() { echo "FAIL  $*"; failed=$((failed + 1)); }

# expect_refusal WHAT PATTERN ARG...: make-setup fails and says PATTERN on stderr.
expect_refusal() {
  local what=$1 pattern=$2
  shift 2
  local err status=0
  err=$("$tool" "$@" 2>&1 >/dev/null) || status=$?
  if [ "$status" -ne 0 ] && printf '%s' "$err" | grep -q -- "$pattern"; then
    ok "refuses $what (exit $status): $(printf '%s' "$err" | grep -m1 -- "$pattern")"
  else
    bad "$what: exit $status, expected a message matching '$pattern'; got: $err"
  fi
}

rm -rf "$work/payload" "$work/lists" "$work/out" "$work/sign"
mkdir -p "$work/lists" "$work/out" "$work/sign"
[ -f "$stage/bin/OrlixPlayer.exe" ] || { echo "FAIL  no built payload in $stage (build the setup target first)"; exit 1; }
cp -r "$stage" "$work/payload"
printf 'Extra file of a custom payload\r\n' >"$work/payload/resources/Zephyrix/samples/Extra custom.txt"
# Quotes and a backslash must survive the way into the version resource.
version_text='4.3 beta "Zephyr" \build'
printf '%s\r\n' "$version_text" >"$work/payload/resources/Zephyrix/versions/PlayerVersion.txt"
cp "$top/payload/RESOURCES" "$work/lists/RESOURCES"
cp "$top/payload/FILES" "$work/lists/FILES"
printf 'resources\\Zephyrix\\samples\\Extra custom.txt\r\n' >>"$work/lists/FILES"
root=$work/payload res=$work/lists/RESOURCES files=$work/lists/FILES

# Lists with one fault each.
grep -v 'KZ_UIWizard' "$res" >"$work/lists/RESOURCES.nocatalog"
cp "$files" "$work/lists/FILES.missing"
printf 'resources\\not-there.txt\r\n' >>"$work/lists/FILES.missing"
cp "$files" "$work/lists/FILES.escape"
printf 'resources\\KZOrlixLicense.rtf -> ..\\outside.rtf\r\n' >>"$work/lists/FILES.escape"
cp "$files" "$work/lists/FILES.conflict"
printf 'resources\\Zephyrix\\HTML\\quickstart.html -> resources\\KZOrlixLicense.rtf\r\n' >>"$work/lists/FILES.conflict"
# The license again, from the same source, under its RESOURCES target in another case: left
# out of the packing, it would be missing under the name the setup looks for.
cp "$files" "$work/lists/FILES.case"
printf 'resources\\KZOrlixLicense.rtf -> resources\\KZOrlixLicense.RTF\r\n' >>"$work/lists/FILES.case"
: >"$work/lists/FILES.empty"

good=(--root "$root" --resources "$res" --files "$files")
expect_refusal "no arguments" "usage:"
expect_refusal "a missing --root" "missing --root" --resources "$res" --files "$files" -o "$work/out/s.exe"
expect_refusal "a missing -o" "missing -o" "${good[@]}"
expect_refusal "an unknown argument" "unknown argument" "${good[@]}" -o "$work/out/s.exe" --fast
expect_refusal "a root that is no folder" "is not a folder" --root "$work/none" --resources "$res" --files "$files" -o "$work/out/s.exe"
expect_refusal "a missing RESOURCES list" "RESOURCES list .* is not a file" --root "$root" --resources "$work/none.lst" --files "$files" -o "$work/out/s.exe"
expect_refusal "a missing FILES list" "FILES list .* is not a file" --root "$root" --resources "$res" --files "$work/none.lst" -o "$work/out/s.exe"
expect_refusal "an empty FILES list" "is empty" --root "$root" --resources "$res" --files "$work/lists/FILES.empty" -o "$work/out/s.exe"
expect_refusal "an unknown architecture" "unknown architecture 'arm64'" "${good[@]}" -o "$work/out/s.exe" --arch arm64
expect_refusal "a missing output folder" "output folder .* does not exist" "${good[@]}" -o "$work/no/such/s.exe"
expect_refusal "an output that is a folder" "is a folder" "${good[@]}" -o "$work/out"
expect_refusal "RESOURCES without a catalog" 'lacks entries.*' --root "$root" --resources "$work/lists/RESOURCES.nocatalog" --files "$files" -o "$work/out/s.exe"
expect_refusal "a listed file that is missing (kzpack)" 'kzpack: .*/FILES.missing:14: cannot read source' --root "$root" --resources "$res" --files "$work/lists/FILES.missing" -o "$work/out/s.exe"
expect_refusal "a target outside the install folder (kzpack)" 'kzpack: .*/FILES.escape:14: target .* has a ".." component' --root "$root" --resources "$res" --files "$work/lists/FILES.escape" -o "$work/out/s.exe"
expect_refusal "a FILES target repeating a RESOURCES target in another case, naming both lines" \
  'FILES.case:14: the target of .* differs only in case from that of .*/RESOURCES:5 ' \
  --root "$root" --resources "$res" --files "$work/lists/FILES.case" -o "$work/out/s.exe"
expect_refusal "a FILES target packed from another source" "another source" --root "$root" --resources "$res" --files "$work/lists/FILES.conflict" -o "$work/out/s.exe"
[ ! -e "$work/out/s.exe" ] && ok "no setup was written by a refused run" || bad "a refused run wrote $work/out/s.exe"

# The real thing.
out=$work/out/custom-setup.exe
if "$tool" "${good[@]}" -o "$out" --arch x86_64 --build-dir "$work/tree-x86_64"; then
  ok "make-setup makes $out"
else
  bad "make-setup failed for a good payload"
fi
if [ -f "$out" ] && [ "$(head -c 2 "$out")" = MZ ]; then
  pe=$(od -An -tu4 -j60 -N4 "$out" | tr -d ' ')
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$out" | tr -d ' ')
  [ "$machine" = 8664 ] && ok "the setup is an x86_64 PE file" || bad "machine $machine, expected 8664"
  grep -q 'Extra custom.txt' "$out" && ok "the setup carries the custom FILES list" || bad "the custom FILES list is not in the setup"
else
  bad "no PE file at $out"
fi

# A changed payload file reaches the next setup made in the same tree.
cp "$out" "$work/out/first.exe" 2>/dev/null
printf 'Changed extra file\r\n' >"$work/payload/resources/Zephyrix/samples/Extra custom.txt"
if "$tool" "${good[@]}" -o "$out" --arch x86_64 --build-dir "$work/tree-x86_64" >/dev/null &&
   ! cmp -s "$out" "$work/out/first.exe"; then
  ok "a changed payload file gives a new setup"
else
  bad "the setup made after changing a payload file is the old one"
fi

# Without --arch the shipped architecture, i686, is made.
out32=$work/out/custom-setup-i686.exe
if "$tool" "${good[@]}" -o "$out32" --build-dir "$work/tree-i686" >/dev/null && [ -f "$out32" ]; then
  pe=$(od -An -tu4 -j60 -N4 "$out32" | tr -d ' ')
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$out32" | tr -d ' ')
  [ "$machine" = 014c ] && ok "by default an i686 setup is made" || bad "default machine $machine, expected 014c"
else
  bad "make-setup failed for the default architecture"
fi

# Signing, with a throw-away code-signing certificate.
sign=$work/sign
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$sign/key.pem" -out "$sign/cert.pem" -days 2 \
  -subj "/CN=Kaze Mar test signer" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
printf 'test password\n' >"$sign/password"
printf 'not it\n' >"$sign/wrong-password"
openssl pkcs12 -export -in "$sign/cert.pem" -inkey "$sign/key.pem" -out "$sign/cert.pfx" \
  -passout "file:$sign/password" 2>/dev/null
printf 'not a certificate\n' >"$sign/text.pfx"
signed=$work/out/signed-setup.exe
# refuse_signing WHAT PATTERN ARG...: make-setup refuses the signing input in one line.
refuse_signing() {
  local what=$1 pattern=$2
  shift 2
  local err status=0
  err=$("$tool" "${good[@]}" --arch x86_64 --build-dir "$work/tree-x86_64" -o "$signed" "$@" 2>&1 >/dev/null) ||
    status=$?
  if [ "$status" -ne 0 ] && [ "$(printf '%s\n' "$err" | grep -c .)" = 1 ] && printf '%s' "$err" | grep -q -- "$pattern"; then
    ok "refuses $what: $err"
  else
    bad "$what: exit $status, expected one line matching '$pattern'; got: $err"
  fi
}
refuse_signing "a missing certificate" "certificate .*missing.pfx' is not a readable file" --sign "$sign/missing.pfx"
refuse_signing "a wrong password" "password in .* does not open the certificate" \
  --sign "$sign/cert.pfx" --password-file "$sign/wrong-password"
refuse_signing "a certificate without its password" "needs a password" --sign "$sign/cert.pfx"
refuse_signing "a file that is not PKCS#12" "is not a PKCS#12" --sign "$sign/text.pfx"
refuse_signing "a PEM certificate" "is not a PKCS#12" --sign "$sign/cert.pem" --password-file "$sign/password"
refuse_signing "a missing password file" "password file .* is not a readable file" \
  --sign "$sign/cert.pfx" --password-file "$sign/none"
refuse_signing "--timestamp without --sign" "needs --sign" --timestamp http://127.0.0.1:9/
# A time-stamping server that takes the connection and never answers.
perl -MIO::Socket::INET -e '
  my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 5) or die;
  open(my $f, ">", $ARGV[0]) or die; print $f $s->sockport, "\n"; close $f;
  $SIG{ALRM} = sub { exit 0 }; alarm 60; my @held; while (my $c = $s->accept) { push @held, $c }' \
  "$sign/port" &
silent=$!
for _ in $(seq 50); do [ -s "$sign/port" ] && break; sleep 0.1; done
err=$(KZ_TIMESTAMP_TIMEOUT=3 "$tool" "${good[@]}" --arch x86_64 --build-dir "$work/tree-x86_64" -o "$signed" \
        --sign "$sign/cert.pfx" --password-file "$sign/password" --timestamp "http://127.0.0.1:$(cat "$sign/port")/" \
        2>&1 >/dev/null) && bad "a silent time-stamping server: make-setup succeeded" ||
  { printf '%s' "$err" | grep -q 'did not answer within 3 s' && ok "refuses a silent time-stamping server: $err" ||
      bad "a silent time-stamping server: $err"; }
kill "$silent" 2>/dev/null
wait "$silent" 2>/dev/null
[ ! -e "$signed" ] && [ -z "$(find "$work/out" -name '.make-setup.*')" ] &&
  ok "no setup and no partial file was left by a refused signing" || bad "a refused signing left files in $work/out"

if "$tool" "${good[@]}" --arch x86_64 --build-dir "$work/tree-x86_64" -o "$signed" \
     --sign "$sign/cert.pfx" --password-file "$sign/password" >/dev/null; then
  ok "make-setup --sign makes $signed"
else
  bad "make-setup --sign failed"
fi
if osslsigncode verify -CAfile "$sign/cert.pem" -in "$signed" >"$work/verify.log" 2>&1; then
  ok "the signature verifies"
else
  bad "osslsigncode does not verify $signed:"
  tail -5 "$work/verify.log"
fi
# Signing changed nothing but the signature: without it the file is the unsigned setup.
cp "$signed" "$work/out/tampered.exe"
osslsigncode remove-signature -in "$signed" -out "$work/out/unsigned-again.exe" >/dev/null 2>&1
# (osslsigncode pads the file to 8 bytes and writes the PE checksum, 88 bytes into the header.)
pe=$(od -An -tu4 -j60 -N4 "$out" | tr -d ' ')
beyond=$(cmp -l -n "$(stat -c %s "$out")" "$out" "$work/out/unsigned-again.exe" 2>&1 |
         awk -v lo=$((pe + 89)) -v hi=$((pe + 92)) '$1 < lo || $1 > hi' | wc -l)
[ -s "$work/out/unsigned-again.exe" ] && [ "$beyond" = 0 ] &&
  ok "without its signature the signed setup is the unsigned one" ||
  bad "the signed setup differs from the unsigned one beyond its signature ($beyond bytes)"
# One byte of the archive, in the middle of the file, changed.
offset=$(($(stat -c %s "$signed") / 2))
byte=$(od -An -tu1 -j"$offset" -N1 "$signed" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" |
  dd of="$work/out/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
osslsigncode verify -CAfile "$sign/cert.pem" -in "$work/out/tampered.exe" >/dev/null 2>&1 &&
  bad "a setup with a changed byte still verifies" || ok "a setup with a changed byte fails verification"

if [ -n "${DISPLAY:-}" ] && [ -f "$signed" ]; then
  if "$wine_run" "$version_check" "$out" 0.0.0.0 "$version_text" >"$work/version.log" 2>&1; then
    ok "the version resource holds the text \"$version_text\" and the numeric version 0.0.0.0"
  else
    bad "the version resource of the custom setup:"
    grep -E '^FAIL|passed' "$work/version.log"
  fi
  log=$work/driver.log
  if "$wine_run" "$driver" tour --setup "$signed" --recorder "$recorder" --payload-root "$root" \
       --shots "$work/shots" >"$log" 2>&1 &&
     grep -q '13 files of the FILES list installed below intel_a (13 compared with the payload byte for byte, 0 missing, 0 different)' "$log"; then
    ok "the signed setup installs the custom payload, extra file included, through the driver's tour"
  else
    bad "installing with the signed setup failed:"
    grep -E '^FAIL|passed' "$log"
  fi
else
  echo "  no display: the made setup is not run"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
