#!/usr/bin/env bash
# The package fields inspect reads with the tool's own compound-file and string-pool reader,
# held against msitools' `msiinfo export PACKAGE Property` for real packages made by wixl: the
# example product (per machine), a per-user package in code page 1252 with names beyond ASCII,
# a dual-purpose one in UTF-8 with a Japanese name whose string data fills whole sectors, and the
# per-user package again in the code pages packages are written in (932, 936, 1251, 1253 and
# 65001), its strings stored in each by msibuild. Prints both sides of each field, then fails on
# any difference.
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

# The per-user package with its code page forced and names in that code page's script: msibuild
# imports the tables as UTF-8 and stores their strings in the database's code page.
declare -A names=(
  [932]="日本語の製品 ｶﾀｶﾅ|株式会社テスト" [936]="中文产品测试|测试公司"
  [1251]="Продукт Тест|Тестовая компания" [1253]="Προϊόν Δοκιμή|Εταιρεία Δοκιμών"
  [65001]="Ünïcode 日本 Продукт|Vossimère")
codepages=(932 936 1251 1253 65001)
# Its names first in ASCII, which every code page holds: msitools 0.101 crashes forcing a code page
# on strings it cannot hold.
sed -e 's/Name="Café Tool – Ünïcode"/Name="Plain"/' -e 's/Müller &amp; Söhne/Plain/' per-user.wxs \
  > ascii.wxs
wixl -a x64 -o ascii.msi ascii.wxs 2> ascii.wixl.log || fail "wixl ascii.wxs: $(cat ascii.wixl.log)"
for cp in "${codepages[@]}"; do
  cp ascii.msi "cp$cp.msi"
  printf '\r\n\r\n%s\t_ForceCodepage\r\n' "$cp" > _ForceCodepage.idt
  msiinfo export ascii.msi Property > Property.idt
  python3 - Property.idt "${names[$cp]}" <<'PY'
import sys
path, names = sys.argv[1:]
product, manufacturer = names.split("|")
rows = open(path, encoding="utf-8", newline="").read().split("\r\n")
for i, row in enumerate(rows):
    key = row.partition("\t")[0]
    if i >= 3 and key in ("ProductName", "Manufacturer"):
        rows[i] = key + "\t" + (product if key == "ProductName" else manufacturer)
open(path, "w", encoding="utf-8", newline="").write("\r\n".join(rows))
PY
  # One table a run: msitools 0.101 crashes importing two at once.
  msibuild "cp$cp.msi" -i _ForceCodepage.idt || fail "msibuild cp$cp.msi _ForceCodepage"
  msibuild "cp$cp.msi" -i Property.idt || fail "msibuild cp$cp.msi Property"
done

status=0
for name in product per-user dual-purpose "${codepages[@]/#/cp}"; do
  [ -f "$name.msi" ] || wixl -a x64 -o "$name.msi" "$name.wxs" 2> "$name.wixl.log" ||
    fail "wixl $name.wxs: $(cat "$name.wixl.log")"
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
ok = package is not None and package["problem"] is None and package["warnings"] == []
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
