#!/usr/bin/env bash
# Signs a built launcher file with a throw-away self-signed certificate, as a publisher would with
# osslsigncode, and checks that osslsigncode and vossimere-pack agree: the signature verifies, the
# layout rules still hold with the certificate table after the names, the checksum is the one
# osslsigncode calculates (before and after signing), and the payload comes back out intact.
# A certificate table too large for the 128 KiB window must fail verify, and so must both
# forgeries that hide a foreign payload inside the table while osslsigncode still verifies them.
#
# Usage: signing_test.sh WORK_DIR STUB FORGER PACK_TOOL [EMULATOR]
# (FORGER: the forge-certificate-table program of the same build)
set -euo pipefail

work=$1 stub=$2 forger=$3
tool=("${@:4}")
emulator=()
# A Windows build runs under its emulator: "wine-run vossimere-pack.exe".
if [ ${#tool[@]} -eq 2 ]; then
  emulator=("${tool[1]}")
  tool=("${tool[1]}" "${tool[0]}")
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
pack() { "${tool[@]}" "$@"; }

rm -rf "$work"
mkdir -p "$work/in" "$work/out"
cd "$work"
head -c 200000 /dev/urandom > in/setup.exe
head -c 700001 /dev/urandom > in/Corvalinth.msi
cp "$stub" in/Vossimere.exe

pack build --stub in/Vossimere.exe --installer in/setup.exe --package in/Corvalinth.msi \
  --title Corvalinth --installer-time 2024-03-01T09:30:00Z --package-time 2024-03-01T09:31:00Z \
  -o launcher.exe
pack verify launcher.exe > /dev/null || fail "the unsigned launcher does not verify"

# The checksum osslsigncode calculates; it prints it as such when the stored one differs, so it
# is asked about a copy whose CheckSum field is zeroed.
calculated_checksum() {
  local pe field
  cp "$1" zeroed.exe
  pe=$(od -An -tu4 -j60 -N4 zeroed.exe | tr -d ' ')
  field=$((pe + 88))
  printf '\0\0\0\0' | dd of=zeroed.exe bs=1 seek=$field conv=notrunc status=none
  # An unsigned file makes osslsigncode verify fail; its checksum line is printed all the same.
  { osslsigncode verify -in zeroed.exe 2>&1 || true; } |
    sed -n 's/^Calculated PE checksum: *\([0-9A-F]*\).*/\1/p'
}
json_number() {
  sed -n "s/.*\"$2\":{\"stored\":\([0-9]*\),\"computed\":\([0-9]*\)}.*/\1 \2/p" "$1"
}

check_checksums() {
  local file=$1 stored computed expected
  pack inspect --json "$file" > inspect.json || fail "inspect $file"
  read -r stored computed < <(json_number inspect.json checksum)
  expected=$(calculated_checksum "$file")
  [ -n "$expected" ] || fail "osslsigncode printed no calculated checksum for $file"
  [ "$(printf '%08X' "$computed")" = "$expected" ] ||
    fail "$file: vossimere-pack computes $(printf '%08X' "$computed"), osslsigncode $expected"
  [ "$stored" = "$computed" ] || fail "$file: stored checksum $stored, computed $computed"
}
check_checksums launcher.exe

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Vossimere test publisher" -addext "extendedKeyUsage=codeSigning" 2> /dev/null
osslsigncode sign -certs cert.pem -key key.pem -n Corvalinth -h sha256 \
  -in launcher.exe -out signed.exe > /dev/null
osslsigncode verify -in signed.exe -CAfile cert.pem > ossl-verify.txt 2>&1 ||
  { cat ossl-verify.txt; fail "osslsigncode verify refuses the signed launcher"; }
grep -q "Signature verification: ok" ossl-verify.txt || fail "no 'Signature verification: ok'"

pack verify signed.exe > verify.txt || fail "vossimere-pack verify refuses the signed launcher"
names_end=$(pack inspect --json launcher.exe | sed -n 's/.*"namesEnd":\([0-9]*\).*/\1/p')
table_at=$(( (names_end + 7) / 8 * 8 ))
table_size=$(( $(stat -c %s signed.exe) - table_at ))
room_left="[0-9]* bytes of the 128 KiB window left"
grep -q "certificate table at byte $table_at, $table_size bytes; $room_left" verify.txt ||
  fail "verify does not report the certificate table: $(cat verify.txt)"
check_checksums signed.exe

uncovered=$(pack inspect --json signed.exe | sed -n 's/.*"uncoveredBytes":\([0-9]*\).*/\1/p')
[ -n "$uncovered" ] && [ "$uncovered" -le 7 ] ||
  fail "inspect shows $uncovered bytes of the signed launcher outside the signature"

pack extract signed.exe -d out > /dev/null 2>&1
cmp out/setup.exe in/setup.exe && cmp out/Corvalinth.msi in/Corvalinth.msi ||
  fail "extract from the signed launcher differs from the inputs"

# Removing the signature leaves the names, zero bytes to a multiple of 8, and a sound file.
osslsigncode remove-signature -in signed.exe -out unsigned.exe > /dev/null
pack verify unsigned.exe > /dev/null || fail "the launcher with its signature removed does not verify"
check_checksums unsigned.exe

# A signed launcher is no stub: building from it is refused and writes nothing.
if pack build --stub signed.exe --installer in/setup.exe --package in/Corvalinth.msi \
  --title T -o again.exe 2> refused.txt; then fail "building from a signed stub succeeded"; fi
grep -q "is already signed" refused.txt || fail "unexpected refusal: $(cat refused.txt)"
[ ! -e again.exe ] || fail "a refused build left again.exe"

# A certificate table larger than the window's room pushes the trailer out of the launcher's
# sight: osslsigncode signs it, but verify must refuse it.
for _ in $(seq 1 170); do cat cert.pem; done > many-certs.pem
osslsigncode sign -certs cert.pem -key key.pem -ac many-certs.pem \
  -in launcher.exe -out oversigned.exe > /dev/null
if pack verify oversigned.exe 2> oversigned.txt; then
  fail "a trailer outside the window verified"
fi
grep -q "anchor: no 128-byte boundary in the last 128 KiB carries both magic values" \
  oversigned.txt ||
  fail "unexpected verify output: $(cat oversigned.txt)"

# The certificate table is not covered by the signature: a foreign installer, package and trailer
# put into it, as padding after the signature or inside an unsigned attribute of it, far enough
# past the real trailer to leave only the foreign one in the launcher's window. osslsigncode
# still verifies both; verify must refuse both on rules of the certificate table.
head -c 5000 /dev/urandom > in/foreign.exe
head -c 7000 /dev/urandom > in/foreign.msi
for form in padding unsigned-attribute; do
  "${emulator[@]}" "$forger" "$form" signed.exe in/Vossimere.exe in/foreign.exe in/foreign.msi \
    "forged-$form.exe"
  osslsigncode verify -in "forged-$form.exe" -CAfile cert.pem > forged-ossl.txt 2>&1 || true
  grep -q "Signature verification: ok" forged-ossl.txt ||
    fail "osslsigncode does not verify the $form forgery: $(cat forged-ossl.txt)"
  pack inspect "forged-$form.exe" | grep -q "^title: *Forged$" ||
    fail "the launcher would not find the foreign trailer of the $form forgery"
  if pack verify "forged-$form.exe" 2> "forged-$form.txt"; then
    fail "the $form forgery verified"
  fi
  grep -q "^forged-$form.exe: certificate-table-forged-trailer: the trailer's magic values stand" \
    "forged-$form.txt" || fail "verify on the $form forgery: $(cat "forged-$form.txt")"
done
grep -q ": certificate-table-padding: [0-9]* bytes follow the signature" forged-padding.txt &&
  grep -q ": certificate-table-length: " forged-padding.txt ||
  fail "verify on the padding forgery: $(cat forged-padding.txt)"
! grep -q ": certificate-table-\(padding\|length\)" forged-unsigned-attribute.txt ||
  fail "the unsigned-attribute forgery has padding or a wrong length:" \
    "$(cat forged-unsigned-attribute.txt)"

# The signed launcher still runs: it extracts both files and starts the installer, which lists
# its folder into the marker file.
if [ -n "${SIGNED_RUN_INSTALLER:-}" ]; then
  pack build --stub in/Vossimere.exe --installer "$SIGNED_RUN_INSTALLER" \
    --installer-name setup.exe --package in/Corvalinth.msi --title Corvalinth -o run.exe 2> /dev/null
  osslsigncode sign -certs cert.pem -key key.pem -in run.exe -out run-signed.exe > /dev/null
  pack verify run-signed.exe > /dev/null || fail "the signed launcher to run does not verify"
  rm -f marker.txt
  VOSSIMERE_PACK_TEST_MARKER="Z:$work/marker.txt" timeout 120 "${tool[0]}" run-signed.exe ||
    fail "the signed launcher did not end (an error box?)"
  grep -qx "Corvalinth.msi 700001" marker.txt && grep -q "^setup.exe " marker.txt ||
    fail "the installer did not find the package beside it: $(cat marker.txt 2>&1)"
fi
echo "signing: osslsigncode and vossimere-pack agree"
