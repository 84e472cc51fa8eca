"""bench/run's readings of tool output: strace, the driver's JSON, the machine and the commands it
runs, and the record file the measurements write."""

import contextlib
import io
import os
import shutil
import subprocess
import tempfile
import unittest

from vossimere_bench import machine, measure, table, trailer

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


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
        got = table.round_samples(records, "file", ("big.exe", "nsis.exe"),
                                  "private_peak_sampled", 4)
        # Round 2 failed on one side and round 4 never reported: both are errors of both, and
        # the values left are still those of rounds 1 and 3, in order.
        self.assertEqual(got["big.exe"].values, [1000, 900])
        self.assertEqual(got["nsis.exe"].values, [2000, 1800])
        self.assertEqual(len(got["big.exe"].errors), 2)
        self.assertEqual(got["nsis.exe"].errors, got["big.exe"].errors)

    def test_a_memory_run_that_ended_badly_is_an_error_of_each_program(self):
        records = [{"kind": "memory", "file": name, "round": 1, "ok": True,
                    "private_peak_sampled": 1000} for name in ("big.exe", "nsis.exe")]
        got = table.round_samples(records, "file", ("big.exe", "nsis.exe"),
                                  "private_peak_sampled", 1, returncode=1)
        self.assertEqual(got["big.exe"].values, [1000])
        self.assertEqual(got["nsis.exe"].errors,
                         ["every round reported, but the program ended with code 1"])

    # The driver's lines are escaped by the pack tool's JSON text: non-ASCII as \u, bytes that
    # are not UTF-8 shown as \xHH.
    @unittest.skipUnless(shutil.which("g++"), "g++ builds the driver's JSON writer for the host")
    def test_the_drivers_json_lines_are_what_the_reader_takes(self):
        program = r"""#include <limits>
            #include "bench/bench_protocol.h"
            int main() {
              JsonLine("copy").Bool("ok", true).Number("ms", 512.25)
                  .Number("never", std::numeric_limits<double>::quiet_NaN()).Whole("bytes", -1)
                  .Text("failure", "a \"box\"\\ said\n\x01 \xc3\xa9 \xff")
                  .Raw("b_report", "{\"ms\":3}").Print();
            }"""
        with tempfile.TemporaryDirectory() as folder:
            text = [os.path.join(TOP, "pack", "text", name)
                    for name in ("json_text.cpp", "utf.cpp")]
            subprocess.run(["g++", "-std=c++17", "-I", TOP, "-x", "c++", "-", "-x", "none", *text,
                            "-o", os.path.join(folder, "json")], input=program, text=True,
                           check=True)
            out = subprocess.run([os.path.join(folder, "json")], stdout=subprocess.PIPE,
                                 text=True, check=True).stdout
        [record] = machine.read_records(out)
        self.assertEqual(list(record),
                         ["kind", "ok", "ms", "never", "bytes", "failure", "b_report"])
        self.assertEqual(record, {"kind": "copy", "ok": True, "ms": 512.25, "never": None,
                                  "bytes": -1,
                                  "failure": 'a "box"\\ said\n\x01 \u00e9 \\xff',
                                  "b_report": {"ms": 3}})


class TheMachine(unittest.TestCase):
    def test_a_fact_is_read_after_its_name_and_colon(self):
        with tempfile.NamedTemporaryFile("w") as info:
            info.write("processor\t: 0\nmodel name\t: AMD EPYC\nMemTotal:       24000 kB\n")
            info.flush()
            self.assertEqual(machine.proc_line(info.name, "model name"), "AMD EPYC")
            self.assertEqual(machine.proc_line(info.name, "MemTotal"), "24000 kB")
            self.assertEqual(machine.proc_line(info.name, "flags"), "?")

    def test_a_command_that_fails_is_an_error_with_its_last_words(self):
        self.assertEqual(machine.run(["sh", "-c", "echo built"]), "built\n")
        with self.assertRaises(machine.BenchError) as raised:
            machine.run(["sh", "-c", "echo no cmake >&2; exit 3"])
        self.assertEqual(str(raised.exception), "sh -c echo no cmake >&2; exit 3 ended with code 3:"
                                                "\nno cmake")

    def test_a_timed_command_is_ok_only_when_it_ends_with_0(self):
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "out")
            good = machine.timed(["sh", "-c", "echo copied"], stdout_path=out)
            with open(out) as copied:
                self.assertEqual(copied.read(), "copied\n")
        self.assertTrue(good["ok"])
        self.assertGreater(good["ms"], 0)
        bad = machine.timed(["sh", "-c", "exit 2"])
        self.assertEqual((bad["ok"], bad["failure"]), (False, "sh ended with code 2"))


class TheRecordOfAMeasurement(unittest.TestCase):
    class Windows:
        def __init__(self, records, code):
            self.records, self.code, self.calls = records, code, []

        def driver(self, *args):
            self.calls.append(args)
            return self.records, self.code

    class Bench:
        tmp, runs = "/s/tmp", 1

    def test_pairs_after_an_untimed_one_are_written_with_their_end(self):
        bench = self.Bench()
        pair = {"kind": "pair", "pair": 1, "ok": True, "a_created_ms": 40.0}
        bench.windows = self.Windows([pair], 1)
        out = io.StringIO()
        with contextlib.redirect_stderr(io.StringIO()):  # its progress note
            measure.pairs(bench, measure.Recorder(out), "start-bare", ["/s/tiny.exe"],
                          ["/b/bare-starter.exe", "/s/extracted/setup.exe"], 4096, hold=True)
        sides = ("/s/tmp", "/s/tiny.exe", "/b/bare-starter.exe|/s/extracted/setup.exe", "--hold")
        # The untimed pair, then as many as the table declares for one run per timing.
        self.assertEqual(bench.windows.calls, [("pairs", 1, *sides), ("pairs", 8, *sides)])
        record = table.Record([{"kind": "machine", "runs": 1}] +
                              machine.read_records(out.getvalue()))
        self.assertEqual(record.of("start-bare", "pair"), [dict(pair, measure="start-bare")])
        self.assertEqual(record.finished("start-bare"), (1, 8))
        self.assertEqual(record.of("start-bare", "end")[0]["package_bytes"], 4096)


if __name__ == "__main__":
    unittest.main()
