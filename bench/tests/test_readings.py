"""bench/run's readings of tool output: strace and the driver's JSON."""

import unittest

from vossimere_bench import machine, table, trailer

class TrailerReads(unittest.TestCase):
    LAYOUT = {"installer_offset": 20000, "installer_size": 1000,
              "package_offset": 21008, "package_size": 4096, "trailer_offset": 2039999872}

    def test_reads_are_told_apart_by_where_they_fall(self):
        path = "/s/big.exe"
        lines = [
            'read(5</s/big.exe>, "MZ"..., 4096) = 4096',             # the image, at 0
            'lseek(5</s/big.exe>, 20000, SEEK_SET) = 20000',
            'read(5</s/big.exe>, ""..., 1000) = 1000',               # the installer
            'pread64(5</s/big.exe>, ""..., 65536, 2039934976) = 65536',  # the search
            'pread64(5</s/big.exe>, ""..., 4096, 2040000000) = 4096',
            'pread64(6</s/other.exe>, ""..., 4096, 2040000000) = 4096',  # another file
            'mmap(NULL, 8192, PROT_READ, MAP_PRIVATE, 5</s/big.exe>, 0) = 0x7f00',
            'readv(5</s/big.exe>, [...], 2) = 10',
        ]
        reads = trailer.trailer_reads(lines, path, self.LAYOUT)
        self.assertEqual(reads["bytes"], {"image": 4096, "embedded": 1000, "search": 69632})
        self.assertEqual(reads["reads"], {"image": 1, "embedded": 1, "search": 2})
        self.assertEqual(reads["unparsed"], 1)


class DriverOutput(unittest.TestCase):
    def test_json_lines_are_read_and_other_lines_left_out(self):
        text = ('{"kind":"copy","ok":true,"ms":512.250,"processor_ms":480}\r\n'
                'fixme:ntdll:something\n'
                '{"kind":"copy","ok":tru\n')
        self.assertEqual(machine.read_records(text), [
            {"kind": "copy", "ok": True, "ms": 512.25, "processor_ms": 480},
            {"kind": "unreadable", "text": '{"kind":"copy","ok":tru'}])

    def test_rounds_stay_paired_and_a_failed_round_is_an_error_of_each(self):
        def run(file, round_number, peak, ok=True):
            return {"kind": "memory", "file": file, "round": round_number, "ok": ok,
                    "private_peak_sampled": peak}
        records = [run("big.exe", 1, 1000), run("nsis.exe", 1, 2000),
                   run("big.exe", 2, 1100, ok=False), run("nsis.exe", 2, 2000),
                   run("nsis.exe", 3, 1800), run("big.exe", 3, 900)]
        got = table.round_figures(records, "file", ("big.exe", "nsis.exe"),
                                  "private_peak_sampled", 4)
        # Round 2 failed on one side and round 4 never reported: both are errors of both, and
        # the values left are still those of rounds 1 and 3, in order.
        self.assertEqual(got["big.exe"].values, [1000, 900])
        self.assertEqual(got["nsis.exe"].values, [2000, 1800])
        self.assertEqual(len(got["big.exe"].errors), 2)
        self.assertEqual(got["nsis.exe"].errors, got["big.exe"].errors)


if __name__ == "__main__":
    unittest.main()
