"""5. Memory: the launcher's peak private memory with a 100 MiB and a 1 GiB payload, beside a
bare GUI program, sampled about every millisecond from its start to the installer's start."""

import os

from . import figures as f

FIELDS = ("private_peak_sampled", "private_at_hold", "peak_working_set")


def memory_runs(bench, runs, *programs):
    """The driver's memory rounds of these programs, taking turns: {file name: {field: Figure}}
    and the records."""
    out = bench.windows.driver("memory", runs, bench.tmp, *programs)
    by_file = {}
    for program in programs:
        name = os.path.basename(program)
        records = [r for r in out.records if r.get("kind") != "memory" or r.get("file") == name]
        by_file[name] = f.sample(records, "memory", runs, FIELDS, returncode=out.returncode,
                                 name="round")
    return by_file, out


def round_ratios(records, field, numerator, denominator, runs):
    """Each round's own ratio of one program's `field` over another's, from the memory records
    of the rounds in which they took turns; a round in which either failed is an error."""
    by_round = {}
    for record in records:
        if record.get("kind") == "memory":
            by_round.setdefault(record.get("round"), {})[record.get("file")] = record
    ratios = f.Figure()
    for number in range(1, runs + 1):
        pair = by_round.get(number, {})
        a, b = pair.get(numerator), pair.get(denominator)
        if a and b and a.get("ok") is True and b.get("ok") is True and \
                f.is_number(a.get(field)) and f.is_number(b.get(field)) and b[field] > 0:
            ratios.add(a[field] / b[field])
        else:
            ratios.fail(f"round {number} failed or never reported")
    return ratios


def mapping_differences(records, minuend, subtrahend, round_number=1):
    """Anonymous bytes by mapping of one program minus another's in the same round, the mappings
    that differ, largest first: [(difference, mapping name)]."""
    values = {}
    for record in records:
        if record.get("kind") == "mapping" and record.get("round") == round_number:
            values.setdefault(record.get("name"), {})[record.get("file")] = record.get("anonymous")
    differences = [(v.get(minuend, 0) - v.get(subtrahend, 0), name) for name, v in values.items()]
    return sorted([d for d in differences if d[0] != 0], key=lambda d: -d[0])


def print_differences(report, records, minuend, subtrahend):
    for difference, name in mapping_differences(records, minuend, subtrahend):
        report.say(f"    {difference:+10d}  {name}")


def measure(bench):
    report = bench.report
    report.section("5. Memory")
    bare_window = os.path.join(bench.windows.bench, "bare-window.exe")
    thread = os.path.join(bench.windows.bench, "bare-window-thread.exe")
    by, out = memory_runs(bench, bench.runs, bench.path("mid.exe"), bench.path("big.exe"),
                          bare_window, thread)
    mid, big = by["mid.exe"], by["big.exe"]
    bare, with_thread = by["bare-window.exe"], by["bare-window-thread.exe"]

    def med(figures, field="private_peak_sampled"):
        return figures[field].median()

    def errors(*figures):
        return [why for fs in figures for why in fs["private_peak_sampled"].errors]

    known = all(med(x) is not None for x in (mid, big, bare, with_thread)) and \
        med(big, "private_at_hold") is not None
    size_diff = abs(med(big) - med(mid)) if known else None
    bare_diff = med(big) - med(bare) if known else None
    size_met = f.verdict(size_diff, f.Goal(65536), errors(mid, big))
    bare_met = f.verdict(bare_diff, f.Goal(2097152), errors(big, bare))
    report.say("peak private memory (Wine's PagefileUsage: the process's anonymous resident bytes,"
               " RssAnon;")
    report.say("sampled about every millisecond from start to the installer's start; medians):")
    report.say(f"  launcher, 100 MiB payload:          {f.byte_count(med(mid))} bytes")
    report.say(f"  launcher, 1 GiB payload:            {f.byte_count(med(big))} bytes")
    report.say(f"  difference:                         {f.byte_count(size_diff)} bytes (goal at"
               f" most 65,536) {size_met}")
    report.say(f"  bare GUI program (hidden window):   {f.byte_count(med(bare))} bytes")
    report.say(f"  launcher (1 GiB) minus bare:        {f.byte_count(bare_diff)} bytes (goal at most"
               f" 2,097,152; ratio {f.ratio(bare_diff, 2097152)}) {bare_met}")
    for name, figures in by.items():
        report.figure_error(f"the memory rounds of {name}", figures["private_peak_sampled"])
    ws = {name: med(figures, "peak_working_set") for name, figures in by.items()}
    report.say("peak resident set kept by the kernel (VmHWM, shared DLL pages included; medians):")
    report.say(f"  100 MiB payload {f.byte_count(ws['mid.exe'])}, 1 GiB payload"
               f" {f.byte_count(ws['big.exe'])}, difference"
               f" {f.byte_count(ws['big.exe'] - ws['mid.exe']) if known else '-'}; bare GUI program"
               f" {f.byte_count(ws['bare-window.exe'])}")
    if known:
        hold = med(big, "private_at_hold")
        report.say("where the launcher's private bytes go beyond the bare program:")
        report.say("  transfer buffer (1 GiB run: peak minus the figure at the installer's start):"
                   f" {f.byte_count(med(big) - hold)}")
        report.say("  one more thread under Wine (bare program with an idle worker thread minus"
                   f" without): {f.byte_count(med(with_thread) - med(bare))}")
        report.say(f"  the rest at the installer's start ({f.byte_count(hold)} minus the bare"
                   f" program with a thread): {f.byte_count(hold - med(with_thread))}")
    report.say("  anonymous bytes by mapping at the installer's start, launcher (1 GiB) minus bare"
               " program (/proc/<pid>/smaps, round 1):")
    print_differences(report, out.records, "big.exe", "bare-window.exe")
    report.row("Peak private memory, 1 GiB payload against 100 MiB",
               "differ by at most 65,536 bytes",
               f"{f.byte_count(med(big))} (100 MiB: {f.byte_count(med(mid))})", "-", "-",
               f"differ by {f.byte_count(size_diff)}", size_met)
    report.row("Peak private memory, 1 GiB payload, against a bare GUI program",
               "at most 2,097,152 bytes more", f.byte_count(med(big)),
               f"{f.byte_count(med(bare))} (bare window)", "-", f"{f.byte_count(bare_diff)} more",
               bare_met)
