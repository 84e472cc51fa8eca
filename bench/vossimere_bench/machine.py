"""The machine the benchmark runs on: the builds it needs, the Windows programs it runs under the
bench build's own Wine prefix, whole-process timings, and the processor time others took."""

import datetime
import json
import os
import platform
import subprocess
import sys
import tempfile
import time


def note(text):
    print(f"bench: {text}", file=sys.stderr, flush=True)


class BenchError(Exception):
    """Something without which no figure can be measured (a build, an input, a tool)."""


def failed(argv, code, errors):
    return BenchError(f"{' '.join(map(str, argv))} ended with code {code}:\n"
                      f"{errors.strip()[-2000:]}")


def run(argv, **kwargs):
    """Runs a command that must succeed and returns its standard output as text."""
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            errors="replace", **kwargs)
    if result.returncode != 0:
        raise failed(argv, result.returncode, result.stderr)
    return result.stdout


def make(build, configure, *targets):
    """Builds these targets, configuring the build with `configure` (a cmake command) if need be."""
    if not os.path.isfile(os.path.join(build, "CMakeCache.txt")):
        run([*configure, "-B", build])
    run(["cmake", "--build", build, "--target", *targets])


def timed(argv, stdout_path=None):
    """Runs a command to its end and times it as a whole process: wall time, and the processor
    time of it and every process it waited for (os.wait4). "ok" only when it ended with 0."""
    with open(stdout_path or os.devnull, "wb") as out:
        started = time.perf_counter()
        process = subprocess.Popen(argv, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        ended = time.perf_counter()
    process.returncode = code = os.waitstatus_to_exitcode(status)
    return {"ok": code == 0, "ms": (ended - started) * 1000, "user_ms": usage.ru_utime * 1000,
            "system_ms": usage.ru_stime * 1000,
            "failure": "" if code == 0 else f"{os.path.basename(argv[0])} ended with code {code}"}


def read_records(text):
    """The JSON objects of a program's output, one a line; other lines (Wine's own messages) are
    left out, and a line that starts as an object but is not valid JSON is kept as a record of
    kind "unreadable"."""
    records = []
    for line in text.splitlines():
        line = line.strip()
        if not line.startswith("{"):
            continue
        try:
            records.append(json.loads(line))
        except json.JSONDecodeError:
            records.append({"kind": "unreadable", "text": line})
    return records


class Windows:
    """The bench's Windows build and its private Wine prefix."""

    def __init__(self, build):
        self.build = build
        self.bench = os.path.join(build, "bench")
        self.wine_run = os.path.join(build, "wine-run")
        self.environment = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"))
        self.holder = None

    def driver(self, *args, check=False):
        """Runs the bench driver under the bench's Wine prefix: (its JSON records, its exit code).
        Its output goes to files, not pipes: Wine's server and the services it starts keep the
        standard handles of the program that started them, so a pipe would not end with it."""
        argv = [os.path.join(self.bench, "vossimere-bench.exe"), *map(str, args)]
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as errors:
            code = subprocess.run([self.wine_run, *argv], stdout=out, stderr=errors).returncode
            out.seek(0)
            errors.seek(0)
            if check and code != 0:
                raise failed(argv, code, errors.read().decode("utf-8", errors="replace"))
            return read_records(out.read().decode("utf-8", errors="replace")), code

    def hold_session(self):
        """One Wine server for the whole run, kept 15 s after its last program, so no start of the
        driver pays for the server and its services, and Wine's desktop process held for the whole
        run, so no driver first waits for a new desktop (each driver also holds it while it times).
        Whatever an earlier run left in the prefix is ended first."""
        subprocess.run([self.wine_run, "wineboot"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-k"], env=self.environment, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p15"], env=self.environment, check=True)
        self.holder = subprocess.Popen(
            [self.wine_run, os.path.join(self.bench, "vossimere-bench.exe"), "desktop", "3600"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def release_session(self):
        """Ends everything in the prefix (the holder is a Windows program under Wine: ending the
        command that started it would not end it)."""
        subprocess.run(["wineserver", "-k"], env=self.environment, stderr=subprocess.DEVNULL)
        if self.holder:
            try:
                self.holder.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.holder.kill()
                self.holder.wait()


def processor_ticks():
    """(ticks of niced work, ticks of all busy work, all ticks) from /proc/stat: other work, at
    lower priority (builds under nice) or not, still takes processor time and caches from the
    bench."""
    ticks = [int(t) for t in proc_line("/proc/stat", "cpu ").split()]
    idle = ticks[3] + ticks[4]  # idle and waiting for the disk
    every = sum(ticks[:8])  # guest time is counted in user time already
    return ticks[1], every - idle, every


def proc_line(path, start):
    """What follows `start` and its colon on the first line of `path` that has it, or "?"."""
    with open(path) as lines:
        return next((line[len(start):].strip(" \t:\n") for line in lines
                     if line.startswith(start)), "?")


def load_average():
    with open("/proc/loadavg") as load:
        return " ".join(load.read().split()[:3])


def first_line(argv):
    try:
        return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        return "?"


def now():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")


def facts(top, scratch):
    """The facts of the machine at the start of a run, for the record file's first line."""
    file_system = run(["df", "-PT", scratch]).splitlines()[1].split()[1]
    return {"kind": "machine", "started": now(), "scratch": scratch, "file_system": file_system,
            "commit": first_line(["git", "-C", top, "describe", "--always", "--dirty"]),
            "cpus": os.cpu_count(), "processor": proc_line("/proc/cpuinfo", "model name"),
            "memory_gib": round(int(proc_line("/proc/meminfo", "MemTotal").split()[0]) / 1048576),
            "linux": platform.release(), "wine": first_line(["wine", "--version"]),
            "compiler": first_line(["x86_64-w64-mingw32-g++", "--version"]),
            "nsis": first_line(["makensis", "-VERSION"]), "load_start": load_average(),
            "ticks_start": processor_ticks()}


def facts_at_end(start):
    """The load at the end, and the share of processor time other work took during the run."""
    niced, busy, every = (end - begin for end, begin in
                          zip(processor_ticks(), start["ticks_start"]))
    return {"kind": "machine-end", "ended": now(), "load_end": load_average(),
            "niced_percent": round(100 * niced / every) if every else None,
            "busy_percent": round(100 * busy / every) if every else None}
