"""6. The pack tool: `vossimere-pack build` of a 1 GiB launcher file beside `cat` of the same
three files into one.

build writes its output and makes it durable (a flush of the file and its folder to disk) before
it puts it in place, so the goal compares it with the same work by the plainest means: cat, then
`sync` of the written file and its folder, as one timed command. build beside cat alone is
printed too: it shows the copy itself, without the disk's write-back. The three take turns, round
after round, and each round gives its own ratios; a run that fails or whose output does not
verify is an error of the figure."""

import os
import subprocess

from . import figures as f
from .machine import timed


def measure(bench):
    report = bench.report
    report.section("6. The pack tool (1 GiB launcher file)")
    copy = bench.path("copy")
    sources = [bench.stub, bench.installer, bench.path("big.msi")]
    cat_out, packed = os.path.join(copy, "cat.exe"), os.path.join(copy, "packed.exe")

    def cat_once():
        record = timed(["cat", *sources], stdout_path=cat_out)
        os.remove(cat_out)
        return record

    def cat_sync_once():
        record = timed(["sh", "-c", 'cat "$@" >"$0" && sync "$0" "${0%/*}"', cat_out, *sources])
        os.remove(cat_out)
        return record

    def pack_once():
        record = timed([bench.pack, "build", "--stub", bench.stub, "--installer", bench.installer,
                        "--package", bench.path("big.msi"), "--title", "Vossimere bench", "-o",
                        packed])
        if record["ok"]:
            verified = subprocess.run([bench.pack, "verify", packed], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.PIPE, text=True)
            if verified.returncode != 0:
                record.update(ok=False, failure="the built file does not verify: " +
                              verified.stderr.strip())
        if os.path.exists(packed):
            os.remove(packed)
        return record

    ways = {"cat": cat_once, "cat + sync": cat_sync_once, "build": pack_once}
    for once in ways.values():
        once()
    records = {way: [] for way in ways}
    for _ in range(bench.runs):
        for way, once in ways.items():
            records[way].append(dict(once(), kind="run"))
    fields = ("ms", "user_ms", "system_ms")
    by = {way: f.sample(rs, "run", bench.runs, fields, name="run")
          for way, rs in records.items()}
    cat, synced, build = (by[w]["ms"] for w in ("cat", "cat + sync", "build"))
    over_synced = f.pair_ratios(build, synced)
    over_cat = f.pair_ratios(build, cat)
    met = f.verdict(over_synced.median(), f.Goal(1.00), over_synced.errors)
    report.say(f"cat stub installer package > out:          {f.number(cat.median(), 1)} ms   runs:"
               f" {f.runs_text(cat.values, 1)}")
    report.say(f"the same cat, then sync of the file and its folder:"
               f" {f.number(synced.median(), 1)} ms   runs: {f.runs_text(synced.values, 1)}")
    report.say(f"vossimere-pack build (Release):            {f.number(build.median(), 1)} ms   runs:"
               f" {f.runs_text(build.values, 1)}")
    report.say(f"ratio build / (cat, then sync), each of {bench.runs} rounds:"
               f" {f.spread_text(over_synced.values)} (goal at most 1.00) {met}")
    report.say(f"ratio build / cat alone, each round (information): {f.spread_text(over_cat.values)}")
    for way in ways:
        report.figure_error(way, by[way]["ms"])

    def cpu(way):
        user, system = by[way]["user_ms"].median(), by[way]["system_ms"].median()
        return user, system, (None if user is None else user + system)

    cat_cpu, build_cpu = cpu("cat"), cpu("build")
    report.say(f"processor time (medians): cat user {f.number(cat_cpu[0], 0)} ms + system"
               f" {f.number(cat_cpu[1], 0)} ms; build user {f.number(build_cpu[0], 0)} ms + system"
               f" {f.number(build_cpu[1], 0)} ms; ratio {f.ratio(build_cpu[2], cat_cpu[2])}")
    report.say("  (the pack tool's user time is the image checksum and the content digest over"
               " every byte)")
    report.row(f"vossimere-pack build of a 1 GiB launcher file, over cat and a flush to disk"
               f" ({bench.runs} rounds)", "at most 1.00", f"{f.number(build.median(), 1)} ms",
               f"{f.number(synced.median(), 1)} ms (cat, then sync)", "-",
               f.spread_text(over_synced.values), met)
    report.row(f"vossimere-pack build of a 1 GiB launcher file, over cat alone ({bench.runs}"
               " rounds)", "(information)", f"{f.number(build.median(), 1)} ms",
               f"{f.number(cat.median(), 1)} ms (cat)", "-", f.spread_text(over_cat.values),
               "-" if not over_cat.errors else f.verdict(None, None, over_cat.errors))
