"""The arithmetic every figure of the benchmark goes through, as plain functions.

A sample is the set of one measurement's runs. A run that failed stays in the sample as an error
with its reason: it is never left out, and a figure worked out from a sample with an error is
reported as an error whatever the median of its other runs says."""

import math


def quantile(values, p):
    """The p-quantile, interpolated between the two neighbouring values of the sorted list: the
    value at position (n - 1) * p counted from 0. None when empty."""
    if not values:
        return None
    ordered, x = sorted(values), (len(values) - 1) * p
    i = math.floor(x)
    if i + 1 >= len(ordered):
        return ordered[-1]
    return ordered[i] + (x - i) * (ordered[i + 1] - ordered[i])


def median(values):
    """The middle value; midway between the two middle values of an even count. None when
    empty."""
    return quantile(values, 0.5)


def spread(values):
    """(lowest, lower quartile, median, upper quartile, highest); the quartiles bound the middle
    half of the values. None when empty."""
    return tuple(quantile(values, p) for p in (0, 0.25, 0.5, 0.75, 1)) if values else None


class Sample:
    """One measurement's runs: the values of the runs that succeeded, in order, and a reason for
    every run that did not."""

    def __init__(self, values=(), errors=()):
        self.values = list(values)
        self.errors = list(errors)

    def add(self, value):
        self.values.append(value)

    def fail(self, why):
        self.errors.append(why)

    @property
    def runs(self):
        return len(self.values) + len(self.errors)

    def median(self):
        return median(self.values)

    def map(self, function):
        """The sample of function(value) for every run, its errors kept."""
        return Sample([function(v) for v in self.values], self.errors)


def pair_ratios(numerators, denominators):
    """Each pair's own ratio, numerator over denominator, from two samples taken in the same
    pairs (run i of one beside run i of the other). A pair that failed on either side is an
    error of the ratio too."""
    if len(numerators.values) != len(denominators.values):
        raise ValueError("the two samples come from different pairs")
    ratios = Sample(errors=list(dict.fromkeys(numerators.errors + denominators.errors)))
    for a, b in zip(numerators.values, denominators.values):
        if b > 0:
            ratios.add(a / b)
        else:
            ratios.fail(f"a pair whose second time is {b}")
    return ratios


def is_number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def samples(records, kind, expected, fields, good=None, returncode=0):
    """Samples, one per field, from the JSON records a measuring program printed: every record of
    `kind` that is good (by default "ok": true, with a number in every field) adds its values; any
    other is an error of every sample, as is every run of the `expected` that never reported, and
    an exit code other than 0. A run is named by its kind in the errors ("pair 2 failed")."""
    good = good or (lambda record: record.get("ok") is True)
    by_field = {field: Sample() for field in fields}

    def fail(why):
        for sample in by_field.values():
            sample.fail(why)

    rows = [record for record in records if record.get("kind") == kind]
    for number, record in enumerate(rows, 1):
        values = [record.get(field) for field in fields]
        if good(record) and all(is_number(v) for v in values):
            for field, value in zip(fields, values):
                by_field[field].add(value)
        else:
            why = " ".join(str(record[key]) for key in ("failure", "a_failure", "b_failure")
                           if record.get(key))
            fail(f"{kind} {number} failed" + (f": {why}" if why else ""))
    for number in range(len(rows) + 1, expected + 1):
        fail(f"{kind} {number} never reported (the program ended with code {returncode})")
    if len(rows) > expected:
        fail(f"{len(rows)} runs reported, {expected} asked for")
    if returncode != 0 and all(not s.errors for s in by_field.values()):
        fail(f"every run reported, but the program ended with code {returncode}")
    return by_field


class Goal:
    """A limit a figure must stay within: at most (the default) or at least `limit`, worded with
    `unit` after the number ("bytes") and, for a difference, `kind` "more" (at most so many more)
    or "apart" (the two differ by at most so many)."""

    def __init__(self, limit, at_least=False, unit="", kind="ratio"):
        self.limit, self.at_least, self.kind = limit, at_least, kind
        if kind == "apart":
            self.text = f"differ by at most {limit:,} {unit}"
        elif unit:
            self.text = f"at most {limit:,} {unit}" + (" more" if kind == "more" else "")
        else:
            self.text = f"{'at least' if at_least else 'at most'} {limit:.2f}"

    def holds(self, value):
        return value >= self.limit if self.at_least else value <= self.limit


def verdict(value, goal, errors=()):
    """"met", "MISSED", or an error when a run of the figure failed or it has no value."""
    if errors:
        return f"ERROR ({len(errors)} failed: {errors[0]})"
    if value is None:
        return "ERROR (no figure)"
    return "met" if goal.holds(value) else "MISSED"


# ---------------------------------------------------------------------------------------------
# Figures as text

def number(value, decimals=3):
    return "-" if value is None else f"{value:.{decimals}f}"


def ratio(numerator, denominator, decimals=2):
    """numerator / denominator as text, "-" when either is missing or the denominator is 0."""
    if numerator is None or not denominator:
        return "-"
    return f"{numerator / denominator:.{decimals}f}"


def byte_count(value):
    """A whole number with thousands separators: 20480 -> "20,480"."""
    return "-" if value is None else f"{round(value):,}"


def spread_text(values, decimals=2):
    """"median (lower to upper quartile; lowest to highest)", as the tables give a ratio."""
    s = spread(values)
    if s is None:
        return "-"
    lo, q1, mid, q3, hi = (f"{v:.{decimals}f}" for v in s)
    return f"{mid} ({q1} to {q3}; {lo} to {hi})"
