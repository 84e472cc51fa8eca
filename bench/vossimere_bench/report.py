"""What bench/run prints and writes: its lines, the summary table in the form of
docs/performance.md's, and the paired figures that bench/pairs.gp draws."""

import os
import subprocess

from . import figures as f


class Report:
    def __init__(self, figures_folder):
        self.folder = figures_folder
        self.rows = []
        self.series = []  # (name, goal, ratios)
        self.start_times = []  # (series number, the other program's ms, the launcher's ms)
        self.errors = 0

    def say(self, *words):
        print(" ".join(str(w) for w in words), flush=True)

    def section(self, title):
        print(f"\n== {title}", flush=True)

    def row(self, figure, goal, launcher, ceiling, nsis, ratio, met):
        """A line of the summary table ("-" where a column has nothing)."""
        if met.startswith("ERROR"):
            self.errors += 1
        self.rows.append(f"| {figure} | {goal} | {launcher} | {ceiling} | {nsis} | {ratio} | {met} |")

    def add_series(self, name, goal, ratios):
        """One series of the picture: every pair's ratio (launcher over the other program)."""
        self.series.append((name, goal, list(ratios)))
        return len(self.series)

    def add_start_times(self, series, others, launchers):
        self.start_times += [(series, a, b) for a, b in zip(others, launchers)]

    def draw(self, day):
        """Writes the picture's data files and draws pairs.png with bench/pairs.gp."""
        def write(name, lines):
            with open(os.path.join(self.folder, name), "w") as out:
                out.writelines(line + "\n" for line in lines)

        write("series.dat", [f'{i} "{name}" {goal}'
                             for i, (name, goal, _) in enumerate(self.series, 1)])
        write("ratios.dat", [f"{i} {pair} {r:.4f}" for i, (_, _, ratios) in
                             enumerate(self.series, 1) for pair, r in enumerate(ratios, 1)])
        write("medians.dat", [f"{i} {f.median(ratios):.4f}" for i, (_, _, ratios) in
                              enumerate(self.series, 1) if ratios])
        write("starts.dat", [f"{s} {a:.3f} {b:.3f}" for s, a, b in self.start_times])
        here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        subprocess.run(["gnuplot", "-e", f"figures='{self.folder}'; day='{day}'",
                        os.path.join(here, "pairs.gp")], check=True)
        return os.path.join(self.folder, "pairs.png")

    def table(self):
        self.say("| Figure | Goal | Launcher | Ceiling | NSIS |"
                 " Ratio: median of the pairs (middle half; all) | Met |")
        self.say("|---|---|---|---|---|---|---|")
        for row in self.rows:
            self.say(row)

    def figure_error(self, what, figure):
        """Prints the reasons of a figure's failed runs, at most five."""
        if figure.errors:
            self.say(f"  error: {len(figure.errors)} of {figure.runs} runs of {what} failed:")
            for why in figure.errors[:5]:
                self.say(f"    {why}")
