"""The table of comparisons: every figure bench/run reports, declared once with what it compares
with what, in how many pairs or rounds, and its goal. One piece of code turns a declaration and
the records of a run into the figure's line, its row of the summary table and its series of the
picture, so a run read again from its record file (bench/run --from) prints the same."""

from . import figures as f
from .figures import Goal


class Comparison:
    """One figure. `measure` names the records it is read from; `launcher` and `other` are the
    fields of the two sides; `count` is the pairs or rounds as a multiple of the run's runs
    setting; `how` is the arithmetic:
      pairs    each pair's own ratio, launcher over other (or other over launcher when
               `inverse`: a throughput), the goal on their median;
      medians  the ratio of the two sides' medians;
      more     the launcher's median minus the other's (`apart`: the size of that difference);
      value    the launcher's figure itself against the goal (`other` only shown beside it);
      ratio    the ratio of the launcher's figure to the other's.
    `column` is where the other side's figure goes ("ceiling" or "nsis"), `label` what it is;
    `series` names the figure in the picture (None: not drawn)."""

    def __init__(self, name, measure, launcher, other, goal, how="pairs", count=None,
                 column="ceiling", label="", unit="ms", series=None, inverse=False,
                 information=False, decimals=2, rounds="pairs"):
        self.__dict__.update(locals())
        del self.__dict__["self"]

    def title(self, runs):
        return self.name + (f" ({self.count * runs} {self.rounds})" if self.count else "")


C = Comparison
NSIS_SHIPPED, NSIS_OFF = "NSIS as shipped", "NSIS, check off"
TABLE = (
    C("Stub size, unsigned Vossimere.exe", "sizes", "stub", "bare_message_box",
      Goal(20480, unit="bytes"), how="value", unit="bytes", label="a bare MessageBox program"),
    C("Start to the installer's creation, 4 KiB package, over the bare starter", "start-bare",
      "a_created_ms", "b_created_ms", Goal(1.10), count=8, series="start / bare starter"),
    C("Extraction throughput, 1 GiB, against a bare copy in 1 MiB pieces", "extraction",
      "a_extract_ms", "b_copy_ms", Goal(0.95, at_least=True), count=2, inverse=True,
      series="extraction / bare copy"),
    C("Start to the installer's entry, 1.9 GiB file over 2 MiB file", "trailer-start",
      "b_entered_ms", "a_entered_ms", Goal(1.10), how="medians", count=4, rounds="runs",
      label="the 2 MiB file"),
    C("Bytes read to find the trailer, 1.9 GiB file", "trailer-reads", "search", None,
      Goal(131072, unit="bytes"), how="value", unit="bytes"),
    C("Peak private memory, 1 GiB payload against 100 MiB", "memory", "big.exe", "mid.exe",
      Goal(65536, unit="bytes", kind="apart"), how="more", unit="bytes", label="100 MiB"),
    C("Peak private memory, 1 GiB payload, against a bare GUI program", "memory", "big.exe",
      "bare-window.exe", Goal(2097152, unit="bytes", kind="more"), how="more", unit="bytes",
      label="bare window"),
    C("vossimere-pack build of a 1 GiB launcher file, over cat and a flush to disk", "pack",
      "build", "cat + sync", Goal(1.00), count=1, rounds="rounds", label="cat, then sync"),
    C("vossimere-pack build of a 1 GiB launcher file, over cat alone", "pack", "build", "cat",
      Goal(1.00), count=1, rounds="rounds", label="cat", information=True),
    C("Bytes beyond the installer and the package, 1 GiB file, over NSIS storing them", "sizes",
      "beyond_launcher", "beyond_nsis_shipped", Goal(0.25), how="ratio", unit="bytes",
      column="nsis"),
    C("Bytes beyond the installer and the package, 4 KiB file, over NSIS compressing them (LZMA)",
      "sizes", "beyond_launcher_tiny", "beyond_nsis_lzma", Goal(0.25), how="ratio",
      unit="bytes", column="nsis", information=True),
    C(f"Start to the installer's creation, 4 KiB package, over {NSIS_SHIPPED}",
      "start-nsis-shipped", "a_created_ms", "b_created_ms", Goal(0.90), count=8, column="nsis",
      series=f"start / {NSIS_SHIPPED}"),
    C(f"Start to the installer's creation, 4 KiB package, over {NSIS_OFF}", "start-nsis-off",
      "a_created_ms", "b_created_ms", Goal(0.90), count=8, column="nsis",
      series=f"start / {NSIS_OFF}"),
    C(f"Whole run, 1 GiB package, over {NSIS_SHIPPED}", "run-nsis-shipped", "a_exit_ms",
      "b_exit_ms", Goal(0.60), count=2, column="nsis", series=f"1 GiB run / {NSIS_SHIPPED}"),
    C(f"Whole run, 1 GiB package, over {NSIS_OFF}", "run-nsis-off", "a_exit_ms", "b_exit_ms",
      Goal(1.00), count=2, column="nsis", series=f"1 GiB run / {NSIS_OFF}"),
    C(f"Peak private memory, 1 GiB package, over {NSIS_SHIPPED}", "memory-nsis", "big.exe",
      "nsis-shipped-big.exe", Goal(1.00), count=1, rounds="rounds", unit="bytes", column="nsis",
      decimals=3, series=f"memory / {NSIS_SHIPPED}"),
    C(f"Peak private memory, 1 GiB package, over {NSIS_OFF}", "memory-nsis", "big.exe",
      "nsis-off-big.exe", Goal(1.00), count=1, rounds="rounds", unit="bytes", column="nsis",
      decimals=3, series=f"memory / {NSIS_OFF}"),
)


