"""3. Extraction throughput (1 GiB payload, warm cache): the launcher against a bare copy.

The launcher's 1 GiB run and the driver's own copy of the same two files (ReadFile and WriteFile
in 1 MiB pieces, in the same Wine) take turns, launcher first in each pair. Each copy starts as
soon as the one before has ended and deleted what it wrote, so both copies of a pair meet memory
freed the same moment before: on a virtual machine that hands freed memory back to its host, that
decides whether a 1 GiB copy finds its pages at once. The launcher's extraction is its run to the
installer's creation minus the median of the 4 KiB runs of section 2."""

import glob
import os

from . import figures as f
from .machine import timed

MiB = 1048576
REPORTING = "/sys/module/page_reporting/parameters/reported_kib"


def mib_per_s(size, ms):
    return "-" if not ms else f"{size / MiB / (ms / 1000):.3f}"


def empty(folder):
    for path in glob.glob(os.path.join(folder, "*")):
        os.remove(path)


def bare_copy(bench, piece):
    """One run of the bare copy program of the installer and the 1 GiB package in `piece`-byte
    pieces, under Wine: its record ("ms", "processor_ms"), "ok" only when it ended with 0."""
    copy = bench.path("copy")
    out = bench.windows.run(os.path.join(bench.windows.bench, "bare-copy.exe"), piece,
                            bench.installer, os.path.join(copy, "setup.exe"),
                            bench.path("big.msi"), os.path.join(copy, "big.msi"))
    empty(copy)
    copied = out.of("copy")
    record = copied[0] if len(copied) == 1 else {"ok": False, "failure": "no figure"}
    if out.returncode != 0:
        record = dict(record, ok=False,
                      failure=f"bare-copy ended with code {out.returncode}")
    return record


def measure(bench):
    report = bench.report
    report.section("3. Extraction throughput (1 GiB payload, warm cache): the launcher against a"
                   " bare copy")
    installer_bytes = os.path.getsize(bench.installer)
    payload_bytes = installer_bytes + bench.big_package
    pairs = 2 * bench.runs

    def copy_pairs(count):
        out = bench.windows.driver("copy-pairs", count, bench.tmp, bench.path("big.exe"),
                                   bench.path("copy"), bench.installer, bench.path("big.msi"))
        return f.sample(out.records, "copy-pair", count,
                        ("launcher_created_ms", "bare_ms"), returncode=out.returncode,
                        name="pair", good=lambda r: r.get("ok") is True and
                        r.get("package_bytes") == bench.big_package)

    copy_pairs(1)  # every file read once, the launcher's and the driver's pages in place
    times = copy_pairs(pairs)
    tiny = bench.tiny_created.median()
    created, bare = times["launcher_created_ms"], times["bare_ms"]
    if tiny is None:
        extract = f.Figure(errors=["no start figure of the 4 KiB file (section 2)"] * created.runs)
    else:
        extract = created.map(lambda ms: ms - tiny)
    throughput = f.pair_ratios(bare, extract)
    goal = f.Goal(0.95, at_least=True)
    met = f.verdict(throughput.median(), goal, throughput.errors)
    report.say(f"payload: installer {f.byte_count(installer_bytes)} + package"
               f" {f.byte_count(bench.big_package)} bytes")
    report.say(f"launcher, 1 GiB, start to the installer's creation, minus the 4 KiB runs'"
               f" {f.number(tiny)} ms: median {f.number(extract.median())} ms"
               f" ({mib_per_s(payload_bytes, extract.median())} MiB/s)   runs:"
               f" {f.runs_text(extract.values)}")
    report.say(f"bare copy of the same two files in 1 MiB pieces, same Wine: median"
               f" {f.number(bare.median())} ms ({mib_per_s(payload_bytes, bare.median())} MiB/s)"
               f"   runs: {f.runs_text(bare.values)}")
    report.say(f"throughput launcher / bare copy, each of {pairs} pairs: median"
               f" {f.number(throughput.median(), 2)} (goal at least 0.95) {met}" +
               f.spread_clause(throughput.values))
    report.figure_error("the copy pairs", throughput)
    if created.values and bench.tiny_created.values:
        extract_min = created.fastest() - bench.tiny_created.fastest()
        report.say(f"  fastest runs (the previous method; information): {extract_min:.3f} ms vs"
                   f" {f.number(bare.fastest())} ms, {f.ratio(bare.fastest(), extract_min)}")
    if os.access(REPORTING, os.R_OK):
        with open(REPORTING) as reporting:
            reported = int(reporting.read().strip() or 0)
        if reported > 0:
            report.say(f"  (this machine hands freed memory back to its host:"
                       f" {reported // 1048576} GiB so far, so fresh pages cost some copies host"
                       " faults)")
    report.row(f"Extraction throughput, 1 GiB, against a bare copy in 1 MiB pieces ({pairs} pairs)",
               "at least 0.95", f"{f.number(extract.median())} ms",
               f"{f.number(bare.median())} ms", "-", f.spread_text(throughput.values), met)
    report.add_series("extraction / bare copy", "1.053", f.pair_ratios(extract, bare).values)

    # The same copy by other means, for where the time goes (information).
    copy = bench.path("copy")
    ways = {
        "cp": lambda: timed(["cp", bench.installer, bench.path("big.msi"), copy + "/"]),
        "dd 1M": lambda: timed(["dd", f"if={bench.path('big.msi')}",
                                f"of={os.path.join(copy, 'big.msi')}", "bs=1M", "status=none"]),
        "dd 64K": lambda: timed(["dd", f"if={bench.path('big.msi')}",
                                 f"of={os.path.join(copy, 'big.msi')}", "bs=64K",
                                 "status=none"]),
        "bare 64K": lambda: bare_copy(bench, 64 * 1024),
    }
    records = {way: [] for way in ways}
    for _ in range(bench.runs):
        for way, once in ways.items():
            records[way].append(dict(once(), kind="copy"))
            empty(copy)
    by = {way: f.sample(rs, "copy", bench.runs, ["ms"], name="run")["ms"]
          for way, rs in records.items()}

    def line(label, way):
        report.say(f"  {label:<41} {f.number(by[way].median(), 1)} ms   runs:"
                   f" {f.runs_text(by[way].values, 1)}")
        report.figure_error(label.rstrip(":"), by[way])

    report.say(f"the same bytes by other means (medians of {bench.runs} runs; information):")
    line("cp (copy_file_range, inside the kernel):", "cp")
    line("dd bs=1M, the package alone, no Wine:", "dd 1M")
    line("dd bs=64K:", "dd 64K")
    line("bare copy in 64 KiB pieces under Wine:", "bare 64K")
