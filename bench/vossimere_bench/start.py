"""2. Start to the installer's creation: the launcher against a bare starter.

The bare starter does only what any launcher must do to start an installer: a hidden window,
ShellExecuteExW of the same bench installer (already extracted, beside a 4 KiB package) with the
launcher's mask, working directory and arguments, and the wait. Both are timed from just before
CreateProcessW to the creation of the installer's process, as the system records it
(GetProcessTimes, read by the bench installer); the difference is the launcher's own work. The
two take turns, launcher first in each pair, and each pair gives its own ratio: Wine starts a
process in some 30 ms or some 85 ms, at random, which moves single runs by far more than the
launcher's own work, and a pair's two runs meet the same state of the machine."""

import os
import shutil

from . import figures as f

PAIR_FIELDS = ("launcher_created_ms", "starter_created_ms")


def start_pairs(bench, pairs, launcher):
    """The start pairs of `launcher` with the bare starter: (figures by field, records)."""
    out = bench.windows.driver("start-pairs", pairs, bench.tmp, launcher, bench.starter,
                               os.path.join(bench.scratch, "extracted", "setup.exe"))
    return f.sample(out.records, "start-pair", pairs, PAIR_FIELDS, returncode=out.returncode,
                    name="pair"), out


def step_medians(records, program):
    """{step: median ms from the start} over the marks a program recorded, in the order taken."""
    steps = {}
    for record in records.of("marks"):
        if record.get("program") == program:
            for step, ms in record.get("steps", {}).items():
                if f.is_number(ms):
                    steps.setdefault(step, []).append(ms)
    return {step: f.median(values) for step, values in steps.items()}


def timeline_lines(steps):
    """The steps by their median time from the start, each with the time since the one before."""
    lines, before = [], 0.0
    for step, ms in sorted(steps.items(), key=lambda item: item[1]):
        lines.append(f"    {step:<18} {ms:8.1f} ms   {ms - before:+7.1f} ms")
        before = ms
    return lines


def measure(bench):
    report = bench.report
    report.section("2. Start to the installer's creation: the launcher against a bare starter")
    pairs = 8 * bench.runs
    extracted = os.path.join(bench.scratch, "extracted")
    os.makedirs(extracted, exist_ok=True)
    shutil.copyfile(bench.installer, os.path.join(extracted, "setup.exe"))
    shutil.copyfile(bench.path("tiny.msi"), os.path.join(extracted, "bench.msi"))

    warm, _ = start_pairs(bench, 1, bench.path("tiny.exe"))
    if warm["launcher_created_ms"].errors:
        report.say(f"  (the untimed first pair failed: {warm['launcher_created_ms'].errors[0]})")
    times, out = start_pairs(bench, pairs, bench.path("tiny.exe"))
    launcher, starter = times["launcher_created_ms"], times["starter_created_ms"]
    ratios = f.pair_ratios(launcher, starter)
    bench.tiny_created = launcher
    goal = f.Goal(1.10)
    met = f.verdict(ratios.median(), goal, ratios.errors)
    report.say(f"launcher, 4 KiB package, start to the installer's creation: median"
               f" {f.number(launcher.median())} ms   runs: {f.runs_text(launcher.values)}")
    report.say(f"bare starter, start to the same installer's creation:     median"
               f" {f.number(starter.median())} ms   runs: {f.runs_text(starter.values)}")
    report.say(f"ratio launcher / bare starter, each of {pairs} pairs: median"
               f" {f.number(ratios.median(), 2)} (goal at most 1.10) {met}" +
               f.spread_clause(ratios.values))
    report.figure_error("the start pairs", ratios)
    again = out.of("start-pair-again")
    if again:
        report.say(f"  (the bare starter failed to start its installer in {len(again)} pair(s),"
                   " timed again: " + " ".join(f"pair={r.get('pair')} starter_exit="
                                               f"{r.get('starter_exit')}" for r in again) + ")")
    report.say(f"  fastest runs (information): {f.number(launcher.fastest())} ms vs"
               f" {f.number(starter.fastest())} ms,"
               f" {f.ratio(launcher.fastest(), starter.fastest())}")
    report.row(f"Start to the installer's creation, 4 KiB package, over the bare starter"
               f" ({pairs} pairs)", "at most 1.10", f"{f.number(launcher.median())} ms",
               f"{f.number(starter.median())} ms", "-", f.spread_text(ratios.values), met)
    series = report.add_series("start / bare starter", "1.10", ratios.values)
    report.add_start_times(series, starter.values, launcher.values)

    # Where the time goes: the launcher built again with its steps marked (Vossimere-timeline),
    # paired with the bare starter, which marks its own. Each step is given as the median time
    # from just before CreateProcessW, and the time since the step before it.
    timeline_pairs = 4 * bench.runs
    times, out = start_pairs(bench, timeline_pairs, bench.path("timeline.exe"))
    report.say(f"where the launcher's start goes (timeline build, {timeline_pairs} pairs; median ms"
               " from its start, then the step's own time):")
    for program, field in (("launcher", "launcher_created_ms"), ("starter", "starter_created_ms")):
        if program == "starter":
            report.say("  the bare starter in the same pairs:")
        steps = step_medians(out, program)
        if times[field].values:
            steps["installer_created"] = times[field].median()
        for line in timeline_lines(steps):
            report.say(line)
    report.figure_error("the timeline pairs", times["launcher_created_ms"])
    report.say("  (created: the process created; entry: Wine's loading, to wWinMain; window: strings,"
               " class, hidden window; worker:")
    report.say("  the worker thread's start; trailer: own path, temporary folder, own-file check,"
               " trailer;")
    report.say("  files: the folder with its access list and both files written and held; shell:")
    report.say("  ShellExecuteExW returned; installer_created: the installer's process created)")

    # The previous method, for comparison with the earlier figures: a bare GUI program that makes
    # a hidden window and ends, timed from start to exit. It starts no process, which the
    # launcher must.
    bare_window = os.path.join(bench.windows.bench, "bare-window.exe")
    bench.windows.driver("start", 1, bare_window)
    out = bench.windows.driver("start", pairs, bare_window)
    bare = f.sample(out.records, "start", pairs, ["to_exit_ms"], returncode=out.returncode,
                    name="run")["to_exit_ms"]
    report.say(f"previous method (information): the launcher's {f.number(launcher.median())} ms"
               f" against a bare GUI program's start to exit, {f.number(bare.median())} ms:"
               f" {f.ratio(launcher.median(), bare.median())}")
    report.figure_error("the bare GUI program's starts", bare)
