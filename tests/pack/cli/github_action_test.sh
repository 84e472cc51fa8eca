#!/usr/bin/env bash
# The repository's action (action.yml): it holds to GitHub's action metadata schema (the
# action-validator of install-deps, which must also refuse a copy without runs.using), its build
# step runs scripts/action-build, and that step, run as the Linux runner runs it with the tool
# this build made on PATH in place of the release's .deb (a folder holding the tool and
# Vossimere.exe, as the .deb installs them), builds and verifies a launcher file from the example
# product's wixl package and writes the outputs path, sha256, folder-name and product-code.
#
# Usage: github_action_test.sh WORK_DIR STUB SOURCE_DIR PACK_TOOL
set -euo pipefail

work=$1 stub=$2 source=$3 tool=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v action-validator > /dev/null || fail "action-validator is not installed: run scripts/install-deps"

rm -rf "$work"
mkdir -p "$work/bin" "$work/broken"
cd "$work"
action-validator "$source/action.yml" || fail "action.yml breaks GitHub's action schema"
sed 's/^  using: composite/  usingg: composite/' "$source/action.yml" > broken/action.yml
if action-validator broken/action.yml > /dev/null 2>&1; then
  fail "action-validator accepts an action without runs.using: it checks nothing"
fi
grep -q 'run: bash "$GITHUB_ACTION_PATH/scripts/action-build"' "$source/action.yml" ||
  fail "action.yml's build step does not run scripts/action-build"
for output in path sha256 folder-name product-code; do
  grep -q "value: \${{ steps.build.outputs.$output }}" "$source/action.yml" ||
    fail "action.yml does not give the output $output"
done

ln -s "$tool" bin/vossimere-pack
cp "$stub" bin/Vossimere.exe
cp "$source/examples/product/product.wxs" "$source/examples/product/readme.txt" .
wixl -a x64 -o product.msi product.wxs
printf 'MZ' > setup.exe
: > outputs
mkdir out
PATH="$work/bin:$PATH" GITHUB_OUTPUT="$work/outputs" VOSSIMERE_STUB= \
  VOSSIMERE_INSTALLER=setup.exe VOSSIMERE_PACKAGE=product.msi VOSSIMERE_TITLE="Example Product" \
  VOSSIMERE_OUTPUT="out/Example Setup.exe" bash "$source/scripts/action-build" 2> build.log ||
  fail "action-build: $(cat build.log)"
cat outputs
sha=$(sha256sum "out/Example Setup.exe" | cut -d' ' -f1)
folder=$("$tool" inspect "out/Example Setup.exe" | sed -n 's/^folderName: *//p')
expected="path=out/Example Setup.exe
sha256=$sha
folder-name=$folder
product-code={3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}"
[ "$(cat outputs)" = "$expected" ] || fail "outputs differ; expected:
$expected"

# The icon and version inputs reach the build: with version-from-package the file describes the
# package's product. The host's stub keeps its resources after its imports, so this runs where
# the test is given a launcher with a resource section of its own (CUSTOM_STUB).
if [ -n "${CUSTOM_STUB:-}" ]; then
  cp "$CUSTOM_STUB" custom-stub.exe
  : > outputs
  PATH="$work/bin:$PATH" GITHUB_OUTPUT="$work/outputs" VOSSIMERE_STUB=custom-stub.exe \
    VOSSIMERE_INSTALLER=setup.exe VOSSIMERE_PACKAGE=product.msi VOSSIMERE_TITLE="Example Product" \
    VOSSIMERE_OUTPUT="out/Custom Setup.exe" VOSSIMERE_VERSION_FROM_PACKAGE=true \
    VOSSIMERE_COPYRIGHT="(c) Example" VOSSIMERE_VERSION_LANGUAGE=en-GB \
    bash "$source/scripts/action-build" 2> build.log || fail "action-build with version inputs: $(cat build.log)"
  "$tool" inspect "out/Custom Setup.exe" > custom.txt || true
  grep -q "language 0x0809 (en-GB)" custom.txt || fail "the language input is lost: $(cat custom.txt)"
  grep -q "^  ProductName:     Vossimere Example Product$" custom.txt ||
    fail "version-from-package is lost: $(cat custom.txt)"
  grep -q "^  LegalCopyright:  (c) Example$" custom.txt || fail "the copyright is lost"
  if PATH="$work/bin:$PATH" GITHUB_OUTPUT="$work/outputs" VOSSIMERE_STUB=custom-stub.exe \
     VOSSIMERE_INSTALLER=setup.exe VOSSIMERE_PACKAGE=product.msi VOSSIMERE_TITLE=x \
     VOSSIMERE_OUTPUT=bad.exe VOSSIMERE_VERSION_FROM_PACKAGE=yes \
     bash "$source/scripts/action-build" > bad.log 2>&1; then
    fail "action-build took version-from-package 'yes'"
  fi
fi

# A tool missing from PATH is an error the workflow shows, not an empty output.
: > outputs
if PATH=/usr/bin:/bin GITHUB_OUTPUT="$work/outputs" VOSSIMERE_INSTALLER=setup.exe \
   VOSSIMERE_PACKAGE=product.msi VOSSIMERE_TITLE=x VOSSIMERE_OUTPUT=none.exe \
   bash "$source/scripts/action-build" > missing.log 2>&1; then
  fail "action-build ran without a vossimere-pack on PATH"
fi
grep -q '^::error::vossimere-pack is not on PATH' missing.log || fail "no error: $(cat missing.log)"
[ ! -s outputs ] || fail "outputs written without a tool"
echo "action: every check passed"
