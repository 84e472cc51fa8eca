#!/usr/bin/env bash
# scripts/debian-mirror on sample apt sources, as machines hold them: the mirror of the first
# Debian entry in either format, wherever the file lies, with security suites, other vendors'
# archives, deb-src, disabled stanzas and comments passed over; an error, not a guess, where no
# entry is Debian's. Nothing of this machine's own apt is read.
#
# Usage: debian_mirror_test.sh WORK_DIR SOURCE_DIR
set -euo pipefail
work=$1 source=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"

# A machine: ROOT/etc/apt holding the given files (name, text, name, text...).
machine() {
  local root=$work/$1
  shift
  mkdir -p "$root/etc/apt/sources.list.d"
  while [ $# -gt 0 ]; do
    printf '%s\n' "$2" > "$root/etc/apt/$1"
    shift 2
  done
  echo "$root"
}
expect() {
  local root=$1 wanted=$2 got
  got=$(bash "$source/scripts/debian-mirror" "$root" 2>&1) || fail "$root: $got"
  [ "$got" = "$wanted" ] || fail "$root: '$got', expected '$wanted'"
  echo "$(basename "$root"): $got"
}

# Debian 12's own deb822 file, security first, a vendor's archive in a file read before it.
root=$(machine deb822 sources.list.d/debian.sources "Types: deb
# http://snapshot.debian.org/archive/debian-security/20250520T000000Z
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main

Types: deb deb-src
URIs: https://mirror.example.internal/debian/
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
  sources.list.d/a-nodesource.sources "Types: deb
URIs: https://deb.nodesource.com/node_20.x
Suites: nodistro
Components: main")
expect "$root" https://mirror.example.internal/debian

# The one-line format: options in brackets, comments, deb-src and a suite without main left out.
root=$(machine one-line sources.list "# deb http://old.example/debian bookworm main
deb-src http://src.example/debian bookworm main
deb http://security.example/debian-security bookworm-security main
deb http://nonfree.example/debian bookworm non-free
  deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://proxy.example:3142/debian/ bookworm main # cache")
expect "$root" http://proxy.example:3142/debian

# A disabled stanza is passed over; a .list file in sources.list.d counts; backports suites too.
root=$(machine disabled sources.list.d/debian.sources "Types: deb
URIs: http://off.example/debian
Suites: bookworm
Components: main
Enabled: no" sources.list.d/local.list "deb file:/srv/mirror/debian bookworm-backports main")
expect "$root" file:/srv/mirror/debian

# No Debian entry at all, or no apt sources: an error that says so.
root=$(machine vendor sources.list "deb https://packages.cloud.google.com/apt cloud-sdk-bookworm main")
if out=$(bash "$source/scripts/debian-mirror" "$root" 2>&1); then
  fail "a mirror from a vendor's archive: $out"
fi
[[ $out == "debian-mirror: no Debian mirror"* ]] || fail "vendor: $out"
mkdir -p "$work/empty"
if out=$(bash "$source/scripts/debian-mirror" "$work/empty" 2>&1); then fail "empty: $out"; fi
[[ $out == "debian-mirror: no apt sources in $work/empty/etc/apt" ]] || fail "empty: $out"

# The scripts take the mirror from there and write no host of their own.
for script in install-deps wine10-chroot; do
  grep -q 'debian-mirror' "$source/scripts/$script" || fail "$script does not read the mirror"
  if grep -nE 'https?://[a-z]' "$source/scripts/$script"; then fail "$script names a host"; fi
done
echo "debian-mirror: every check passed"
