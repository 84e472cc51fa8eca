# What bench/run and bench/soak share: figures, the driver under the bench build's Wine prefix,
# and one Wine session held for a whole run. Sourced, with $windows_build set.

say() { printf '%s\n' "$*"; }
section() { printf '\n== %s\n' "$*"; }

# The median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) exit 1;
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The spread of the numbers on standard input: lowest, lower quartile, median, upper quartile and
# highest, on one line (the quartiles interpolated between neighbours).
spread() {
  sort -g | awk '{ v[NR] = $1 }
    function at(p,   x, i) { x = (NR - 1) * p + 1; i = int(x); return i < NR ? v[i] + (x - i) * (v[i + 1] - v[i]) : v[NR] }
    END { if (NR == 0) exit 1; printf "%.4f %.4f %.4f %.4f %.4f\n", v[1], at(0.25), at(0.5), at(0.75), v[NR] }'
}

# The smallest of the numbers on standard input.
fastest() { sort -g | head -n 1; }

# Arithmetic on decimals: calc '<awk expression>'.
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
# 1 when the awk condition holds.
holds() { awk "BEGIN { print (($1) ? 1 : 0) }"; }
verdict() { if [ "$1" = 1 ]; then echo met; else echo MISSED; fi; }
# A whole number with thousands separators.
bytes() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }
# Runs a command and prints its wall time in ms and its processor time (user, system) in ms.
timed() {
  local TIMEFORMAT='%3R %3U %3S' took
  took=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.1f %.0f %.0f\n", $1 * 1000, $2 * 1000, $3 * 1000 }' <<<"$took"
}

# The value of key=value in a line of the driver's output.
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

# Builds these targets of the bench's Windows build, configuring it first if need be.
build_windows_targets() {
  if [ ! -f "$windows_build/CMakeCache.txt" ]; then
    cmake --preset windows -B "$windows_build" >/dev/null
  fi
  cmake --build "$windows_build" --target "$@" >/dev/null
}

wine_run() { "$windows_build/wine-run" "$@"; }
driver() { wine_run "$windows_build/bench/vossimere-bench.exe" "$@"; }

# One Wine server for the whole run, kept 15 s after its last program, so no start of the driver
# pays for the server and its services: the prefix is made ready, whatever an earlier run left in
# it is ended, and the lasting server is started before any program. Wine's desktop process is
# held for the whole run as well: each driver also holds it while it times, but without this one
# every driver would first wait for a new desktop, and the first copy it times would start later
# after the previous one freed its memory than the copy it is compared with.
# release_wine_session ends everything in the prefix (the holder is a Windows program under Wine:
# ending the command that started it would not end it).
hold_wine_session() {
  wine_run wineboot >/dev/null 2>&1 || true
  WINEPREFIX=$windows_build/wineprefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$windows_build/wineprefix wineserver -p15
  wine_run "$windows_build/bench/vossimere-bench.exe" desktop 3600 >/dev/null 2>&1 &
}
release_wine_session() {
  WINEPREFIX=$windows_build/wineprefix wineserver -k 2>/dev/null || true
}
