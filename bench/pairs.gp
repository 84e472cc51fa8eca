# bench/run's picture of one run's paired figures, drawn from the files it writes beside it:
#
#   gnuplot -e "figures='<folder>'; day='<date>'" bench/pairs.gp     writes <folder>/pairs.png
#
# series.dat: number, "name", goal (a ratio of times, launcher over the other program);
# ratios.dat: series, pair, ratio; medians.dat: series, median;
# starts.dat: series, the other program's ms, the launcher's ms (the start pairs only).
# Left: both times of every start pair, where Wine's two modes of starting a process show as
# groups that a median hides. Right: every pair's ratio by series on a logarithmic scale, its
# median (black bar) and its goal (red dashes).
series = figures . "/series.dat"
name(s) = system(sprintf("awk -F'\"' '$1 + 0 == %d { print $2 }' '%s'", s, series))
count = int(system(sprintf("wc -l < '%s'", series)))
start_series = system(sprintf("cut -d' ' -f1 '%s/starts.dat' | sort -un | tr '\\n' ' '", figures))

set terminal pngcairo size 1500,650 font "DejaVu Sans,10"
set output figures . "/pairs.png"
set multiplot title sprintf("Vossimere beside its ceilings and NSIS: every pair of one bench/run, %s", day)

set title "Start to the installer's creation, 4 KiB package: the two runs of each pair"
set xlabel "the other program (ms)"
set ylabel "the launcher (ms)"
set key top left
set grid
set origin 0, 0
set size 0.4, 0.95
set size ratio -1
set xrange [0:*]
set yrange [0:*]
plot for [s in start_series] figures . "/starts.dat" \
       using ($1 == s + 0 ? $2 : 1/0):3 with points pt 7 ps 0.6 title name(s + 0), \
     x with lines lc "gray" title "equal", \
     0.9 * x with lines dt 2 lc "red" title "0.90 of the other"

set size noratio
set origin 0.4, 0
set size 0.6, 0.95
set title "Every pair's ratio: the launcher over the other program (lower is better)"
set xlabel ""
set ylabel "ratio of the pair"
set logscale y
set yrange [*:*]
set xrange [0.5:count + 0.5]
set xtics rotate by 30 right
set key top right
plot figures . "/ratios.dat" using ($1 + (int($2) % 9 - 4) * 0.045):3 \
       with points pt 7 ps 0.5 lc rgb "#3060a0" title "a pair", \
     figures . "/medians.dat" using ($1 - 0.25):2:(0.5):(0) \
       with vectors nohead lw 3 lc "black" title "median", \
     series using ($1 - 0.25):3:(0.5):(0):xtic(2) \
       with vectors nohead lw 2 dt 2 lc "red" title "goal"
unset multiplot
