#!/usr/bin/env bash
# Signs a built launcher file with a throw-away self-signed certificate, as a publisher would with
# osslsigncode, and checks that osslsigncode and vossimere-pack agree: the signature verifies, the
# layout rules still hold with the certificate table after the names, the checksum is the one
# osslsigncode calculates (before and after signing), and the payload comes back out intact.
# A certificate table too large for the 128 KiB window must fail verify, and so must both
# forgeries that hide a foreign payload inside the table while osslsigncode still verifies them.
# Then the road a publisher takes today, with the key in hardware: a SoftHSM 2 token (its own
# SOFTHSM2_CONF in WORK_DIR) stands for a token, an HSM or a cloud PKCS#11 module; osslsigncode
# signs through it, time-stamps offline with its built-in TSA and adds a nested signature, and
# verify's report of each signature, its digest and its time stamp agrees with osslsigncode's,
# one changed payload byte included. Then the forgeries an attacker makes without the key (a
# SHA-512 signature over a changed file, a rewritten digest, an empty time stamp, a spoofed
# signer, a foreign nested signature, a changed or hollow signed installer, a signed package with
# one Property byte changed, a signer whose name holds a quote): verify refuses each where osslsigncode does, and --ca / --timestamp-ca build
# the chains osslsigncode's -CAfile / -TSA-CAfile build.
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

