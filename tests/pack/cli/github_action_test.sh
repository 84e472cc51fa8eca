#!/usr/bin/env bash
# The repository's action (action.yml): it holds to GitHub's action metadata schema (the
# action-validator of install-deps, which must also refuse a copy without runs.using), its build
# step runs scripts/action-build, and that step, run as the Linux runner runs it with the tool
# this build made on PATH in place of the release's .deb (a folder holding the tool and
# Vossimere.exe, as the .deb installs them), builds and verifies a launcher file from the example
# product's wixl package and writes the outputs path, sha256, folder-name and product-code.
# Then the job docs/publishing.md shows, run twice in one job as a runner runs it: the action's
# steps (the release of its VERSION, the build into a folder that did not exist), signing, and
# manifest winget --output-dir on the signed file; the same commit's time on two copies of the
# inputs with other modification times gives the same file; a package that is not a Windows
# Installer package fails the step. And the release workflow (.github/workflows/release.yml): it
# holds to the workflow schema, and its assets, as scripts/release-assets gathers them, carry the
# names the action downloads.
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

# The action installs the release of the VERSION in its own checkout, from the repository the
# runner keeps it under, whatever ref it was used at.
version=$(head -n 1 "$source/VERSION")
mkdir -p runner/_actions/Publisher/vossimere/main/scripts
cp "$source/VERSION" runner/_actions/Publisher/vossimere/main/
: > release.out
GITHUB_ACTION_PATH="$work/runner/_actions/Publisher/vossimere/main" GITHUB_OUTPUT=release.out \
  REPOSITORY= bash "$source/scripts/action-release" > /dev/null
expected="tag=v$version
repository=Publisher/vossimere
deb=vossimere_${version}_amd64.deb
windows-zip=vossimere-${version}-windows-x86_64.zip"
[ "$(cat release.out)" = "$expected" ] || fail "action-release wrote $(cat release.out)"
grep -q 'github.action_ref' "$source/action.yml" && fail "action.yml still installs by github.action_ref"
for output in tag repository deb windows-zip; do
  grep -q "\${{ steps.release.outputs.$output }}" "$source/action.yml" ||
    fail "action.yml's install steps do not use the release's $output"
done
grep -q -- '--clobber' "$source/action.yml" && grep -q -- '-Force' "$source/action.yml" ||
  fail "the Windows install cannot run twice into the same job"
mkdir -p noversion
if GITHUB_ACTION_PATH="$work/noversion" GITHUB_OUTPUT=release.out REPOSITORY=a/b \
   bash "$source/scripts/action-release" > noversion.log 2>&1; then
  fail "action-release ran without a VERSION"
fi
grep -q '^::error::the action.s checkout holds no VERSION' noversion.log || fail "$(cat noversion.log)"

# The job of docs/publishing.md, twice in one job: the action's steps (with the tool on PATH, as
# its install step leaves it), the build into a folder that does not exist yet, signing, and the
# winget manifests from the signed file. The checkout is a commit of a known time.
git init -q job && cp setup.exe product.msi job/
git -C job add . && GIT_COMMITTER_DATE=@1700000000 GIT_AUTHOR_DATE=@1700000000 \
  git -C job -c user.name=ci -c user.email=ci@example.com commit -qm release
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Vossimere test publisher" -addext "extendedKeyUsage=codeSigning" 2> /dev/null
: > job.outputs
for run in 1 2; do
  echo "--- run $run of the job"
  (cd job && PATH="$work/bin:$PATH" GITHUB_WORKSPACE="$work/job" GITHUB_OUTPUT="$work/job.outputs" \
     VOSSIMERE_STUB= VOSSIMERE_INSTALLER=setup.exe VOSSIMERE_PACKAGE=product.msi \
     VOSSIMERE_TITLE="Example Product" VOSSIMERE_OUTPUT="dist/run $run/Example Setup.exe" \
     bash "$source/scripts/action-build") || fail "the action's build, run $run"
  [ -f "job/dist/run $run/Example Setup.exe" ] || fail "no output in the new folder, run $run"
  osslsigncode sign -certs cert.pem -key key.pem -n "Example Product" -h sha256 \
    -in "job/dist/run $run/Example Setup.exe" -out "job/dist/run $run/signed.exe" > /dev/null
  "$tool" manifest winget "job/dist/run $run/signed.exe" --identifier Vossimere.ExampleProduct \
    --url https://example.com/ExampleSetup.exe --output-dir "job/winget/run $run" \
    --license Proprietary --short-description "An example product" 2> manifest.err ||
    fail "manifest winget: $(cat manifest.err)"
  [ ! -s manifest.err ] || fail "manifest winget warns about the signed file: $(cat manifest.err)"
  # The manifest names the signed file's SHA-256, never the unsigned build's. (Two runs within
  # one second sign alike, so the runs' manifests may well be equal.)
  signed=$(sha256sum "job/dist/run $run/signed.exe" | cut -d' ' -f1 | tr a-f A-F)
  grep -q "^    InstallerSha256: $signed\$" "job/winget/run $run/Vossimere.ExampleProduct.installer.yaml" ||
    fail "the manifest of run $run does not name the signed file's SHA-256 $signed"
