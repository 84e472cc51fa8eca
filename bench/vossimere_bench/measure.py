"""The measurements behind the table (bench/vossimere_bench/table.py), each written to the run's
record file as its raw samples under the measurement's name, then an "end" line with the
measuring program's exit code and the number of samples asked for. Nothing here works a figure
out: the report reads the record file, whether just written or kept from an earlier run."""

import glob
import json
import os
import subprocess

from .table import samples
from .machine import note, timed


class Recorder:
    """The record file, open for writing: one JSON object a line."""

    def __init__(self, out):
        self.out = out

    def write(self, measure, records):
        for record in records:
            self.out.write(json.dumps(dict(record, measure=measure), sort_keys=True) + "\n")
        self.out.flush()

    def end(self, measure, returncode, expected, **facts):
        self.write(measure, [dict(facts, kind="end", returncode=returncode, expected=expected)])


def driven(bench, rec, measure, mode, *args, **facts):
    """The measurement's pairs (mode "pairs") or rounds ("memory") of the driver, as many as the
    table gives it, written as they came."""
    count = samples(measure, bench.runs)
    note(f"{measure}: {count} {'pairs' if mode == 'pairs' else 'rounds'}")
    records, code = bench.windows.driver(mode, count, bench.tmp, *args)
    rec.write(measure, records)
    rec.end(measure, code, count, **facts)


def pairs(bench, rec, measure, a, b, package, hold=False):
    """The measurement's pairs of two programs taking turns (each a program and its arguments),
    after one untimed pair."""
    sides = ["|".join(map(str, a)), "|".join(map(str, b))] + (["--hold"] if hold else [])
    bench.windows.driver("pairs", 1, bench.tmp, *sides)
    driven(bench, rec, measure, "pairs", *sides, package_bytes=package)


def sizes(bench, rec):
    installer = os.path.getsize(bench.installer)

    def beyond(name, package):
        return os.path.getsize(bench.path(name)) - installer - package

    rec.write("sizes", [{
        "kind": "value", "stub": os.path.getsize(bench.stub),
        "bare_message_box": os.path.getsize(bench.program("bare-message-box.exe")),
        "installer": installer,
        "beyond_launcher": beyond("big.exe", bench.big_package),
        "beyond_launcher_tiny": beyond("tiny.exe", bench.tiny_package),
        "beyond_nsis_shipped": beyond("nsis-shipped-big.exe", bench.big_package),
        "beyond_nsis_off": beyond("nsis-off-big.exe", bench.big_package),
        "beyond_nsis_lzma": beyond("nsis-lzma-tiny.exe", bench.tiny_package)}])
    rec.end("sizes", 0, 1)


def trailer_reads(bench, rec):
    """Every read of the 1.9 GiB file by any process of one run, from the system calls
    themselves (strace -y names the file behind each descriptor), written as they came."""
    note("trailer-reads: one traced run")
    large = bench.path("sparse-1.9GiB.exe")
    trace = bench.path("strace")
    os.makedirs(trace, exist_ok=True)
    traced = subprocess.run(
        ["strace", "-f", "-ff", "--seccomp-bpf", "-y", "-e",
         "trace=read,pread64,readv,preadv,preadv2,lseek", "-o", os.path.join(trace, "call"),
         os.path.join(bench.windows.build, "wine-run"), bench.program("vossimere-bench.exe"),
         "pairs", "1", bench.tmp, large, bench.installer],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    path = os.path.realpath(large)
    lines = []
    for name in sorted(glob.glob(os.path.join(trace, "call.*"))):
        with open(name, errors="replace") as calls:
            lines += [line for line in calls.read().splitlines() if f"<{path}>" in line]
    # The calls themselves are kept, so that bench/run --from works the figure out again.
    rec.write("trailer-reads", [dict(kind="strace", path=path, layout=bench.sparse_layout,
                                     lines=lines)])
    rec.end("trailer-reads", traced.returncode, 1)


def pack_tool(bench, rec):
    """build of a 1 GiB launcher file, cat of the same three files, and cat followed by a sync
    of the file and its folder as one command; inspect of the 1 GiB launcher file and sha256sum
    of it; taking turns round after round after one untimed round; a build whose output does not
    verify is a failed run."""
    rounds = samples("pack", bench.runs)
    note(f"pack: {rounds} rounds")
    copy = bench.path("copy")
    sources = [bench.stub, bench.installer, bench.path("big.msi")]
    cat_out, packed = os.path.join(copy, "cat.exe"), os.path.join(copy, "packed.exe")
    ways = {"cat": ["cat", *sources],
            "cat + sync": ["sh", "-c", 'cat "$@" >"$0" && sync "$0" "${0%/*}"', cat_out, *sources],
            "build": [bench.pack, "build", "--stub", bench.stub, "--installer", bench.installer,
                      "--package", bench.path("big.msi"), "--title", "Vossimere bench", "-o",
                      packed],
            "inspect": [bench.pack, "inspect", bench.path("big.exe")],
            "sha256sum": ["sha256sum", bench.path("big.exe")]}
    for round_number in range(rounds + 1):
        for way, argv in ways.items():
            record = timed(argv, stdout_path=cat_out if way == "cat" else None)
            if way == "build" and record["ok"]:
                verified = subprocess.run([bench.pack, "verify", packed], stdout=subprocess.DEVNULL,
                                          stderr=subprocess.PIPE, text=True)
                if verified.returncode != 0:
                    record.update(ok=False, failure="the built file does not verify: " +
                                  verified.stderr.strip())
            for path in (cat_out, packed):
                if os.path.exists(path):
                    os.remove(path)
            if round_number:
                rec.write("pack", [dict(record, kind="run", way=way, round=round_number)])
    rec.end("pack", 0, rounds)


def measure(bench, rec):
    """Every measurement of the table, in the order of its rows."""
    tiny, big = bench.tiny_package, bench.big_package
    program = bench.program
    sizes(bench, rec)
    pairs(bench, rec, "start-bare", [bench.path("tiny.exe")],
          [program("bare-starter.exe"), bench.path("extracted/setup.exe")], tiny, hold=True)
    pairs(bench, rec, "extraction", [bench.path("big.exe")],
          [program("bare-copy.exe"), 1048576, bench.installer, bench.path("copy/setup.exe"),
           bench.path("big.msi"), bench.path("copy/big.msi")], big, hold=True)
    pairs(bench, rec, "trailer-start", [bench.path("sparse-2MiB.exe")],
          [bench.path("sparse-1.9GiB.exe")], tiny, hold=True)
    trailer_reads(bench, rec)
    driven(bench, rec, "memory", "memory", bench.path("mid.exe"), bench.path("big.exe"),
           program("bare-window.exe"))
    pack_tool(bench, rec)
    for peer in ("shipped", "off"):
        pairs(bench, rec, f"start-nsis-{peer}", [bench.path("tiny.exe")],
              [bench.path(f"nsis-{peer}-tiny.exe")], tiny)
    for peer in ("shipped", "off"):
        pairs(bench, rec, f"run-nsis-{peer}", [bench.path("big.exe")],
              [bench.path(f"nsis-{peer}-big.exe")], big)
    driven(bench, rec, "memory-nsis", "memory", bench.path("big.exe"),
           bench.path("nsis-shipped-big.exe"), bench.path("nsis-off-big.exe"))