class Record:
    """A run's records, read back: the machine's facts and each measurement's samples."""

    def __init__(self, lines):
        self.machine, self.end, self.by_measure = {}, {}, {}
        for line in lines:
            kind = line.get("kind")
            if kind == "machine":
                self.machine = line
            elif kind == "machine-end":
                self.end = line
            else:
                self.by_measure.setdefault(line.get("measure"), []).append(line)
        self.runs = self.machine.get("runs", 0)

    def of(self, measure, kind=None):
        return [r for r in self.by_measure.get(measure, []) if kind is None or r["kind"] == kind]

    def finished(self, measure):
        """The exit code of the measuring program and the samples it was asked for."""
        ends = self.of(measure, "end")
        return (ends[-1].get("returncode", 0), ends[-1].get("expected", 0)) if ends else (1, 0)


def round_figures(rows, key, names, field, expected, returncode=0):
    """{name: Figure of `field`} of programs that took turns round after round, the records told
    apart by `key`: a round counts for all of them or, when any failed or never reported, is an
    error of each, so that their values stay paired by round; so is an exit code other than 0."""
    by_round = {}
    for row in rows:
        by_round.setdefault(row.get("round"), {})[row.get(key)] = row
    figures = {name: f.Figure() for name in names}
    for number in range(1, expected + 1):
        got = [by_round.get(number, {}).get(name) or {} for name in names]
        if all(r.get("ok") is True and f.is_number(r.get(field)) for r in got):
            for name, r in zip(names, got):
                figures[name].add(r[field])
        else:
            why = "; ".join(r["failure"] for r in got if r.get("failure"))
            for figure in figures.values():
                figure.fail(f"round {number} failed or never reported" + (f": {why}" if why else ""))
    if returncode != 0 and not figures[names[0]].errors:
        for figure in figures.values():
            figure.fail(f"every round reported, but the program ended with code {returncode}")
    return figures


def side_figures(record, c):
    """{side field: Figure} of a paired or round-by-round measurement, the runs taken in turn."""
    returncode, expected = record.finished(c.measure)
    if c.measure == "pack":
        return round_figures(record.of("pack", "run"), "way", (c.launcher, c.other), "ms",
                             expected)
    if c.measure in ("memory", "memory-nsis"):
        return round_figures(record.of(c.measure, "memory"), "file", (c.launcher, c.other),
                             "private_peak_sampled", expected, returncode)
    ends = record.of(c.measure, "end")
    package = ends[-1].get("package_bytes") if ends else None

    def good(r):
        sides_ok = all(r.get(f"{side}_package_bytes") == package or f"{side}_report" in r
                       for side in "ab")
        return r.get("ok") is True and sides_ok

    rows = [dict(r, b_copy_ms=r.get("b_report", {}).get("ms")) for r in record.of(c.measure, "pair")]
    fields = dict.fromkeys(field for field in (c.launcher, c.other, "a_created_ms")
                           if field != "a_extract_ms")
    by = f.sample(rows, "pair", expected, list(fields), good=good, returncode=returncode)
    if c.launcher == "a_extract_ms":
        # The extraction is the 1 GiB start minus the median start of the 4 KiB launcher file.
        tiny = side_figures(record, TABLE[1])["a_created_ms"].median()
        by[c.launcher] = (by["a_created_ms"].map(lambda ms: ms - tiny) if tiny is not None else
                          f.Figure(errors=["no start figure of the 4 KiB file"]))
    return by