done
grep -c '^path=dist/run ./Example Setup.exe$' job.outputs | grep -qx 2 || fail "$(cat job.outputs)"
ls "job/winget/run 2"

# Two checkouts of one commit: the same file, though the copies' modification times differ;
# without a commit's time or SOURCE_DATE_EPOCH, different files.
build_copy() {  # FOLDER WORKSPACE
  (cd "$1" && PATH="$work/bin:$PATH" GITHUB_WORKSPACE="$2" GITHUB_OUTPUT=/dev/null \
     SOURCE_DATE_EPOCH= VOSSIMERE_STUB= VOSSIMERE_INSTALLER=setup.exe VOSSIMERE_PACKAGE=product.msi \
     VOSSIMERE_TITLE="Example Product" VOSSIMERE_OUTPUT=out/setup.exe \
     bash "$source/scripts/action-build" > build.log 2>&1) || fail "build in $1: $(cat "$1/build.log")"
  sha256sum "$1/out/setup.exe" | cut -d' ' -f1
}
mkdir copy1 copy2
cp setup.exe product.msi copy1/ && cp setup.exe product.msi copy2/
touch -d '2024-01-01 10:00' copy1/setup.exe copy1/product.msi
touch -d '2024-02-01 10:00' copy2/setup.exe copy2/product.msi
[ "$(build_copy copy1 "$work/job")" = "$(build_copy copy2 "$work/job")" ] ||
  fail "two copies of one commit built different files"
grep -q '^SOURCE_DATE_EPOCH=1700000000, the time of the commit checked out' copy1/build.log ||
  fail "$(cat copy1/build.log)"
[ "$(build_copy copy1 "$work/noversion")" != "$(build_copy copy2 "$work/noversion")" ] ||
  fail "the copies' times make no difference: the check above shows nothing"
echo "two copies of one commit: one SHA-256"

# A package that is not a Windows Installer package fails the step, leaves no output and no
# outputs, unless allow-non-msi is 'true'.
printf 'not a package' > plain.msi
: > outputs
if PATH="$work/bin:$PATH" GITHUB_OUTPUT="$work/outputs" VOSSIMERE_INSTALLER=setup.exe \
   VOSSIMERE_PACKAGE=plain.msi VOSSIMERE_TITLE=x VOSSIMERE_OUTPUT=plain/setup.exe \
   bash "$source/scripts/action-build" > plain.log 2>&1; then
  fail "action-build shipped a package that is not a Windows Installer package"
fi
grep -q '^::error::plain.msi is not a Windows Installer package: ' plain.log || fail "$(cat plain.log)"
[ ! -e plain/setup.exe ] && [ ! -s outputs ] || fail "a refused package left its output"
PATH="$work/bin:$PATH" GITHUB_OUTPUT="$work/outputs" VOSSIMERE_INSTALLER=setup.exe \
  VOSSIMERE_PACKAGE=plain.msi VOSSIMERE_TITLE=x VOSSIMERE_OUTPUT=plain/setup.exe \
  VOSSIMERE_ALLOW_NON_MSI=true bash "$source/scripts/action-build" > plain.log 2>&1 ||
  fail "allow-non-msi: $(cat plain.log)"
grep -q "^::warning::the package's ProductCode could not be read" plain.log || fail "$(cat plain.log)"

# The release workflow: GitHub's schema, and the assets scripts/release-assets gathers (here from
# stand-ins named as scripts/package names its packages) are the ones the action downloads.
release=$source/.github/workflows/release.yml
action-validator "$release" || fail "release.yml breaks GitHub's workflow schema"
sed 's/^    runs-on: ubuntu-latest/    runs-onn: ubuntu-latest/' "$release" > broken/release.yml
if action-validator broken/release.yml > /dev/null 2>&1; then
  fail "action-validator accepts a job without runs-on"
fi
for wanted in "tags: ['v*']" 'run: scripts/test-all' 'run: scripts/package' \
              'scripts/release-assets --check "$GITHUB_REF_NAME"' 'run-tests.cmd' \
              'actions/attest-build-provenance@' 'needs: [packages, windows]' 'gh release create'; do
  grep -qF -- "$wanted" "$release" || fail "release.yml lacks $wanted"
done
mkdir -p packages
for name in "vossimere_${version}_amd64.deb" "vossimere-${version}-linux-x86_64.tar.gz" \
            "vossimere-${version}-windows-x86_64.zip" "vossimere-${version}-windows-x86_64-tests.zip"; do
  echo "$name" > "packages/$name"
done
VOSSIMERE_RELEASE_BUILD="$work/packages" bash "$source/scripts/release-assets" "v$version" \
  "$work/assets" || fail "release-assets"
(cd assets && sha256sum --check --strict SHA256SUMS) || fail "SHA256SUMS"
for asset in "$(sed -n 's/^deb=//p' release.out)" "$(sed -n 's/^windows-zip=//p' release.out)"; do
  [ -f "assets/$asset" ] || fail "the action downloads $asset, which the release does not hold"
done
if bash "$source/scripts/release-assets" --check "v0.0.1" > tag.log 2>&1; then
  fail "release-assets took a tag that is not the version"
fi
grep -q "^release-assets: the tag v0.0.1 is not the project's version: VERSION holds $version" \
  tag.log || fail "$(cat tag.log)"
echo "action: every check passed"
