#!/usr/bin/env bash
# The real vossimere-pack program, as a publisher's script runs it, for what only a process shows
# (the in-process tests of tests/pack/cli hold the commands' results): Japanese names through the
# program's own command line, the report on standard output with plain line feeds, messages on
# standard error, the exit status, interrupts, and the bash completion.
#
# Usage: cli_smoke_test.sh WORK_DIR STUB VERSION PACK_TOOL [EMULATOR]
set -euo pipefail
# Wine turns the command line into UTF-16 by the locale's character set.
export LANG=C.UTF-8

work=$1 stub=$2 version=$3
tool=("${@:4}")
if [ ${#tool[@]} -eq 2 ]; then tool=("${tool[1]}" "${tool[0]}"); fi

fail() { echo "FAIL: $*" >&2; exit 1; }
pack() { "${tool[@]}" "$@"; }
expect_code() {
  local want=$1; shift
  set +e; pack "$@" > stdout.txt 2> stderr.txt; local got=$?; set -e
  # Both streams on a failure: under Wine a program that never started says nothing on stderr.
  [ "$got" = "$want" ] ||
    fail "'$*' exited with $got, not $want: $(cat stderr.txt) (stdout: $(head -c 2000 stdout.txt))"
}

rm -rf "$work"
mkdir -p "$work/in"
cd "$work"
head -c 65536 /dev/urandom > "in/セットアップ.exe"
head -c 123457 /dev/urandom > "in/製品.msi"
cp "$stub" in/Vossimere.exe

expect_code 0 --version
[ "$(head -n 1 stdout.txt)" = "vossimere-pack $version" ] || fail "--version says $(cat stdout.txt)"
grep -q "Apache License 2.0" stdout.txt || fail "--version does not name the license"

# The bare launcher, as the project ships it: a correct image checksum, the launcher's own
# resources, so the one broken rule is that it carries no payload yet.
expect_code 1 verify in/Vossimere.exe
[ "$(wc -l < stderr.txt)" = 1 ] && grep -q "^in/Vossimere.exe: anchor: " stderr.txt ||
  fail "verify Vossimere.exe: $(cat stderr.txt)"
expect_code 2 frobnicate
[ ! -s stdout.txt ] && grep -q "unknown command" stderr.txt || fail "an unknown command"

build=(build --stub in/Vossimere.exe --installer "in/セットアップ.exe" --package "in/製品.msi"
       --title "コルヴァリンス 2024")
expect_code 0 "${build[@]}" -o "ランチャー.exe"
[ ! -s stdout.txt ] || fail "build printed to standard output"
expect_code 0 inspect "ランチャー.exe"
grep -q "^title:             コルヴァリンス 2024$" stdout.txt || fail "title: $(cat stdout.txt)"
grep -q "^installerName:     セットアップ.exe$" stdout.txt || fail "installerName"
expect_code 0 inspect --json "ランチャー.exe"
grep -q '"packageName":"\\u88fd\\u54c1.msi"' stdout.txt || fail "JSON packageName: $(cat stdout.txt)"
! LC_ALL=C grep -q '[^ -~]' stdout.txt || fail "the JSON report is not pure ASCII: $(cat stdout.txt)"
! grep -q $'\r' stdout.txt || fail "the report holds carriage returns"
[ "$(wc -l < stdout.txt)" = 1 ] || fail "the JSON report is not one line"

expect_code 0 extract "ランチャー.exe" -d "展開"
cmp "展開/セットアップ.exe" "in/セットアップ.exe" && cmp "展開/製品.msi" "in/製品.msi" ||
  fail "extracted files differ"

# Interrupts: SIGTERM, SIGINT or SIGHUP while build or extract is writing leave neither the output
# nor its temporary file, and the tool ends with 128 + the signal's number. The preloaded shim
# (host only) holds the program after its first large write, so the signal always comes mid-file.
if [ -n "${HOLD_WRITES_SHIM:-}" ]; then
  interrupt() {  # SIGNAL STATUS ARGS...: runs the tool held, signals it, checks how it ended
    local signal=$1 status=$2; shift 2
    rm -f held.mark
    env --default-signal=INT,TERM,HUP LD_PRELOAD="$HOLD_WRITES_SHIM" \
      VOSSIMERE_TEST_HOLD_MARK=held.mark \
      ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" "${tool[@]}" "$@" \
      2> stderr.txt &
    local pid=$! tries=0
    until [ -e held.mark ]; do
      tries=$((tries + 1))
      if [ $tries -ge 600 ]; then
        kill -KILL $pid
        fail "'$*' never began to write: $(cat stderr.txt)"
      fi
      sleep 0.05
    done
    kill -"$signal" $pid
    set +e; wait $pid; local got=$?; set -e
    [ "$got" = "$status" ] || fail "'$*' ended with $got after SIG$signal, not $status"
  }
  mkdir held
  interrupt TERM 143 "${build[@]}" -o held/out.exe
  interrupt HUP 129 "${build[@]}" -o held/out.exe
  interrupt INT 130 extract "ランチャー.exe" -d held
  [ -z "$(ls -A held)" ] || fail "an interrupted run left $(ls -A held)"
  rmdir held
fi

# A refusal: exit code 2, a message, and no file of any kind left behind.
before=$(ls -A | sort)
expect_code 2 build --stub in/Vossimere.exe --installer in/missing.exe --package "in/製品.msi" \
  --title T -o refused.exe
grep -q "cannot find the installer" stderr.txt || fail "missing input: $(cat stderr.txt)"
[ "$(ls -A | sort)" = "$before" ] || fail "a refused build left files: $(ls -A)"

# The bash completion, called as bash calls it: the commands, every option a command's --help
# lists and only once, files where a file is wanted, folders for extract -d, nothing for a text.
# shellcheck source=/dev/null
source "${VOSSIMERE_COMPLETION:?names the bash completion file}"
offered() {
  COMP_WORDS=(vossimere-pack "$@"); COMP_CWORD=$#; COMPREPLY=()
  _vossimere_pack
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '

}
mkdir completion && cd completion && mkdir folder && touch file.exe
[ "$(offered "")" = "build extract help inspect manifest verify" ] || fail "commands: $(offered "")"
[ "$(offered help ex)" = "extract" ] || fail "help ex: $(offered help ex)"
for command in build inspect verify extract manifest; do
  listed=$(pack "$command" --help | tr -d '\r' | grep -oE '^  (--[a-z-]+|-[a-z])( |$)' |
             tr -d ' ' || true)
  for option in $listed; do
    [[ " $(offered "$command" -) " == *" $option "* ]] || fail "$command: $option is not offered"
  done
done
[ "$(offered build --stub file.exe --st)" = "" ] || fail "--stub offered twice"
[ "$(offered build --stub f)" = "file.exe folder" ] || fail "--stub: $(offered build --stub f)"
[ "$(offered build --title "")" = "" ] || fail "--title: $(offered build --title "")"
[ "$(offered extract file.exe -d f)" = "folder" ] || fail "-d: $(offered extract file.exe -d f)"
[ "$(offered inspect f)" = "file.exe folder" ] || fail "inspect: $(offered inspect f)"
[ "$(offered manifest "")" = "winget" ] || fail "manifest: $(offered manifest "")"
[ "$(offered manifest winget f)" = "file.exe folder" ] || fail "manifest winget: $(offered manifest winget f)"
[ "$(offered manifest winget file.exe --url "")" = "" ] || fail "manifest --url offered files"
echo "cli: every check passed"
