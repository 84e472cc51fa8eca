"""4. Locating the trailer is independent of the file size: the start of a 2 MiB and a 1.9 GiB
launcher file (sparse, the same 4 KiB package), and every read of the large one in a run."""

import glob
import os
import re
import subprocess

from . import figures as f

READ_GOAL = 131072


def trailer_reads(lines, path, layout):
    """Sorts the reads of `path` in strace -y lines by where they fall: inside the launcher's
    image, inside the two embedded files, or elsewhere (the trailer search). Reads through readv
    and its kin are counted as "unparsed"."""
    stub = layout["stub"]
    installer = (layout["installer_offset"], layout["installer_offset"] + layout["installer_size"])
    package = (layout["package_offset"], layout["package_offset"] + layout["package_size"])

    def kind(offset, length):
        if offset + length <= stub:
            return "image"
        if any(start <= offset and offset + length <= end for start, end in (installer, package)):
            return "embedded"
        return "search"

    total = {"image": 0, "embedded": 0, "search": 0}
    count = dict(total)
    largest, largest_at, maps, unparsed, position = 0, -1, [], 0, {}
    for line in lines:
        if f"<{path}>" not in line:
            continue
        m = re.match(r"^lseek\((\d+)<.*= (\d+)$", line)
        if m:
            position[m.group(1)] = int(m.group(2))
            continue
        m = re.match(r"^mmap\([^,]*, (\d+), .*, (\d+)<[^>]*>, (0x[0-9a-f]+|\d+)\) = ", line)
        if m:
            maps.append((int(m.group(1)), int(m.group(3), 0)))
            continue
        m = re.match(r"^read\((\d+)<.*, \d+\) = (\d+)$", line)
        if m:
            descriptor, got = m.group(1), int(m.group(2))
            offset = position.get(descriptor, 0)
            position[descriptor] = offset + got
        else:
            m = re.match(r"^pread64\((\d+)<.*, \d+, (\d+)\) = (\d+)$", line)
            if m:
                offset, got = int(m.group(2)), int(m.group(3))
            else:
                if re.match(r"^(readv|preadv2?)\(", line):
                    unparsed += 1
                continue
        if got <= 0:
            continue
        where = kind(offset, got)
        total[where] += got
        count[where] += 1
        if where == "search" and got > largest:
            largest, largest_at = got, offset
    return {"bytes": total, "reads": count, "largest": largest, "largest_at": largest_at,
            "maps": maps, "unparsed": unparsed}


def measure(bench):
    report = bench.report
    report.section("4. Locating the trailer is independent of the file size")
    small, large = bench.path("sparse-2MiB.exe"), bench.path("sparse-1.9GiB.exe")
    report.say(f"sparse launcher files, 4 KiB package in both: {f.byte_count(os.path.getsize(small))}"
               f" bytes and {f.byte_count(os.path.getsize(large))} bytes"
               f" ({os.stat(large).st_blocks // 2} KiB on disk)")
    # These runs last some 50 ms each, mostly Wine starting a process, so they are cheap to
    # repeat and repeated four times as often as the others to keep the noise of a shared
    # machine down.
    runs = 4 * bench.runs
    bench.windows.driver("time", 1, bench.tmp, small, large)
    out = bench.windows.driver("time", runs, bench.tmp, small, large)

    def starts(name):
        records = [r for r in out.records if r.get("kind") != "time" or r.get("file") == name]
        return f.sample(records, "time", runs, ["to_installer_ms"], returncode=out.returncode,
                        name="run")["to_installer_ms"]

    small_ms, large_ms = starts("sparse-2MiB.exe"), starts("sparse-1.9GiB.exe")
    ratio = f.Figure(errors=small_ms.errors + large_ms.errors)  # the runs of either that failed
    value = (large_ms.median() / small_ms.median()
             if large_ms.values and small_ms.values else None)
    met = f.verdict(value, f.Goal(1.1), ratio.errors)
    report.say(f"2 MiB file, start to installer start:    {f.number(small_ms.median())} ms   runs:"
               f" {f.runs_text(small_ms.values)}")
    report.say(f"1.9 GiB file, start to installer start:  {f.number(large_ms.median())} ms   runs:"
               f" {f.runs_text(large_ms.values)}")
    report.say(f"ratio 1.9 GiB / 2 MiB (medians of {runs} runs): {f.number(value, 2)} (goal at most"
               f" 1.1) {met}")
    report.figure_error("the sparse files' starts", ratio)
    report.row("Start to the installer's entry, 1.9 GiB file over 2 MiB file", "at most 1.10",
               f"{f.number(large_ms.median())} ms",
               f"{f.number(small_ms.median())} ms (the 2 MiB file)", "-", f.number(value, 2), met)

    # Every read of the 1.9 GiB file by any process of the run, from the system calls themselves
    # (strace -y names the file behind each descriptor). Reads that lie inside the launcher's
    # image or inside the two embedded files are told apart from the rest, the trailer search.
    trace = bench.path("strace")
    os.makedirs(trace, exist_ok=True)
    traced = subprocess.run(
        ["strace", "-f", "-ff", "--seccomp-bpf", "-y", "-e",
         "trace=read,pread64,readv,preadv,preadv2,lseek,mmap", "-o", os.path.join(trace, "call"),
         os.path.join(bench.windows.build, "wine-run"),
         os.path.join(bench.windows.bench, "vossimere-bench.exe"), "time", "1", bench.tmp, large],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    lines = []
    for name in sorted(glob.glob(os.path.join(trace, "call.*"))):
        with open(name, errors="replace") as calls:
            lines += calls.read().splitlines()
    layout = bench.sparse_layout
    reads = trailer_reads(lines, os.path.realpath(large), layout)
    search = reads["bytes"]["search"]
    errors = []
    if traced.returncode != 0:
        errors.append(f"the traced run ended with code {traced.returncode}")
    if reads["unparsed"]:
        errors.append(f"{reads['unparsed']} reads through readv or preadv, not counted")
    if search == 0:
        errors.append("no read of the trailer search was seen")
    met = f.verdict(search, f.Goal(READ_GOAL), errors)
    report.say("reads of the 1.9 GiB file during one run (strace -f -y on Wine and the launcher):")
    report.say(f"  launcher image (first {f.byte_count(layout['stub'])} bytes):"
               f" {f.byte_count(reads['bytes']['image'])} bytes, reads: {reads['reads']['image']}")
    report.say(f"  embedded installer and package:  {f.byte_count(reads['bytes']['embedded'])}"
               f" bytes, reads: {reads['reads']['embedded']}")
    report.say(f"  everything else, the trailer search: {f.byte_count(search)} bytes, reads:"
               f" {reads['reads']['search']}, the largest at offset"
               f" {f.byte_count(reads['largest_at'])} (the trailer is at"
               f" {f.byte_count(layout['trailer_offset'])})")
    report.say("  memory mappings of the file (length and offset):" +
               "".join(f" {length} bytes at {offset}" for length, offset in reads["maps"]))
    report.say(f"bytes read to find the trailer: {f.byte_count(search)} (goal at most"
               f" {f.byte_count(READ_GOAL)}) {met}")
    report.row("Bytes read to find the trailer, 1.9 GiB file", "at most 131,072",
               f.byte_count(search), "-", "-", f"{f.ratio(search, READ_GOAL)} of the goal", met)
