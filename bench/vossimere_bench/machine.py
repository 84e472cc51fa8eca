"""The machine the benchmark runs on: the builds it needs, the Windows programs it runs under the
bench build's own Wine prefix, whole-process timings, and the processor time others took."""

import datetime
import json
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time


def note(text):
    print(f"bench: {text}", file=sys.stderr, flush=True)


class BenchError(Exception):
    """Something without which no figure can be measured (a build, an input, a tool)."""


def run(argv, **kwargs):
    """Runs a command that must succeed and returns its standard output as text."""
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            errors="replace", **kwargs)
    if result.returncode != 0:
        raise BenchError(f"{' '.join(map(str, argv))} ended with code {result.returncode}:\n"
                         f"{result.stderr.strip()[-2000:]}")
    return result.stdout


def timed(argv, stdout_path=None):
    """Runs a command to its end and times it as a whole process: wall time, and the processor
    time of it and every process it waited for (os.wait4). Returns a record that sample() reads:
    "ok" only when it ended with code 0."""
    out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        started = time.perf_counter()
        process = subprocess.Popen(argv, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        ended = time.perf_counter()
    finally:
        if stdout_path:
            out.close()
    process.returncode = code = os.waitstatus_to_exitcode(status)
    return {"ok": code == 0, "ms": (ended - started) * 1000, "user_ms": usage.ru_utime * 1000,
            "system_ms": usage.ru_stime * 1000,
            "failure": "" if code == 0 else f"{os.path.basename(argv[0])} ended with code {code}"}


class Records:
    """What a measuring Windows program printed: its JSON lines and its exit code."""

    def __init__(self, records, returncode, errors):
        self.records = records
        self.returncode = returncode
        self.stderr = errors

    def of(self, kind):
        return [record for record in self.records if record.get("kind") == kind]


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
        self.prefix = os.path.join(build, "wineprefix")
        self.holder = None

    def make(self, *targets):
        """Builds these targets, configuring the build first if need be."""
        if not os.path.isfile(os.path.join(self.build, "CMakeCache.txt")):
            run(["cmake", "--preset", "windows", "-B", self.build])
        run(["cmake", "--build", self.build, "--target", *targets])

    def run(self, *argv, check=False):
        """Runs a Windows program under the bench's Wine prefix; returns its output as Records.
        Its output goes to files, not pipes: Wine's server and the services it starts keep the
        standard handles of the program that started them, so a pipe would not end with it."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as errors:
            result = subprocess.run([os.path.join(self.build, "wine-run"), *map(str, argv)],
                                    stdout=out, stderr=errors)
            out.seek(0)
            errors.seek(0)
            text = out.read().decode("utf-8", errors="replace")
            error_text = errors.read().decode("utf-8", errors="replace")
        records = Records(read_records(text), result.returncode, error_text)
        if check and result.returncode != 0:
            raise BenchError(f"{' '.join(map(str, argv))} ended with code {result.returncode}:\n"
                             f"{error_text.strip()[-2000:]}")
        return records

    def driver(self, *args, check=False):
        return self.run(os.path.join(self.bench, "vossimere-bench.exe"), *args, check=check)

    def hold_session(self):
        """One Wine server for the whole run, kept 15 s after its last program, so no start of the
        driver pays for the server and its services: the prefix is made ready, whatever an earlier
        run left in it is ended, and the lasting server is started before any program. Wine's
        desktop process is held for the whole run as well: each driver also holds it while it
        times, but without this one every driver would first wait for a new desktop, and the
        first copy it times would start later after the previous one freed its memory than the
        copy it is compared with."""
        environment = dict(os.environ, WINEPREFIX=self.prefix)
        subprocess.run([os.path.join(self.build, "wine-run"), "wineboot"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-k"], env=environment, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p15"], env=environment, check=True)
        self.holder = subprocess.Popen(
            [os.path.join(self.build, "wine-run"),
             os.path.join(self.bench, "vossimere-bench.exe"), "desktop", "3600"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def release_session(self):
        """Ends everything in the prefix (the holder is a Windows program under Wine: ending the
        command that started it would not end it)."""
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix),
                       stderr=subprocess.DEVNULL)
        if self.holder:
            try:
                self.holder.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.holder.kill()
                self.holder.wait()


def install_strace():
    if shutil.which("strace"):
        return
    sudo = [] if os.getuid() == 0 else ["sudo"]
    note("installing strace")
    run([*sudo, "apt-get", "install", "-y", "-qq", "--no-install-recommends", "strace"],
        env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def processor_ticks():
    """(ticks of niced work, ticks of all busy work, all ticks) from /proc/stat: other work, at
    lower priority (builds under nice) or not, still takes processor time and caches from the
    bench."""
    with open("/proc/stat") as stat:
        for line in stat:
            if line.startswith("cpu "):
                ticks = [int(t) for t in line.split()[1:]]
                idle = ticks[3] + ticks[4]  # idle and waiting for the disk
                # guest time is counted in user time already
                every = sum(ticks[:8])
                return ticks[1], every - idle, every
    return 0, 0, 0


def load_average():
    with open("/proc/loadavg") as load:
        return " ".join(load.read().split()[:3])


def memory_gib():
    with open("/proc/meminfo") as info:
        for line in info:
            if line.startswith("MemTotal:"):
                return round(int(line.split()[1]) / 1048576)
    return 0


def first_line(argv):
    try:
        return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        return "?"


def processor_model():
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "?"


def now():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")


def facts(top):
    """The facts of the machine at the start of a run, for the record file's first line."""
    commit = subprocess.run(["git", "-C", top, "describe", "--always", "--dirty"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return {"kind": "machine", "started": now(), "commit": commit.stdout.strip() or "?",
            "cpus": os.cpu_count(), "processor": processor_model(), "memory_gib": memory_gib(),
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
