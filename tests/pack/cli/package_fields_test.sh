#!/usr/bin/env bash
# The package fields inspect reads with the tool's own compound-file and string-pool reader,
# held against msitools' `msiinfo export PACKAGE Property` for real packages made by wixl: the
# example product (per machine), a per-user package in code page 1252 with names beyond ASCII,
# and a dual-purpose one in UTF-8 with a Japanese name whose string data fills whole sectors.
# Prints both sides of each field, then fails on any difference.
#
# Usage: package_fields_test.sh WORK_DIR STUB SOURCE_DIR PACK_TOOL [EMULATOR]
set -euo pipefail

work=$1 stub=$2 source=$3
tool=("${@:4}")
# A Windows build runs under its emulator: "wine-run vossimere-pack.exe".
if [ ${#tool[@]} -eq 2 ]; then
  tool=("${tool[1]}" "${tool[0]}")
fi

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$stub" Vossimere.exe
printf 'MZ' > setup.exe

cp "$source/examples/product/product.wxs" "$source/examples/product/readme.txt" .
cp "$source/tests/pack/packages/per-user.wxs" .
python3 - "$source/tests/pack/packages/dual-purpose.wxs" dual-purpose.wxs <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
more = "".join('    <Property Id="P%03d" Value="%s" />\n' % (i, ("value %d " % i) * 12) for i in range(200))
open(sys.argv[2], "w", encoding="utf-8").write(text.replace("<!--MORE-->", more))
PY

status=0
for name in product per-user dual-purpose; do
  wixl -a x64 -o "$name.msi" "$name.wxs" 2> "$name.wixl.log" || fail "wixl $name.wxs: $(cat "$name.wixl.log")"
  "${tool[@]}" build --stub Vossimere.exe --installer setup.exe --package "$name.msi" \
    --title "$name" -o "$name.exe" 2> /dev/null || fail "build $name.exe"
  "${tool[@]}" inspect --json "$name.exe" > "$name.json" || fail "inspect $name.exe"
  msiinfo export "$name.msi" Property > "$name.properties" || fail "msiinfo export $name.msi"
  python3 - "$name" "$name.json" "$name.properties" <<'PY' || status=1
import json, sys
name, report, exported = sys.argv[1:]
package = json.load(open(report, encoding="ascii"))["package"]
# Two header rows (names, column types) and the table's name, then a row a line, CR LF ended.
properties = {}
for row in open(exported, encoding="utf-8", newline="").read().split("\r\n")[3:]:
    if row:
        key, _, value = row.partition("\t")
        properties[key] = value
ok = package is not None and package["problem"] is None
print(f"{name}.msi" + ("" if ok else f": not read: {package}"))
for field in ["ProductCode", "UpgradeCode", "ProductVersion", "ProductName", "Manufacturer",
              "ALLUSERS", "MSIINSTALLPERUSER"]:
    ours = package.get(field) if ok else None
    theirs = properties.get(field)
    same = ours == theirs
    ok = ok and same
    print(f"  {field:18} inspect {ours!r:44} msiinfo {theirs!r}" + ("" if same else "  DIFFERS"))
print(f"  scope              {package.get('scope') if package else None}")
sys.exit(0 if ok else 1)
PY
done
exit $status
