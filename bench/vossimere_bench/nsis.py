"""7. Beside NSIS doing the same job.

NSIS built from bench/nsis_peer.nsi with the same installer and package: it writes both into the
same sub-folder of the temporary folder, starts the installer there, waits for it, deletes both
files and the folder and ends with the installer's exit code. The launcher file and an NSIS file
take turns, launcher first in each pair, each run whole with nobody holding it (vossimere-bench
peer-pairs), after one untimed pair; each pair gives its own ratio."""

import os

from . import figures as f
from . import memory
from .extraction import bare_copy
from .machine import first_line
from .start import step_medians, timeline_lines

KiB, MiB = 1024, 1048576
PEERS = (("shipped", "NSIS as shipped"), ("off", "NSIS, check off"))
FIELDS = ("launcher_created_ms", "peer_created_ms", "launcher_entered_ms", "peer_entered_ms",
          "launcher_exit_ms", "peer_exit_ms")


def peer_pairs(bench, pairs, launcher, peer, package_bytes):
    """The pairs of a launcher file and an NSIS file: {field: Figure} and the records. A pair is
    good when both runs were and each installer found the whole package."""
    bench.windows.driver("peer-pairs", 1, bench.tmp, launcher, peer)
    out = bench.windows.driver("peer-pairs", pairs, bench.tmp, launcher, peer)
    good = lambda r: (r.get("ok") is True and r.get("launcher_package_bytes") == package_bytes and
                      r.get("peer_package_bytes") == package_bytes)
    return f.sample(out.records, "peer-pair", pairs, FIELDS, good=good,
                    returncode=out.returncode, name="pair"), out