class Figure:
    """A comparison worked out from a run's records: the launcher's and the other side's figure,
    the ratio (or difference) and its pairs' values, the verdict."""

    def __init__(self, record, c):
        self.c, self.values, self.errors = c, [], []
        if c.how in ("value", "ratio"):
            rows = record.of(c.measure, "value")
            self.launcher, self.other = (rows[0].get(c.launcher), rows[0].get(c.other)) if rows \
                else (None, None)
            self.errors = [r["failure"] for r in rows if r.get("failure")]
            self.value = (self.launcher if c.how == "value" else
                          self.launcher / self.other if self.launcher and self.other else None)
        else:
            sides = side_figures(record, c)
            a, b = sides[c.launcher], sides[c.other]
            self.launcher, self.other = a.median(), b.median()
            self.errors = list(dict.fromkeys(a.errors + b.errors))
            if c.how == "pairs":
                ratios = f.pair_ratios(b, a) if c.inverse else f.pair_ratios(a, b)
                self.values, self.errors = ratios.values, ratios.errors
                self.drawn = f.pair_ratios(a, b).values
                self.value = ratios.median()
                self.times = list(zip(b.values, a.values))
            elif self.launcher is None or self.other is None:
                self.value = None
            elif c.how == "medians":
                self.value = self.launcher / self.other
            else:
                self.value = self.launcher - self.other
                if c.goal.kind == "apart":
                    self.value = abs(self.value)
        self.met = "-" if c.information and not self.errors else \
            f.verdict(self.value, c.goal, self.errors)

    def side(self, value, label=""):
        if value is None:
            return "-"
        text = (f"{f.number(value)} ms" if self.c.unit == "ms" else
                f.byte_count(value) + (" bytes" if self.c.how == "value" else ""))
        return text + (f" ({label})" if label else "")

    def ratio_text(self):
        c = self.c
        if c.how == "pairs":
            return f.spread_text(self.values, c.decimals)
        if c.how == "value":
            return f"{f.ratio(self.value, c.goal.limit)} of the goal"
        if c.how == "more":
            return "-" if self.value is None else (
                f"differ by {f.byte_count(self.value)}" if c.goal.kind == "apart" else
                f"{f.byte_count(self.value)} more")
        return f.number(self.value, 2)

    def row(self, runs):
        c = self.c
        launcher = self.side(self.launcher)
        if c.how == "more" and c.goal.kind == "apart":
            launcher, other = f"{f.byte_count(self.launcher)} ({c.label}:" \
                              f" {f.byte_count(self.other)})", "-"
        else:
            other = self.side(self.other, c.label)
        ceiling, nsis = (other, "-") if c.column == "ceiling" else ("-", other)
        goal = "(information)" if c.information else c.goal.text
        return (f"| {c.title(runs)} | {goal} | {launcher} | {ceiling} | {nsis} |"
                f" {self.ratio_text()} | {self.met} |")


HEADING = ["| Figure | Goal | Launcher | Ceiling | NSIS |"
           " Ratio: median of the pairs (middle half; all) | Met |", "|---|---|---|---|---|---|---|"]


def report(record):
    """(the lines bench/run prints, the summary table, the picture's series, the start times,
    the number of figures in error) of a run's records."""
    lines, rows, series, starts, errors = [], [], [], [], 0
    for c in TABLE:
        figure = Figure(record, c)
        errors += figure.met.startswith("ERROR")
        goal = "information" if c.information else "goal " + c.goal.text
        lines.append(f"{c.title(record.runs)}: launcher {figure.side(figure.launcher)}, other"
                     f" {figure.side(figure.other, c.label)}; {figure.ratio_text()} ({goal})"
                     f" {figure.met}")
        lines += [f"  error: {why}" for why in figure.errors[:5]]
        rows.append(figure.row(record.runs))
        if c.series:
            # Drawn as the launcher over the other program; a throughput's goal turned to match.
            goal = 1 / c.goal.limit if c.inverse else c.goal.limit
            series.append((c.series, f"{goal:.3f}", figure.drawn))
            if c.measure.startswith("start-"):
                starts += [(len(series), other, mine) for other, mine in figure.times]
    return lines, HEADING + rows, series, starts, errors
