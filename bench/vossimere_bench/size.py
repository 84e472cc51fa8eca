"""1. The stub's size, beside a bare MessageBox program built with the same compiler and flags,
and where its bytes go: by section, by origin in the link map, and by imported DLL."""

import os

from . import figures as f
from . import image

STUB_GOAL = 20480


def section_table(report, path):
    rows = image.section_sizes(image.objdump("-h", path), os.path.getsize(path))
    report.say(f"    {'section':<8} {'in file':>10} {'in memory':>10}")
    for name, in_file, in_memory in rows:
        report.say(f"    {name:<8} {in_file:>10} {'-' if in_memory is None else in_memory:>10}")


def origins(report, map_path, file_size):
    with open(map_path, errors="replace") as link_map:
        by_origin, by_object = image.bytes_by_origin(link_map.read())
    for where, size in sorted(by_origin.items(), key=lambda item: -item[1]):
        report.say(f"    {where:<72} {size:6d}")
    padding = "headers and alignment padding (to 512-byte file sections)"
    report.say(f"    {padding:<72} {file_size - sum(by_origin.values()):6d}")
    if by_object:
        largest = sorted(by_object.items(), key=lambda item: -item[1])[:6]
        report.say("    largest C runtime parts: " + ", ".join(f"{n} {s}" for n, s in largest))


def msvcrt_text(path):
    functions = dict(image.imports(image.objdump("-p", path))).get("msvcrt.dll", [])
    return f"{len(functions)}" + (": " + " ".join(functions) if functions else "")


def measure(bench):
    report = bench.report
    report.section("1. Stub size")
    stub_bytes = os.path.getsize(bench.stub)
    box = os.path.join(bench.windows.bench, "bare-message-box.exe")
    box_bytes = os.path.getsize(box)
    mapped_bytes = os.path.getsize(os.path.join(bench.windows.bench, "Vossimere-mapped.exe"))
    goal = f.Goal(STUB_GOAL, text="at most 20,480 bytes")
    met = f.verdict(stub_bytes, goal)
    report.say(f"Vossimere.exe, unsigned:                      {f.byte_count(stub_bytes)} bytes"
               f" (goal at most {f.byte_count(STUB_GOAL)}; ratio {f.ratio(stub_bytes, STUB_GOAL)})"
               f" {met}")
    report.say(f"bare MessageBox program, same compiler/flags: {f.byte_count(box_bytes)} bytes"
               f" (Vossimere.exe is {f.ratio(stub_bytes, box_bytes)}x that)")
    report.row("Stub size, unsigned Vossimere.exe", goal.text, f"{f.byte_count(stub_bytes)} bytes",
               f"{f.byte_count(box_bytes)} bytes (a bare MessageBox program)", "-",
               f"{f.ratio(stub_bytes, STUB_GOAL)} of the goal", met)
    if mapped_bytes != stub_bytes:
        report.say(f"warning: the launcher relinked with a map has {mapped_bytes} bytes, not"
                   f" {stub_bytes}; the breakdown below describes that link")

    report.say("where the bytes of Vossimere.exe go, by section:")
    section_table(report, bench.stub)
    report.say("  by origin (link map of the same link, bytes placed in the file):")
    origins(report, os.path.join(bench.windows.bench, "Vossimere-mapped.map"), mapped_bytes)
    dlls = image.imports(image.objdump("-p", bench.stub))
    report.say("  imported DLLs and functions: " +
               ", ".join(f"{dll} {len(functions)}" for dll, functions in dlls))
    report.say(f"  msvcrt.dll imports {msvcrt_text(bench.stub)}")
    report.say("the bare MessageBox program, by origin:")
    origins(report, os.path.join(bench.windows.bench, "bare-message-box.map"), box_bytes)
    report.say(f"  msvcrt.dll imports {msvcrt_text(box)}")
