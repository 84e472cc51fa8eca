"""The table of comparisons: every figure bench/run reports, declared once with what it compares
with what, in how many pairs or rounds, and its goal. One piece of code turns a declaration and
the records of a run into the figure's line, its row of the summary table and its series of the
picture, so a run read again from its record file (bench/run --from) prints the same."""

from dataclasses import dataclass
from typing import Optional

from . import figures as f
from . import trailer
from .figures import Goal

# Each measurement's pairs, runs or rounds, as a multiple of the run's runs setting (bench/run's
# VOSSIMERE_BENCH_RUNS): measure.py takes them from here and the rows' titles show them.
SAMPLES = {
    "start-bare": (8, "pairs"),
    "extraction": (2, "pairs"),
    "trailer-start": (4, "runs"),
    "memory": (1, "rounds"),
    "pack": (1, "rounds"),
    "start-nsis-shipped": (8, "pairs"),
    "start-nsis-off": (8, "pairs"),
    "run-nsis-shipped": (2, "pairs"),
    "run-nsis-off": (2, "pairs"),
    "memory-nsis": (1, "rounds"),
}


def samples(measure, runs):
    """How many pairs or rounds `measure` takes in a run of `runs`."""
    return SAMPLES[measure][0] * runs


@dataclass(frozen=True)
class Comparison:
    """One figure. `measure` names the records it is read from; `launcher` and `other` are the
    fields of the two sides; `how` is the arithmetic:
      pairs    each pair's own ratio, launcher over other (or other over launcher when
               `inverse`: a throughput), the goal on their median;
      medians  the ratio of the two sides' medians;
      more     the launcher's median minus the other's (`apart`: the size of that difference);
      value    the launcher's figure itself against the goal (`other` only shown beside it);
      ratio    the ratio of the launcher's figure to the other's.
    `column` is where the other side's figure goes ("ceiling" or "nsis"), `label` what it is;
    `series` names the figure in the picture (None: not drawn); `less_start_of` names the
    measurement whose launcher's median start is taken off each of this one's starts; `newer`
    marks a figure that older records do not have."""

    name: str
    measure: str
    launcher: str
    other: Optional[str]
    goal: Goal
    how: str = "pairs"
    column: str = "ceiling"
    label: str = ""
    unit: str = "ms"
    series: Optional[str] = None
    inverse: bool = False
    information: bool = False
    decimals: int = 2
    less_start_of: Optional[str] = None
    # A figure added after some kept records were made: a record with none of its samples shows
    # it as "not measured" rather than in error.
    newer: bool = False

    def title(self, runs):
        """The name, and the pairs or rounds behind a median; single values show none."""
        if self.how not in ("pairs", "medians"):
            return self.name
        return f"{self.name} ({samples(self.measure, runs)} {SAMPLES[self.measure][1]})"


