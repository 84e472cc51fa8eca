"""Readings of a Windows image and its link: the file bytes of each section, the bytes the linker
placed by where they come from, and the DLLs and functions it imports. Each reads the text of
a tool (objdump, the linker's map), so it is tested on that text alone."""

import re
import subprocess

OBJDUMP = "x86_64-w64-mingw32-objdump"


def objdump(*argv):
    return subprocess.run([OBJDUMP, *argv], stdout=subprocess.PIPE, check=True,
                          text=True).stdout


def section_sizes(headers_text, file_size):
    """From `objdump -h`: [(name, bytes in the file, bytes in memory)], headers first. A
    section's bytes in the file run from its file offset to the next section's (or the end)."""
    sections = []
    for line in headers_text.splitlines():
        fields = line.split()
        if len(fields) >= 6 and fields[0].isdigit() and fields[1].startswith("."):
            sections.append((fields[1], int(fields[2], 16), int(fields[5], 16)))
    offsets = [off for _, _, off in sections if off > 0]
    rows = [("headers", min(offsets + [file_size]), None)]
    for name, in_memory, off in sections:
        following = min([o for o in offsets if o > off] + [file_size])
        rows.append((name, following - off if off > 0 else 0, in_memory))
    return rows


def origin(input_file):
    """Where an input section placed by the linker comes from."""
    if input_file.endswith(".res"):
        return "resources (.rsrc)"
    if "CMakeFiles/" in input_file or "libvossimere" in input_file:
        return "the program's own code and data"
    if input_file == "dll stuff":
        return "base relocations (made by the linker)"
    if re.search(r"lib(std|sup)c\+\+", input_file):
        return "C++ library"
    if re.search(r"/libgcc\.a\(", input_file):
        return "compiler support (libgcc: the stack probe)"
    if re.search(r"/(crt2u?|crtbegin|crtend|dllcrt2)\.o$|"
                 r"lib(mingw32|mingwex|gcc_eh|moldname|msvcrt)\.a", input_file):
        return "C runtime (start-up, libmingw32, libmingwex, msvcrt imports)"
    if re.search(r"lib\w+\.a\(", input_file):
        return "system DLL import tables and thunks"
    return "other"


def bytes_by_origin(map_text):
    """From a GNU ld link map: ({origin: bytes}, {C runtime object: bytes}), every input section
    the linker placed in an output section other than .bss, summed."""
    by_origin, by_object = {}, {}
    started, output, pending = False, None, None
    for line in map_text.splitlines():
        if line.startswith("Linker script and memory map"):
            started = True
        if not started:
            continue
        if re.match(r"^(\.\w+)\s+0x[0-9a-f]+\s+0x[0-9a-f]+", line):
            output = line.split()[0]
            continue
        if not output:
            continue
        if re.match(r"^ (\S+)\s*$", line):
            pending = line.strip()
            continue
        placed = re.match(r"^ \S+\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if not placed and pending is not None:
            placed = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        pending = None
        if not placed or output == ".bss":
            continue
        size, input_file = int(placed.group(1), 16), placed.group(2)
        if size == 0:
            continue
        where = origin(input_file)
        by_origin[where] = by_origin.get(where, 0) + size
        if where.startswith("C runtime"):
            short = input_file.rsplit("/", 1)[-1]
            short = re.sub(r"^lib\w+\.a\(lib64_lib\w+_a-(.*)\)$", r"\1", short)
            by_object[short] = by_object.get(short, 0) + size
    return by_origin, by_object


def imports(private_headers_text):
    """From `objdump -p`: [(DLL, [function, ...])] in the order of the import table."""
    dlls, current = [], None
    for line in private_headers_text.splitlines():
        if "DLL Name:" in line:
            current = []
            dlls.append((line.split()[-1], current))
            continue
        fields = line.split()
        if current is None:
            continue
        if not fields:
            current = None
        elif len(fields) == 3 and re.fullmatch(r"[0-9a-f]+", fields[0]):
            current.append(fields[2])
    return dlls
