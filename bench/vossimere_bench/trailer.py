"""Where the reads of a launcher file fall, from strace's lines: the bytes the trailer search
reads, which must not grow with the file."""

import re


def trailer_reads(lines, path, layout):
    """Sorts the reads of `path` in strace -y lines by where they fall: inside the launcher's
    image, inside the two embedded files, or elsewhere (the trailer search); (bytes, reads) of
    each, and the count of reads through readv and its kin, which are not sorted."""
    image = layout["installer_offset"]  # the installer follows the stub at once
    embedded = [(layout[f"{name}_offset"], layout[f"{name}_offset"] + layout[f"{name}_size"])
                for name in ("installer", "package")]

    def kind(offset, length):
        if offset + length <= image:
            return "image"
        if any(start <= offset and offset + length <= end for start, end in embedded):
            return "embedded"
        return "search"

    total = {"image": 0, "embedded": 0, "search": 0}
    count, unparsed, position = dict(total), 0, {}
    for line in lines:
        if f"<{path}>" not in line:
            continue
        m = re.match(r"^lseek\((\d+)<.*= (\d+)$", line)
        if m:
            position[m.group(1)] = int(m.group(2))
            continue
        m = re.match(r"^read\((\d+)<.*, \d+\) = (\d+)$", line)
        if m:
            descriptor, got = m.group(1), int(m.group(2))
            offset = position.get(descriptor, 0)
            position[descriptor] = offset + got
        else:
            m = re.match(r"^pread64\((\d+)<.*, \d+, (\d+)\) = (\d+)$", line)
            if not m:
                unparsed += bool(re.match(r"^(readv|preadv2?)\(", line))
                continue
            offset, got = int(m.group(2)), int(m.group(3))
        if got > 0:
            where = kind(offset, got)
            total[where] += got
            count[where] += 1
    return {"bytes": total, "reads": count, "unparsed": unparsed}


def reads_figure(trace, returncode):
    """The record of the bytes read to find the trailer, worked out from a traced run's kept
    system calls (`trace`: the file's path, its layout and the strace lines naming it) and the
    traced run's exit code; what makes the figure untrustworthy is its failure."""
    reads = trailer_reads(trace["lines"], trace["path"], trace["layout"])
    errors = [why for failed, why in (
        (returncode != 0, f"the traced run ended with code {returncode}"),
        (reads["unparsed"], f"{reads['unparsed']} reads through readv or preadv, not counted"),
        (reads["bytes"]["search"] == 0, "no read of the trailer search was seen")) if failed]
    return dict(kind="value", search=reads["bytes"]["search"], image=reads["bytes"]["image"],
                embedded=reads["bytes"]["embedded"], reads=reads["reads"]["search"],
                trailer_offset=trace["layout"]["trailer_offset"], failure="; ".join(errors))