def measure(bench):
    report = bench.report
    report.section("7. Beside NSIS doing the same job")
    report.say(f"NSIS {first_line(['makensis', '-VERSION'])}, amd64-unicode, silent; built as NSIS"
               " ships (whole-file check on) and with the check off, both storing the files as they"
               " are; LZMA (solid) for the size alone")

    # The bytes a file carries beyond the installer and the package.
    installer_bytes = os.path.getsize(bench.installer)

    def beyond(name, package):
        return os.path.getsize(bench.path(name)) - installer_bytes - package

    launcher_beyond = beyond("big.exe", bench.big_package)
    shipped_beyond = beyond("nsis-shipped-big.exe", bench.big_package)
    off_beyond = beyond("nsis-off-big.exe", bench.big_package)
    lzma_beyond = beyond("nsis-lzma-tiny.exe", bench.tiny_package)
    met = f.verdict(launcher_beyond / shipped_beyond, f.Goal(0.25))
    report.say(f"bytes each file carries beyond the installer ({f.byte_count(installer_bytes)}) and"
               " the package:")
    report.say(f"  launcher file, 1 GiB package:   {f.byte_count(launcher_beyond)} (4 KiB package:"
               f" {f.byte_count(beyond('tiny.exe', bench.tiny_package))})")
    report.say(f"  NSIS as shipped, stored:        {f.byte_count(shipped_beyond)} (4 KiB package:"
               f" {f.byte_count(beyond('nsis-shipped-tiny.exe', bench.tiny_package))})")
    report.say(f"  NSIS, check off, stored:        {f.byte_count(off_beyond)}")
    report.say(f"  NSIS, LZMA (4 KiB package):     {f.byte_count(lzma_beyond)} (the installer"
               " compresses)")
    report.say(f"launcher / NSIS as shipped: {f.ratio(launcher_beyond, shipped_beyond)} (goal at"
               f" most 0.25) {met}")
    report.row("Bytes beyond the installer and the package, 1 GiB file, over NSIS storing them",
               "at most 0.25", f.byte_count(launcher_beyond), "-",
               f"{f.byte_count(shipped_beyond)} (LZMA: {f.byte_count(lzma_beyond)})",
               f.ratio(launcher_beyond, shipped_beyond), met)

    # The start, to the installer's creation, with the 4 KiB package.
    start_pairs = 8 * bench.runs
    for name, title in PEERS:
        times, _ = peer_pairs(bench, start_pairs, bench.path("tiny.exe"),
                              bench.path(f"nsis-{name}-tiny.exe"), bench.tiny_package)
        launcher, peer = times["launcher_created_ms"], times["peer_created_ms"]
        ratios = f.pair_ratios(launcher, peer)
        met = f.verdict(ratios.median(), f.Goal(0.90), ratios.errors)
        report.say(f"start to the installer's creation, 4 KiB package, against {title}"
                   f" ({start_pairs} pairs):")
        report.say(f"  launcher median {f.number(launcher.median())} ms, NSIS median"
                   f" {f.number(peer.median())} ms; launcher / NSIS: {f.spread_text(ratios.values)}"
                   f" (goal at most 0.90) {met}")
        report.figure_error("the pairs", ratios)
        report.row(f"Start to the installer's creation, 4 KiB package, over {title}"
                   f" ({start_pairs} pairs)", "at most 0.90", f"{f.number(launcher.median())} ms",
                   "-", f"{f.number(peer.median())} ms", f.spread_text(ratios.values), met)
        series = report.add_series(f"start / {title}", "0.90", ratios.values)
        report.add_start_times(series, peer.values, launcher.values)

    # The whole run with the 1 GiB package, from just before CreateProcessW to the program's end.
    copy_pairs = 2 * bench.runs
    for (name, title), goal in zip(PEERS, ("0.60", "1.00")):
        times, _ = peer_pairs(bench, copy_pairs, bench.path("big.exe"),
                              bench.path(f"nsis-{name}-big.exe"), bench.big_package)
        launcher, peer = times["launcher_exit_ms"], times["peer_exit_ms"]
        ratios = f.pair_ratios(launcher, peer)
        met = f.verdict(ratios.median(), f.Goal(float(goal)), ratios.errors)

        # The run in three parts: to the installer's creation (the start and the extraction),
        # from there to the installer's entry (Wine loading it), and from there to the end (the
        # installer's run, which ends at once, and the clean-up).
        def parts(side):
            created, entered, ended = (times[f"{side}_{p}_ms"] for p in
                                       ("created", "entered", "exit"))
            return (f"{f.number(created.median())} ms to the installer,"
                    f" {f.number(f.pair_differences(entered, created).median())} ms to its entry,"
                    f" {f.number(f.pair_differences(ended, entered).median())} ms to the end")

        report.say(f"whole run, 1 GiB package, against {title} ({copy_pairs} pairs):")
        report.say(f"  launcher median {f.number(launcher.median())} ms   runs:"
                   f" {f.runs_text(launcher.values)}")
        report.say(f"  NSIS median {f.number(peer.median())} ms   runs: {f.runs_text(peer.values)}")
        report.say(f"  launcher / NSIS: {f.spread_text(ratios.values)} (goal at most {goal}) {met}")
        report.figure_error("the pairs", ratios)
        report.say(f"  medians of the parts: launcher {parts('launcher')}; NSIS {parts('peer')}")
        report.row(f"Whole run, 1 GiB package, over {title} ({copy_pairs} pairs)",
                   f"at most {goal}", f"{f.number(launcher.median())} ms", "-",
                   f"{f.number(peer.median())} ms", f.spread_text(ratios.values), met)
        report.add_series(f"1 GiB run / {title}", goal, ratios.values)

    # Where the launcher's whole run goes beside NSIS with its check off: the timeline build,
    # whose marks run to the clean-up, in pairs with that NSIS file.
    times, out = peer_pairs(bench, bench.runs, bench.path("timeline-big.exe"),
                            bench.path("nsis-off-big.exe"), bench.big_package)
    report.say(f"where the launcher's 1 GiB run goes (timeline build, {bench.runs} pairs with NSIS,"
               " check off; median ms from its start, then the step's own time):")
    steps = step_medians(out, "launcher")
    for step, field in (("installer_created", "launcher_created_ms"),
                        ("installer_entered", "launcher_entered_ms"),
                        ("ended", "launcher_exit_ms")):
        if times[field].values:
            steps[step] = times[field].median()
    for line in timeline_lines(steps):
        report.say(line)
    report.figure_error("the timeline pairs", times["launcher_exit_ms"])
    report.say(f"  NSIS, check off, in the same pairs: installer created"
               f" {f.number(times['peer_created_ms'].median())} ms, entered"
               f" {f.number(times['peer_entered_ms'].median())} ms, ended"
               f" {f.number(times['peer_exit_ms'].median())} ms")
    report.say("  (files: the folder made and both files written and held; shell: ShellExecuteExW"
               " returned;")
    report.say("  installer_ended: the wait for the installer returned; cleaned_up: the files and"
               " the folder gone)")

    # The files step is the copy, and its time depends on the piece: the bare copy of the same
    # two files in the launcher's 1 MiB pieces, in 512 KiB pieces and in NSIS's 16 KiB pieces,
    # taking turns, with the processor time each took (information).
    pieces = (MiB, 512 * KiB, 16 * KiB)
    records = {piece: [] for piece in pieces}
    for _ in range(bench.runs):
        for piece in pieces:
            records[piece].append(dict(bare_copy(bench, piece), kind="copy"))
    report.say(f"the bare copy of the same files by piece size, taking turns ({bench.runs} rounds;"
               " median ms, runs, and")
    report.say("median processor ms):")
    for piece in pieces:
        by = f.sample(records[piece], "copy", bench.runs, ("ms", "processor_ms"), name="run")
        label = f"{piece // KiB} KiB"
        report.say(f"  {label:>7}: {f.number(by['ms'].median())} ms   runs:"
                   f" {f.runs_text(by['ms'].values)}   processor:"
                   f" {f.number(by['processor_ms'].median(), 0)} ms")
        report.figure_error(f"the copies in {label} pieces", by["ms"])

    # Peak private memory, sampled as in section 5, the three programs taking turns; each round
    # gives the launcher's ratio to each NSIS file.
    by, out = memory.memory_runs(bench, bench.runs, bench.path("big.exe"),
                                 bench.path("nsis-shipped-big.exe"), bench.path("nsis-off-big.exe"))
    launcher_peak = by["big.exe"]["private_peak_sampled"]
    report.say(f"peak private memory, 1 GiB package (sampled to the installer's start; medians of"
               f" {bench.runs} rounds):")
    report.say(f"  launcher {f.byte_count(launcher_peak.median())}")
    for name, title in PEERS:
        peer_file = f"nsis-{name}-big.exe"
        peer_peak = by[peer_file]["private_peak_sampled"]
        ratios = memory.round_ratios(out.records, "private_peak_sampled", "big.exe", peer_file,
                                     bench.runs)
        met = f.verdict(ratios.median(), f.Goal(1.00), ratios.errors)
        report.say(f"  {title} {f.byte_count(peer_peak.median())}; launcher / NSIS, each round:"
                   f" {f.spread_text(ratios.values, 3)} (goal at most 1.00) {met}")
        report.figure_error("the memory rounds", ratios)
        report.row(f"Peak private memory, 1 GiB package, over {title} ({bench.runs} rounds)",
                   "at most 1.00", f.byte_count(launcher_peak.median()), "-",
                   f.byte_count(peer_peak.median()), f.spread_text(ratios.values, 3), met)
        report.add_series(f"memory / {title}", "1.00", ratios.values)
    report.say("  anonymous bytes by mapping at the installer's start, launcher minus NSIS as"
               " shipped (round 1):")
    memory.print_differences(report, out.records, "big.exe", "nsis-shipped-big.exe")