# A launcher file with the publisher's icon and version information (its resource section
# rebuilt, the relocations after it moved) signs and verifies the same way.
python3 - <<'PY'
import struct, zlib
def png(n):
    raw = b''.join(b'\0' + b'\x20\x60\xe0\xff' * n for _ in range(n))
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
def dib(n):
    return (struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0) +
            b'\xe0\x60\x20\xff' * (n * n) + b'\0' * ((n + 31) // 32 * 4 * n))
images = [(16, dib(16)), (32, dib(32)), (256, png(256))]
head, body = struct.pack('<HHH', 0, 1, len(images)), b''
for n, data in images:
    head += struct.pack('<BBBBHHII', n % 256, n % 256, 0, 0, 1, 32, len(data),
                        6 + 16 * len(images) + len(body))
    body += data
open('in/publisher.ico', 'wb').write(head + body)
PY
cp "${CUSTOM_STUB:-$stub}" in/Vossimere-custom.exe
pack build --stub in/Vossimere-custom.exe --installer in/setup.exe --package in/Corvalinth.msi \
  --title Corvalinth --installer-time 2024-03-01T09:30:00Z --package-time 2024-03-01T09:31:00Z \
  --icon in/publisher.ico --file-version 2.5.0.17 --product-name "Example Product" \
  --company "Example Publisher" -o custom.exe 2> /dev/null || fail "build with --icon refused"
pack verify custom.exe > /dev/null || fail "the customised launcher does not verify"
check_checksums custom.exe
osslsigncode sign -certs cert.pem -key key.pem -n "Example Product" -h sha256 \
  -in custom.exe -out custom-signed.exe > /dev/null
osslsigncode verify -in custom-signed.exe -CAfile cert.pem > ossl-custom.txt 2>&1 ||
  { cat ossl-custom.txt; fail "osslsigncode verify refuses the signed customised launcher"; }
grep -q "Signature verification: ok" ossl-custom.txt || fail "customised: no verification ok"
pack verify custom-signed.exe > /dev/null || fail "vossimere-pack refuses the signed customised file"
check_checksums custom-signed.exe
pack extract custom-signed.exe -d out-custom > /dev/null 2>&1
cmp out-custom/setup.exe in/setup.exe && cmp out-custom/Corvalinth.msi in/Corvalinth.msi ||
  fail "extract from the signed customised launcher differs from the inputs"

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

# Signing with a key in hardware. The PKCS#11 module and OpenSSL's engine for it are Debian's
# (softhsm2, libengine-pkcs11-openssl); the offline time stamp needs osslsigncode 2.6 or later
# (-TSA-certs, -TSA-key, -TSA-time), which scripts/install-deps takes from bookworm-backports.
first_file() { for f in "$@"; do [ -e "$f" ] && { echo "$f"; return; }; done; }
module=$(first_file /usr/lib/softhsm/libsofthsm2.so /usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so)
engine=$(first_file /usr/lib/x86_64-linux-gnu/engines-3/pkcs11.so /usr/lib/x86_64-linux-gnu/engines-3/libpkcs11.so)
[ -n "$module" ] && [ -n "$engine" ] && command -v softhsm2-util > /dev/null &&
  command -v pkcs11-tool > /dev/null ||
  fail "SoftHSM 2, pkcs11-tool or OpenSSL's PKCS#11 engine is missing (scripts/install-deps)"
# (sign --help ends with a non-zero code, and grep reads it all so as not to cut it short.)
{ osslsigncode sign --help 2>&1 || true; } | grep -c -- '-TSA-certs' > /dev/null ||
  fail "this osslsigncode has no built-in TSA (-TSA-certs); 2.6 or later is needed" \
    "(scripts/install-deps installs it from bookworm-backports)"

mkdir -p tokens
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' \
  "$work" > softhsm2.conf
export SOFTHSM2_CONF=$work/softhsm2.conf
softhsm2-util --init-token --free --label vossimere-test --so-pin 5678 --pin 1234 > /dev/null
pkcs11-tool --module "$module" --token-label vossimere-test --login --pin 1234 \
  --keypairgen --key-type rsa:2048 --id 01 --label publisher > /dev/null 2>&1 ||
  fail "pkcs11-tool could not make the key in the token"
hsm_key="pkcs11:token=vossimere-test;object=publisher;type=private;pin-value=1234"
# The certificate for the key, signed by the key itself inside the token.
PKCS11_MODULE_PATH=$module openssl req -new -x509 -engine pkcs11 -keyform engine -key "$hsm_key" \
  -subj "/CN=Vossimere HSM test publisher" -addext "extendedKeyUsage=codeSigning" -days 2 \
  -out hsm-cert.pem > /dev/null 2>&1 || fail "openssl could not certify the token's key"
openssl req -x509 -newkey rsa:2048 -nodes -keyout tsa-key.pem -out tsa-cert.pem -days 2 \
  -subj "/CN=Vossimere test TSA" -addext "extendedKeyUsage=critical,timeStamping" 2> /dev/null
cat hsm-cert.pem cert.pem > publishers.pem
hsm_sign=(osslsigncode sign -pkcs11engine "$engine" -pkcs11module "$module" -key "$hsm_key"
  -certs hsm-cert.pem -h sha256 -n Corvalinth)
tsa=(-TSA-certs tsa-cert.pem -TSA-key tsa-key.pem -TSA-time "$(date +%s)")
"${hsm_sign[@]}" -in launcher.exe -out hsm-signed.exe > /dev/null 2>&1 || fail "signing in the token"
"${hsm_sign[@]}" "${tsa[@]}" -in launcher.exe -out hsm-stamped.exe > /dev/null 2>&1 ||
  fail "signing in the token with a time stamp"
osslsigncode sign -nest -certs cert.pem -key key.pem -h sha1 "${tsa[@]}" \
  -in hsm-stamped.exe -out hsm-nested.exe > /dev/null 2>&1 || fail "adding the nested signature"
osslsigncode verify -in hsm-nested.exe -CAfile publishers.pem -TSA-CAfile tsa-cert.pem \
  > ossl-nested.txt 2>&1 || { cat ossl-nested.txt; fail "osslsigncode refuses the nested file"; }
[ "$(grep -c "^Signature verification: ok" ossl-nested.txt)" = 2 ] ||
  fail "osslsigncode on the nested file: $(cat ossl-nested.txt)"

# One payload byte changed (the package's 100th), and the image checksum set again as a forger
# would, so that only the signature can tell.
package_at=$(pack inspect --json launcher.exe | sed -n 's/.*"packageOffset":\([0-9]*\).*/\1/p')
[ -n "$package_at" ] || fail "inspect --json gives no packageOffset"
cp hsm-nested.exe hsm-changed.exe
byte=$(od -An -tu1 -j$((package_at + 99)) -N1 hsm-changed.exe | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" |
  dd of=hsm-changed.exe bs=1 seek=$((package_at + 99)) conv=notrunc status=none
sum=$(calculated_checksum hsm-changed.exe)
pe=$(od -An -tu4 -j60 -N4 hsm-changed.exe | tr -d ' ')
printf "$(printf '\\x%s' "${sum:6:2}" "${sum:4:2}" "${sum:2:2}" "${sum:0:2}")" |
  dd of=hsm-changed.exe bs=1 seek=$((pe + 88)) conv=notrunc status=none
if osslsigncode verify -in hsm-changed.exe -CAfile publishers.pem -TSA-CAfile tsa-cert.pem \
  > ossl-changed.txt 2>&1; then fail "osslsigncode verifies the changed file"; fi
[ "$(grep -c "MISMATCH" ossl-changed.txt)" = 2 ] ||
  fail "osslsigncode does not find both digests changed: $(cat ossl-changed.txt)"

for file in hsm-signed hsm-stamped hsm-nested hsm-changed; do
  set +e
  pack verify --json "$file.exe" > "$file.json"
  echo $? > "$file.code"
  set -e
done
# osslsigncode's "Calculated message digest" of each signature, in order.
ossl_digests() {
  { osslsigncode verify -in "$1" 2>&1 || true; } |
    sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p' | tr 'A-F' 'a-f' | tr '\n' ' '
}
# Each file's report against what it must say: exit code, then per signature
# nested/algorithm/signer/time stamp/match, then osslsigncode's digests.
python3 - "$work" "$(ossl_digests hsm-signed.exe)" "$(ossl_digests hsm-stamped.exe)" \
  "$(ossl_digests hsm-nested.exe)" "$(ossl_digests hsm-changed.exe)" << 'EOF_PY' ||
import json, sys
work, digests = sys.argv[1], dict(zip(["hsm-signed", "hsm-stamped", "hsm-nested", "hsm-changed"],
                                      (d.split() for d in sys.argv[2:])))
hsm = ("sha256", "CN=Vossimere HSM test publisher")
second = ("sha1", "CN=Vossimere test publisher")
ok, changed, stamped = (True, "verified"), (False, "does-not-verify"), (True, "verified")
expected = {
    "hsm-signed": (0, [(False,) + hsm + ((False, None),) + ok]),
    "hsm-stamped": (0, [(False,) + hsm + (stamped,) + ok]),
    "hsm-nested": (0, [(False,) + hsm + (stamped,) + ok, (True,) + second + (stamped,) + ok]),
    "hsm-changed": (1, [(False,) + hsm + (stamped,) + changed,
                        (True,) + second + (stamped,) + changed]),
}
for name, (code, signatures) in expected.items():
    report = json.load(open(f"{work}/{name}.json"))
    got_code = int(open(f"{work}/{name}.code").read())
    sig = report["signature"]
    got = [(s["nested"], s["digestAlgorithm"], s["signer"],
            (s["timeStamp"] is not None, s["timeStampResult"]), s["digestMatches"], s["result"])
           for s in sig["signatures"]]
    if got_code != code or got != signatures or not sig["signed"] or sig["problem"]:
        sys.exit(f"{name}: exit {got_code}, signatures {got}, problem {sig['problem']}")
    if [s["fileDigest"] for s in sig["signatures"]] != digests[name]:
        sys.exit(f"{name}: digests {[s['fileDigest'] for s in sig['signatures']]}, "
                 f"osslsigncode's {digests[name]}")
    if not sig["onlyAlignment"] or sig["bytesAfterSignature"] > 7:
        sys.exit(f"{name}: {sig['bytesAfterSignature']} bytes after the signature")
    broken = [r["rule"] for r in report["rules"] if r["result"] == "broken"]
    if broken != (["signature-digest"] if code else []):
        sys.exit(f"{name}: broken rules {broken}")
EOF_PY
  fail "verify --json on the token-signed files disagrees (see $work/hsm-*.json)"
grep -q '"messages":\["signature 1 signs the sha256 image digest' hsm-changed.json ||
  fail "verify does not say which signature no longer matches: $(cat hsm-changed.json)"

# The options: the time stamp the first file lacks, the signature the unsigned one lacks.
pack verify --require-signed --require-timestamp hsm-nested.exe > hsm-nested.txt ||
  fail "verify --require-timestamp refuses the time-stamped, nested file"
grep -qx '  signature 2 (nested): sha1, image digest matches; verified; not checked against a trusted root; signer "CN=Vossimere test publisher"; time stamp (RFC 3161) by "CN=Vossimere test TSA" verified; not checked against a trusted root' \
  hsm-nested.txt || fail "verify's text on the nested file: $(cat hsm-nested.txt)"
# The chains, as osslsigncode builds them above: to the CA files' roots, for code signing and
# time stamping; the TSA's certificate is no code signer's root, the publisher's no TSA's.
pack verify --ca publishers.pem --timestamp-ca tsa-cert.pem --json hsm-nested.exe > chains.json ||
  fail "verify --ca --timestamp-ca refuses the nested file: $(cat chains.json)"
[ "$(grep -o '"trustedRoot":"verified"' chains.json | wc -l)" = 2 ] ||
  fail "verify --ca does not verify both chains: $(cat chains.json)"
if pack verify --ca tsa-cert.pem hsm-nested.exe 2> wrong-ca.txt; then
  fail "verify --ca passes signers whose root is not in the CA file"
fi
grep -q ": signature-verifies: signature 1 does not verify: the signer's certificate does not chain to a root of the CA file" \
  wrong-ca.txt || fail "verify --ca with the wrong root: $(cat wrong-ca.txt)"
if pack verify --timestamp-ca publishers.pem --require-timestamp hsm-nested.exe 2> wrong-tsa.txt; then
  fail "verify --timestamp-ca passes a time stamp whose root is not in the CA file"
fi
grep -q ": timestamp-required: signature 1's time stamp does not verify: the time stamper's certificate does not chain" \
  wrong-tsa.txt || fail "verify --timestamp-ca with the wrong root: $(cat wrong-tsa.txt)"
if pack verify --require-timestamp hsm-signed.exe 2> no-stamp.txt; then
  fail "verify --require-timestamp passes a signature without a time stamp"
fi
grep -q ": timestamp-required: signature 1 has no time stamp" no-stamp.txt ||
  fail "unexpected refusal: $(cat no-stamp.txt)"
if pack verify --require-signed launcher.exe 2> no-signature.txt; then
  fail "verify --require-signed passes an unsigned file"
fi
grep -q ": signature-required: the file carries no signature" no-signature.txt ||
  fail "unexpected refusal: $(cat no-signature.txt)"

# A signed installer program inside: the osslsigncode-signed launcher stands for one.
pack build --stub in/Vossimere.exe --installer signed.exe --installer-name setup.exe \
  --package in/Corvalinth.msi --title Corvalinth -o carries-signed.exe 2> /dev/null
pack verify carries-signed.exe > carries-signed.txt || fail "verify carries-signed.exe"
grep -qx "  installer setup.exe: signed, verified; not checked against a trusted root" \
  carries-signed.txt &&
  grep -qx "  installer setup.exe: not known (no Windows program's headers to read)" \
    <(pack verify launcher.exe) ||
  fail "verify on the embedded installer's signature: $(cat carries-signed.txt)"

# The forgeries. Each is checked with verify --require-signed --require-timestamp, the release
# gate, and osslsigncode verify's answer is recorded beside it in attacks.txt.
surgery() { python3 "$(dirname "${BASH_SOURCE[0]}")/signature_surgery.py" "$@"; }
flip_byte() {  # FILE OFFSET: one byte changed
  local b
  b=$(od -An -tu1 -j"$2" -N1 "$1" | tr -d ' ')
  printf "\\$(printf '%03o' $(((b + 1) % 256)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
json_field() { sed -n "s/.*\"$2\":\"\\([0-9a-f]*\\)\".*/\\1/p" "$1" | head -1; }
: > attacks.txt
# FILE EXPECTED-LINE: the gate must fail with that finding; osslsigncode's verdict is recorded.
refused() {
  local file=$1 expected=$2 ossl
  if pack verify --require-signed --require-timestamp "$file" > /dev/null 2> "$file.txt"; then
    fail "the gate passes the forgery $file"
  fi
  grep -qF -- "$expected" "$file.txt" || fail "verify on $file: $(cat "$file.txt")"
  ossl=$({ osslsigncode verify -in "$file" -CAfile publishers.pem -TSA-CAfile tsa-cert.pem 2>&1 ||
    true; } | grep -E "MISMATCH|failure|Timestamp is not available|^Signature verification|^Succeeded|^Failed" |
    tr '\n' ' ')
  printf '%s\n  vossimere-pack: %s\n  osslsigncode: %s\n' "$file" "$(head -1 "$file.txt")" "$ossl" \
    >> attacks.txt
}
# 1. A SHA-512 signature, time-stamped, over a file changed afterwards (checksum set again).
osslsigncode sign -certs cert.pem -key key.pem -h sha512 "${tsa[@]}" -in launcher.exe \
  -out attack1.exe > /dev/null 2>&1 || fail "signing with SHA-512"
pack verify --require-signed --require-timestamp attack1.exe > /dev/null ||
  fail "the gate refuses a sound SHA-512 signature"
flip_byte attack1.exe $((package_at + 99))
surgery checksum attack1.exe
refused attack1.exe ": signature-digest: signature 1 signs the sha512 image digest"
# 2. The payload changed and its new image digest written into the SpcIndirectDataContent.
osslsigncode sign -certs cert.pem -key key.pem -h sha256 "${tsa[@]}" -in launcher.exe \
  -out stamped.exe > /dev/null 2>&1 || fail "signing with a time stamp"
osslsigncode extract-signature -in stamped.exe -out stamped.der > /dev/null
cp launcher.exe changed.exe
flip_byte changed.exe $((package_at + 99))
surgery checksum changed.exe
surgery attach changed.exe stamped.der digest-old.exe
pack verify --json stamped.exe > stamped.json || true
pack verify --json digest-old.exe > digest-old.json || true
surgery replace stamped.der "$(json_field stamped.json signedDigest)" \
  "$(json_field digest-old.json fileDigest)" rewritten.der
surgery attach changed.exe rewritten.der attack2.exe
refused attack2.exe ": signature-verifies: signature 1 does not verify: its messageDigest attribute is not the sha256 hash of the SpcIndirectDataContent"
# 3. An empty counter-signature attribute, and an RFC 3161 one holding NULL, on a signature that
# has no time stamp.
osslsigncode extract-signature -in signed.exe -out plain.der > /dev/null
surgery unsigned-attribute plain.der 2a864886f70d010906 "" empty-stamp.der
surgery attach launcher.exe empty-stamp.der attack3a.exe
refused attack3a.exe ": timestamp-required: signature 1's time stamp does not verify: the time-stamp attribute holds no time stamp"
surgery unsigned-attribute plain.der 2b060104018237030301 0500 null-stamp.der
surgery attach launcher.exe null-stamp.der attack3b.exe
refused attack3b.exe ": timestamp-required: signature 1's time stamp does not verify: the time-stamp token is not a PKCS #7 SignedData"
# A PKCS #9 counter-signature made with openssl cms over the signature's value counts, as it
# does for osslsigncode; one over other bytes does not.
surgery signature-value plain.der value.bin
openssl cms -sign -binary -in value.bin -signer tsa-cert.pem -inkey tsa-key.pem -md sha256 \
  -outform DER -out counter-cms.der
surgery countersign plain.der counter-cms.der countersigned.der
surgery attach launcher.exe countersigned.der countersigned.exe
osslsigncode verify -in countersigned.exe -CAfile publishers.pem -TSA-CAfile tsa-cert.pem \
  > ossl-counter.txt 2>&1 || fail "osslsigncode refuses the counter-signed file: $(cat ossl-counter.txt)"
pack verify --require-signed --require-timestamp --timestamp-ca tsa-cert.pem countersigned.exe \
  > counter.txt || fail "the gate refuses the counter-signed file"
grep -qF 'time stamp (counter-signature) by "CN=Vossimere test TSA" verified, its chain' counter.txt ||
  fail "verify on the counter-signed file: $(cat counter.txt)"
printf 'other' > other-value.bin
openssl cms -sign -binary -in other-value.bin -signer tsa-cert.pem -inkey tsa-key.pem -md sha256 \
  -outform DER -out other-cms.der
surgery countersign plain.der other-cms.der misplaced.der
surgery attach launcher.exe misplaced.der attack3c.exe
refused attack3c.exe ": timestamp-required: signature 1's time stamp does not verify: its messageDigest attribute is not the sha256 hash of the signature's value"
# 4. A certificate of another subject with the signer's issuer and serial number beside it.
openssl req -new -newkey rsa:2048 -nodes -keyout spoof-key.pem -subj "/CN=Spoofed publisher" \
  -out spoof.csr 2> /dev/null
openssl x509 -req -in spoof.csr -CA cert.pem -CAkey key.pem -days 2 -out spoof.pem \
  -set_serial "0x$(openssl x509 -in cert.pem -noout -serial | cut -d= -f2)" 2> /dev/null
osslsigncode sign -certs cert.pem -ac spoof.pem -key key.pem -h sha256 "${tsa[@]}" \
  -in launcher.exe -out attack4.exe > /dev/null 2>&1 || fail "signing with the spoofed certificate"
refused attack4.exe ": signature-verifies: signature 1 does not verify: two certificates in the signature bear the issuer and serial number the signer names"
pack verify --json attack4.exe > attack4.json || true
grep -q '"signer":null' attack4.json || fail "verify names a signer of attack4.exe: $(cat attack4.json)"
# 5. Another file's signature, its digest set to this file's, nested in this file's own.
head -c 3000 /dev/urandom > in/other.bin
pack build --stub in/Vossimere.exe --installer in/other.bin --installer-name setup.exe \
  --package in/Corvalinth.msi --title Other -o other.exe 2> /dev/null
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -in other.exe -out other-signed.exe \
  > /dev/null
osslsigncode extract-signature -in other-signed.exe -out other.der > /dev/null
pack verify --json other-signed.exe > other.json || true
pack verify --json stamped.exe > stamped.json || true
surgery replace other.der "$(json_field other.json signedDigest)" \
  "$(json_field stamped.json signedDigest)" foreign.der
osslsigncode extract-signature -in stamped.exe -out outer.der > /dev/null
surgery nest outer.der foreign.der nested-foreign.der
surgery attach launcher.exe nested-foreign.der attack5.exe
refused attack5.exe ": signature-verifies: signature 2 (nested) does not verify: its messageDigest attribute is not the sha256 hash"
# 6. A signed installer with one byte changed, and one whose certificate entry points at 64
# zero bytes, carried by a launcher file that is itself signed soundly.
cp signed.exe setup-changed.exe
flip_byte setup-changed.exe 5000
surgery zero-table launcher.exe setup-hollow.exe
for installer in setup-changed setup-hollow; do
  pack build --stub in/Vossimere.exe --installer "$installer.exe" --installer-name setup.exe \
    --package in/Corvalinth.msi --title Corvalinth -o "carries-$installer.exe" 2> /dev/null
  osslsigncode sign -certs cert.pem -key key.pem -h sha256 "${tsa[@]}" \
    -in "carries-$installer.exe" -out "attack6-$installer.exe" > /dev/null 2>&1
  refused "attack6-$installer.exe" ": signature-verifies: the installer program's signature"
  ossl=$({ osslsigncode verify -in "$installer.exe" -CAfile publishers.pem 2>&1 || true; } |
    grep -E "MISMATCH|^Succeeded|^Failed|Unrecognized|corrupt" | tr '\n' ' ')
  printf '  osslsigncode on the installer itself: %s\n' "$ossl" >> attacks.txt
done
grep -q "installer program's signature 1 does not verify: the image digest differs" \
  attack6-setup-changed.exe.txt && grep -q "holds no PKCS #7 signature" attack6-setup-hollow.exe.txt ||
  fail "verify on the changed installers: $(cat attack6-setup-*.exe.txt)"
# 6c. A package wixl made and osslsigncode signed: its signature verifies; with one byte of a
# Property value (the Manufacturer's) changed inside the launcher file, it does not, and the gate
# fails on it also when the launcher file is signed soundly around it.
wixl -a x64 -o package.msi "$(dirname "${BASH_SOURCE[0]}")/../packages/per-user.wxs" \
  2> wixl.log || fail "wixl: $(cat wixl.log)"
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -in package.msi -out package-signed.msi \
  > /dev/null || fail "signing the package"
pack build --stub in/Vossimere.exe --installer in/setup.exe --package package-signed.msi \
  --package-name Corvalinth.msi --title Corvalinth -o carries-package.exe 2> /dev/null
pack verify carries-package.exe > carries-package.txt ||
  fail "verify carries-package.exe: $(cat carries-package.txt)"
grep -qx "  package Corvalinth.msi: signed, verified; not checked against a trusted root" \
  carries-package.txt || fail "verify on the signed package: $(cat carries-package.txt)"
grep -qx "    package signature 1: sha256, package digest matches; verified; not checked against a trusted root; signer \"CN=Vossimere test publisher\"; no time stamp" \
  carries-package.txt || fail "the package's signature line: $(cat carries-package.txt)"
osslsigncode sign -certs cert.pem -key key.pem -h sha256 "${tsa[@]}" -in carries-package.exe \
  -out carries-package-signed.exe > /dev/null 2>&1
pack verify --require-signed --require-timestamp carries-package-signed.exe > /dev/null ||
  fail "the gate refuses a soundly signed package"
# Signed with MsiDigitalSignatureEx (the hash of the streams' metadata signed too), by SHA-384.
osslsigncode sign -add-msi-dse -certs cert.pem -key key.pem -h sha384 -in package.msi \
  -out package-dse.msi > /dev/null || fail "signing the package with -add-msi-dse"
pack build --stub in/Vossimere.exe --installer in/setup.exe --package package-dse.msi \
  --package-name Corvalinth.msi --title Corvalinth -o carries-dse.exe 2> /dev/null
pack verify carries-dse.exe > carries-dse.txt || fail "verify carries-dse.exe: $(cat carries-dse.txt)"
grep -q "^    package signature 1: sha384, package digest matches; verified;" carries-dse.txt ||
  fail "the package signed with MsiDigitalSignatureEx: $(cat carries-dse.txt)"
# The byte: inside the package's string data, where "ller & S" (of "Müller & Söhne") stands.
in_package=$(grep -obUaF "ller & S" package-signed.msi | head -1 | cut -d: -f1)
[ -n "$in_package" ] || fail "the Manufacturer is not found in the package"
package_at=$(pack inspect --json carries-package.exe | sed -n 's/.*"packageOffset":\([0-9]*\).*/\1/p')
cp carries-package.exe attack6c.exe
flip_byte attack6c.exe $((package_at + in_package))
cp package-signed.msi package-changed.msi
flip_byte package-changed.msi "$in_package"
msiinfo export package-changed.msi Property | grep -q "^Manufacturer	M.mler & S" ||
  fail "the changed byte is not the Manufacturer's: $(msiinfo export package-changed.msi Property)"
if pack verify attack6c.exe > /dev/null 2> attack6c.txt; then fail "verify passes attack6c.exe"; fi
grep -qF ": signature-verifies: the package's signature 1 does not verify: the digest of the package's streams differs: the package was changed after it was signed" \
  attack6c.txt || fail "verify on attack6c.exe: $(cat attack6c.txt)"
pack verify --json attack6c.exe > attack6c.json || true
grep -qF '"packageResult":"does-not-verify"' attack6c.json || fail "attack6c.exe: $(cat attack6c.json)"
osslsigncode sign -certs cert.pem -key key.pem -h sha256 "${tsa[@]}" -in attack6c.exe \
  -out attack6c-signed.exe > /dev/null 2>&1
refused attack6c-signed.exe ": signature-verifies: the package's signature 1 does not verify: the digest of the package's streams differs"
grep -q ": signature-required: the package's signature 1 does not verify" attack6c-signed.exe.txt ||
  fail "--require-signed on attack6c-signed.exe: $(cat attack6c-signed.exe.txt)"
for msi in package-signed package-changed; do
  ossl=$({ osslsigncode verify -in "$msi.msi" -CAfile publishers.pem 2>&1 || true; } |
    grep -E "MISMATCH|^Signature verification|^Succeeded|^Failed" | tr '\n' ' ')
  printf '  osslsigncode on %s.msi: %s\n' "$msi" "$ossl" >> attacks.txt
done
# 9. A signer whose subject holds a quote: the text escapes it.
openssl req -x509 -newkey rsa:2048 -nodes -keyout quote-key.pem -out quote-cert.pem -days 2 \
  -subj '/CN=Vossimere "quoted" publisher' -addext "extendedKeyUsage=codeSigning" 2> /dev/null
osslsigncode sign -certs quote-cert.pem -key quote-key.pem -h sha256 -in launcher.exe \
  -out quoted.exe > /dev/null
pack verify quoted.exe > quoted.txt || fail "verify quoted.exe: $(cat quoted.txt)"
grep -qF 'signer "CN=Vossimere \"quoted\" publisher"' quoted.txt ||
  fail "the quoted signer is not escaped: $(cat quoted.txt)"

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