C = Comparison
NSIS_SHIPPED, NSIS_OFF = "NSIS as shipped", "NSIS, check off"
TABLE = (
    C("Stub size, unsigned Vossimere.exe", "sizes", "stub", "bare_message_box",
      Goal(20480, unit="bytes"), how="value", unit="bytes", label="a bare MessageBox program"),
    C("Start to the installer's creation, 4 KiB package, over the bare starter", "start-bare",
      "a_created_ms", "b_created_ms", Goal(1.10), series="start / bare starter"),
    C("Extraction throughput, 1 GiB, against a bare copy in 1 MiB pieces", "extraction",
      "a_created_ms", "b_copy_ms", Goal(0.95, at_least=True), inverse=True,
      series="extraction / bare copy", less_start_of="start-bare"),
    C("Start to the installer's entry, 1.9 GiB file over 2 MiB file", "trailer-start",
      "b_entered_ms", "a_entered_ms", Goal(1.10), how="medians", label="the 2 MiB file"),
    C("Bytes read to find the trailer, 1.9 GiB file", "trailer-reads", "search", None,
      Goal(131072, unit="bytes"), how="value", unit="bytes"),
    C("Peak private memory, 1 GiB payload against 100 MiB", "memory", "big.exe", "mid.exe",
      Goal(65536, unit="bytes", kind="apart"), how="more", unit="bytes", label="100 MiB"),
    C("Peak private memory, 1 GiB payload, against a bare GUI program", "memory", "big.exe",
      "bare-window.exe", Goal(2097152, unit="bytes", kind="more"), how="more", unit="bytes",
      label="bare window"),
    C("vossimere-pack build of a 1 GiB launcher file, over cat and a flush to disk", "pack",
      "build", "cat + sync", Goal(1.00), label="cat, then sync"),
    C("vossimere-pack build of a 1 GiB launcher file, over cat alone", "pack", "build", "cat",
      Goal(1.00), label="cat", information=True),
    C("vossimere-pack inspect of a 1 GiB launcher file, over sha256sum of it", "pack", "inspect",
      "sha256sum", Goal(1.25), label="sha256sum", newer=True),
    C("Bytes beyond the installer and the package, 1 GiB file, over NSIS storing them", "sizes",
      "beyond_launcher", "beyond_nsis_shipped", Goal(0.25), how="ratio", unit="bytes",
      column="nsis"),
    C("Bytes beyond the installer and the package, 4 KiB file, over NSIS compressing them (LZMA)",
      "sizes", "beyond_launcher_tiny", "beyond_nsis_lzma", Goal(0.25), how="ratio",
      unit="bytes", column="nsis", information=True),
    C(f"Start to the installer's creation, 4 KiB package, over {NSIS_SHIPPED}",
      "start-nsis-shipped", "a_created_ms", "b_created_ms", Goal(0.90), column="nsis",
      series=f"start / {NSIS_SHIPPED}"),
    C(f"Start to the installer's creation, 4 KiB package, over {NSIS_OFF}", "start-nsis-off",
      "a_created_ms", "b_created_ms", Goal(0.90), column="nsis",
      series=f"start / {NSIS_OFF}"),
    C(f"Whole run, 1 GiB package, over {NSIS_SHIPPED}", "run-nsis-shipped", "a_exit_ms",
      "b_exit_ms", Goal(0.60), column="nsis", series=f"1 GiB run / {NSIS_SHIPPED}"),
    C(f"Whole run, 1 GiB package, over {NSIS_OFF}", "run-nsis-off", "a_exit_ms", "b_exit_ms",
      Goal(1.00), column="nsis", series=f"1 GiB run / {NSIS_OFF}"),
    C(f"Peak private memory, 1 GiB package, over {NSIS_SHIPPED}", "memory-nsis", "big.exe",
      "nsis-shipped-big.exe", Goal(1.00), unit="bytes", column="nsis", decimals=3,
      series=f"memory / {NSIS_SHIPPED}"),
    C(f"Peak private memory, 1 GiB package, over {NSIS_OFF}", "memory-nsis", "big.exe",
      "nsis-off-big.exe", Goal(1.00), unit="bytes", column="nsis", decimals=3,
      series=f"memory / {NSIS_OFF}"),
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


def round_samples(rows, key, names, field, expected, returncode=0):
    """{name: Sample of `field`} of programs that took turns round after round, the records told
    apart by `key`: a round counts for all of them or, when any failed or never reported, is an
    error of each, so that their values stay paired by round; so is an exit code other than 0."""
    by_round = {}
    for row in rows:
        by_round.setdefault(row.get("round"), {})[row.get(key)] = row
    by_name = {name: f.Sample() for name in names}
    for number in range(1, expected + 1):
        got = [by_round.get(number, {}).get(name) or {} for name in names]
        if all(r.get("ok") is True and f.is_number(r.get(field)) for r in got):
            for name, r in zip(names, got):
                by_name[name].add(r[field])
        else:
            why = "; ".join(r["failure"] for r in got if r.get("failure"))
            for sample in by_name.values():
                sample.fail(f"round {number} failed or never reported" +
                            (f": {why}" if why else ""))
    if returncode != 0 and not by_name[names[0]].errors:
        for sample in by_name.values():
            sample.fail(f"every round reported, but the program ended with code {returncode}")
    return by_name


def pair_samples(record, measure, fields):
    """{field: Sample} of a measurement of pairs, the two programs taken in turn; a pair is good
    only when both sides carried the measurement's package."""
    returncode, expected = record.finished(measure)
    ends = record.of(measure, "end")
    package = ends[-1].get("package_bytes") if ends else None

    def good(r):
        sides_ok = all(r.get(f"{side}_package_bytes") == package or f"{side}_report" in r
                       for side in "ab")
        return r.get("ok") is True and sides_ok

    rows = [dict(r, b_copy_ms=r.get("b_report", {}).get("ms")) for r in record.of(measure, "pair")]
    return f.samples(rows, "pair", expected, list(dict.fromkeys(fields)), good=good,
                     returncode=returncode)


def side_samples(record, c):
    """{side field: Sample} of a paired or round-by-round measurement."""
    returncode, expected = record.finished(c.measure)
    if c.measure == "pack":
        return round_samples(record.of("pack", "run"), "way", (c.launcher, c.other), "ms",
                             expected)
    if c.measure in ("memory", "memory-nsis"):
        return round_samples(record.of(c.measure, "memory"), "file", (c.launcher, c.other),
                             "private_peak_sampled", expected, returncode)
    by = pair_samples(record, c.measure, (c.launcher, c.other))
    if c.less_start_of:
        # The extraction is each start of the 1 GiB file less the median start of the 4 KiB one.
        start = pair_samples(record, c.less_start_of, ("a_created_ms",))["a_created_ms"].median()
        by[c.launcher] = (by[c.launcher].map(lambda ms: ms - start) if start is not None else
                          f.Sample(errors=[f"no start figure of {c.less_start_of}"]))
    return by


def values(record, measure):
    """The single-value records of a measurement; the bytes read to find the trailer worked out
    from the system calls kept in the record, where it has them (records before they were kept
    have the figure alone)."""
    traces = record.of(measure, "strace")
    if traces:
        returncode = record.finished(measure)[0]
        return [trailer.reads_figure(trace, returncode) for trace in traces]
    return record.of(measure, "value")


class Figure:
    """A comparison worked out from a run's records: the launcher's and the other side's figure,
    the ratio (or difference) and its pairs' values, the verdict."""

    def __init__(self, record, c):
        self.c, self.values, self.errors = c, [], []
        if c.newer and not any(r.get("way") == c.launcher for r in record.of(c.measure, "run")):
            self.launcher = self.other = self.value = None
            self.drawn, self.times, self.met = [], [], "not measured"
            return
        if c.how in ("value", "ratio"):
            rows = values(record, c.measure)
            self.launcher, self.other = (rows[0].get(c.launcher), rows[0].get(c.other)) if rows \
                else (None, None)
            self.errors = [r["failure"] for r in rows if r.get("failure")]
            self.value = (self.launcher if c.how == "value" else
                          self.launcher / self.other if self.launcher and self.other else None)
        else:
            sides = side_samples(record, c)
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
        if self.met == "not measured":
            return "-"
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
