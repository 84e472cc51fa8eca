"""Where the reads of a launcher file fall, from strace's lines: the bytes the trailer search
reads, which must not grow with the file."""

import re


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
