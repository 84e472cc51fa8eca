"""The arithmetic every figure of bench/run goes through."""

import copy
import glob
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from unittest import mock

from vossimere_bench import figures as f
from vossimere_bench import table

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))


def read_lines(path):
    with open(path) as lines:
        return [json.loads(line) for line in lines if line.strip()]


class MedianAndMiddleHalf(unittest.TestCase):
    def test_an_odd_count_gives_the_middle_value(self):
        self.assertEqual(f.median([5.0, 1.0, 3.0]), 3.0)
        self.assertEqual(f.spread([5.0, 1.0, 3.0]), (1.0, 2.0, 3.0, 4.0, 5.0))

    def test_an_even_count_gives_the_mean_of_the_two_middle_values(self):
        self.assertEqual(f.median([4.0, 1.0, 3.0, 2.0]), 2.5)
        # Quartiles at positions (n - 1) * p of the sorted values, interpolated: 0.75 and 2.25.
        self.assertEqual(f.spread([4.0, 1.0, 3.0, 2.0]), (1.0, 1.75, 2.5, 3.25, 4.0))

    def test_the_median_lies_midway_between_the_two_middle_values(self):
        self.assertEqual(f.median([0.1, 0.3]), 0.2)
        self.assertEqual(f.median([1, 2, 10, 11]), 6.0)

    def test_one_value_and_none(self):
        self.assertEqual(f.spread([7.0]), (7.0, 7.0, 7.0, 7.0, 7.0))
        self.assertIsNone(f.median([]))
        self.assertIsNone(f.spread([]))

    def test_the_table_gives_median_middle_half_and_range(self):
        self.assertEqual(f.spread_text([1.0, 2.0, 3.0, 4.0, 5.0]),
                         "3.00 (2.00 to 4.00; 1.00 to 5.00)")
        self.assertEqual(f.spread_text([0.9, 1.1], 3), "1.000 (0.950 to 1.050; 0.900 to 1.100)")
        self.assertEqual(f.spread_text([]), "-")


class PairsThatTakeTurns(unittest.TestCase):
    def test_each_pair_gives_its_own_ratio(self):
        ratios = f.pair_ratios(f.Sample([30.0, 90.0, 33.0]), f.Sample([30.0, 85.0, 30.0]))
        self.assertEqual([round(r, 4) for r in ratios.values], [1.0, 1.0588, 1.1])
        # The median of the pairs' ratios, not the ratio of the medians (33 / 30).
        self.assertAlmostEqual(ratios.median(), 1.0588, places=4)

    def test_a_failed_pair_is_an_error_of_the_ratio(self):
        ratios = f.pair_ratios(f.Sample([30.0], ["pair 2 failed"]),
                               f.Sample([31.0], ["pair 2 failed"]))
        self.assertEqual(ratios.errors, ["pair 2 failed"])
        self.assertEqual(ratios.runs, 2)

    def test_a_pair_with_a_time_of_zero_is_an_error_not_a_division(self):
        ratios = f.pair_ratios(f.Sample([1.0]), f.Sample([0.0]))
        self.assertEqual(ratios.values, [])
        self.assertEqual(len(ratios.errors), 1)

    def test_figures_of_different_pairs_are_refused(self):
        with self.assertRaises(ValueError):
            f.pair_ratios(f.Sample([1.0, 2.0]), f.Sample([1.0]))


class RecordsOfAMeasuringProgram(unittest.TestCase):
    PAIR = {"kind": "pair", "ok": True, "launcher_created_ms": 40.0,
            "starter_created_ms": 36.0}

    def test_good_records_fill_every_field(self):
        records = [dict(self.PAIR, pair=1), dict(self.PAIR, pair=2, launcher_created_ms=44.0),
                   {"kind": "marks", "pair": 1}]
        got = f.samples(records, "pair", 2, ("launcher_created_ms", "starter_created_ms"))
        self.assertEqual(got["launcher_created_ms"].values, [40.0, 44.0])
        self.assertEqual(got["starter_created_ms"].values, [36.0, 36.0])
        self.assertEqual(got["launcher_created_ms"].errors, [])

    def test_a_failed_run_stays_in_the_figure_as_its_error(self):
        records = [dict(self.PAIR), dict(self.PAIR, ok=False, failure="no installer started"),
                   dict(self.PAIR)]
        got = f.samples(records, "pair", 3, ("launcher_created_ms",),
                       returncode=1)["launcher_created_ms"]
        self.assertEqual(got.values, [40.0, 40.0])
        self.assertEqual(got.errors, ["pair 2 failed: no installer started"])
        self.assertEqual(got.runs, 3)
        # Its median alone would meet the goal; the figure is an error all the same.
        self.assertTrue(f.verdict(got.median(), f.Goal(50.0), got.errors).startswith("ERROR"))

    def test_runs_that_never_reported_are_errors(self):
        got = f.samples([dict(self.PAIR)], "pair", 3, ("launcher_created_ms",),
                       returncode=3)["launcher_created_ms"]
        self.assertEqual(got.errors, ["pair 2 never reported (the program ended with code 3)",
                                      "pair 3 never reported (the program ended with code 3)"])

    def test_a_wrong_exit_code_is_an_error_even_when_every_run_reported(self):
        got = f.samples([dict(self.PAIR)], "pair", 1, ("launcher_created_ms",),
                       returncode=1)["launcher_created_ms"]
        self.assertEqual(got.values, [40.0])
        self.assertEqual(len(got.errors), 1)

    def test_a_good_record_without_a_number_is_an_error(self):
        got = f.samples([dict(self.PAIR, launcher_created_ms=None)], "pair", 1,
                       ("launcher_created_ms",))["launcher_created_ms"]
        self.assertEqual(got.values, [])
        self.assertEqual(len(got.errors), 1)

    def test_a_further_condition_decides_which_records_are_good(self):
        records = [{"kind": "pair", "ok": True, "bare_ms": 500.0, "package_bytes": 4096},
                   {"kind": "pair", "ok": True, "bare_ms": 510.0, "package_bytes": 1}]
        got = f.samples(records, "pair", 2, ("bare_ms",),
                       good=lambda r: r["ok"] and r["package_bytes"] == 4096)["bare_ms"]
        self.assertEqual(got.values, [500.0])
        self.assertEqual(len(got.errors), 1)


class Verdicts(unittest.TestCase):
    def test_at_most_and_at_least_hold_at_the_limit(self):
        self.assertEqual(f.verdict(1.10, f.Goal(1.10)), "met")
        self.assertEqual(f.verdict(1.1001, f.Goal(1.10)), "MISSED")
        self.assertEqual(f.verdict(0.95, f.Goal(0.95, at_least=True)), "met")
        self.assertEqual(f.verdict(0.9499, f.Goal(0.95, at_least=True)), "MISSED")

    def test_a_figure_without_a_value_is_an_error(self):
        self.assertEqual(f.verdict(None, f.Goal(1.0)), "ERROR (no figure)")
        self.assertEqual(f.verdict(0.5, f.Goal(1.0), ["run 1 failed"]),
                         "ERROR (1 failed: run 1 failed)")

    def test_goal_text(self):
        self.assertEqual(f.Goal(0.9).text, "at most 0.90")
        self.assertEqual(f.Goal(0.95, at_least=True).text, "at least 0.95")

    def test_goals_in_bytes_and_differences_say_their_unit(self):
        self.assertEqual(f.Goal(20480, unit="bytes").text, "at most 20,480 bytes")
        self.assertEqual(f.Goal(2097152, unit="bytes", kind="more").text,
                         "at most 2,097,152 bytes more")
        self.assertEqual(f.Goal(65536, unit="bytes", kind="apart").text,
                         "differ by at most 65,536 bytes")
        self.assertEqual(f.verdict(65536, f.Goal(65536, unit="bytes", kind="apart")), "met")


class FiguresAsText(unittest.TestCase):
    def test_bytes_ratios_and_missing_figures(self):
        self.assertEqual(f.byte_count(20480), "20,480")
        self.assertEqual(f.byte_count(2097152.5), "2,097,152")
        self.assertEqual(f.ratio(1, 3), "0.33")
        self.assertEqual(f.ratio(None, 3), "-")
        self.assertEqual(f.ratio(1, 0), "-")
        self.assertEqual(f.number(None), "-")


class ReportOfARecordedRun(unittest.TestCase):
    """The report of bench/tests/record.jsonl, a run of bench/run with VOSSIMERE_BENCH_RUNS=1."""

    def setUp(self):
        self.lines = read_lines(os.path.join(HERE, "record.jsonl"))

    def report(self, lines=None):
        return table.report(table.Record(lines if lines is not None else self.lines))

    def row(self, rows, start):
        [row] = [r for r in rows if r.startswith("| " + start)]
        return [cell.strip() for cell in row.strip("|").split("|")]

    def pairs(self, measure):
        return [r for r in self.lines if r.get("measure") == measure and r["kind"] == "pair"]

    def test_every_declared_figure_gives_one_row_and_one_line_with_its_goal(self):
        lines, rows, series, _, _ = self.report()
        self.assertEqual(len(rows), 2 + len(table.TABLE))
        for c, row in zip(table.TABLE, rows[2:]):
            cells = [cell.strip() for cell in row.strip("|").split("|")]
            self.assertEqual(cells[0], c.title(1))
            self.assertEqual(cells[1], "(information)" if c.information else c.goal.text)
            # An information row is judged by no goal, in its line as in its row.
            line = next(line for line in lines if line.startswith(c.title(1) + ":"))
            self.assertEqual("(goal " in line, not c.information, line)
            self.assertEqual(line.endswith("(information) -"), c.information, line)
        self.assertEqual([name for name, _, _ in series],
                         [c.series for c in table.TABLE if c.series])

    def test_a_pair_ratio_is_the_median_of_each_pairs_own_ratio(self):
        _, rows, series, starts, _ = self.report()
        pairs = self.pairs("start-bare")
        ratios = [p["a_created_ms"] / p["b_created_ms"] for p in pairs]
        cells = self.row(rows, "Start to the installer's creation, 4 KiB package, over the bare")
        self.assertEqual(cells[5], f.spread_text(ratios))
        self.assertEqual(cells[2], f"{f.median([p['a_created_ms'] for p in pairs]):.3f} ms")
        self.assertEqual(cells[6], "met" if f.median(ratios) <= 1.10 else "MISSED")
        self.assertEqual(series[0], ("start / bare starter", "1.100", ratios))
        self.assertEqual(starts[:len(pairs)],
                         [(1, p["b_created_ms"], p["a_created_ms"]) for p in pairs])

    def test_the_extraction_is_a_throughput_drawn_as_a_ratio_of_times(self):
        _, rows, series, _, _ = self.report()
        tiny = f.median([p["a_created_ms"] for p in self.pairs("start-bare")])
        pairs = self.pairs("extraction")
        throughput = [p["b_report"]["ms"] / (p["a_created_ms"] - tiny) for p in pairs]
        cells = self.row(rows, "Extraction throughput")
        self.assertEqual(cells[5], f.spread_text(throughput))
        [drawn] = [s for s in series if s[0] == "extraction / bare copy"]
        self.assertEqual(drawn[1], "1.053")  # at least 0.95 as a throughput
        self.assertEqual([round(r, 9) for r in drawn[2]], [round(1 / t, 9) for t in throughput])

    def test_a_figure_newer_than_the_record_is_not_measured_and_then_paired(self):
        # This record is older than the inspect figure: not measured, and no error of the run.
        _, rows, _, _, errors = self.report()
        cells = self.row(rows, "vossimere-pack inspect of a 1 GiB launcher file")
        self.assertEqual(cells[2:], ["-", "-", "-", "-", "not measured"])
        self.assertEqual(errors, 0)
        # With its rounds (one inspect and one sha256sum a round), paired round by round.
        ends = [r for r in self.lines if r.get("measure") == "pack" and r["kind"] == "end"]
        rounds = ends[-1]["expected"]
        runs = [{"kind": "run", "measure": "pack", "way": way, "round": n, "ok": True,
                 "failure": "", "ms": ms * n} for n in range(1, rounds + 1)
                for way, ms in (("inspect", 120.0), ("sha256sum", 100.0))]
        _, rows, _, _, _ = self.report(self.lines + runs)
        cells = self.row(rows, "vossimere-pack inspect of a 1 GiB launcher file")
        self.assertEqual(cells[3], f"{f.number(100.0 * f.median(range(1, rounds + 1)))} ms"
                                   " (sha256sum)")
        self.assertEqual(cells[5], f.spread_text([1.2] * rounds))
        self.assertEqual(cells[6], "met")
        # A round of it that failed is an error like any other figure's.
        runs[0].update(ok=False, failure="vossimere-pack ended with code 2")
        _, rows, _, _, errors = self.report(self.lines + runs)
        self.assertTrue(self.row(rows, "vossimere-pack inspect of")[6].startswith("ERROR"))
        self.assertGreaterEqual(errors, 1)

    def test_a_figure_does_not_hang_on_the_order_of_the_rows(self):
        _, rows, _, _, _ = self.report()
        with mock.patch.object(table, "TABLE", tuple(reversed(table.TABLE))):
            _, reordered, _, _, _ = self.report()
        self.assertEqual(reordered[2:], list(reversed(rows[2:])))

    def test_the_bytes_read_to_find_the_trailer_are_worked_out_from_the_kept_calls(self):
        layout = {"installer_offset": 20992, "installer_size": 16896, "package_offset": 37888,
                  "package_size": 4096, "trailer_offset": 2040109184}
        path = "/s/sparse-1.9GiB.exe"
        calls = [f'read(7<{path}>, "MZ"..., 4096) = 4096',
                 f'pread64(7<{path}>, ""..., 131010, 2039978368) = 131010',
                 f'pread64(7<{path}>, ""..., 4096, 37888) = 4096']
        trace = {"kind": "strace", "measure": "trailer-reads", "path": path, "layout": layout}
        kept = [r for r in self.lines if not (r.get("measure") == "trailer-reads" and
                                              r["kind"] == "value")]
        title = "Bytes read to find the trailer"

        def reported(lines, returncode=0):
            lines = copy.deepcopy(lines)
            for r in lines:
                if r.get("measure") == "trailer-reads" and r["kind"] == "end":
                    r["returncode"] = returncode
            return self.row(self.report(lines)[1], title)

        # The calls give the figure the old record held as a number.
        self.assertEqual(reported(kept + [dict(trace, lines=calls)]),
                         self.row(self.report()[1], title))
        more = reported(kept + [dict(trace, lines=calls + [calls[1]])])
        self.assertEqual(more[2], "262,020 bytes")
        self.assertEqual(more[6], "MISSED")
        unread = reported(kept + [dict(trace, lines=calls[:1] + [
            f"readv(7<{path}>, [...], 2) = 10"])], returncode=1)
        self.assertEqual(unread[6], "ERROR (1 failed: the traced run ended with code 1;"
                                    " 1 reads through readv or preadv, not counted;"
                                    " no read of the trailer search was seen)")

    def test_a_failed_pair_makes_its_figure_an_error_and_the_run_fail(self):
        lines = copy.deepcopy(self.lines)
        pair = next(r for r in lines if r.get("measure") == "run-nsis-off" and r["kind"] == "pair")
        pair.update(ok=False, b_failure="NSIS Error")
        _, rows, _, _, errors = self.report(lines)
        self.assertEqual(errors, 1)
        self.assertEqual(self.row(rows, "Whole run, 1 GiB package, over NSIS, check off")[6],
                         "ERROR (1 failed: pair 1 failed: NSIS Error)")

    def test_a_measurement_cut_short_is_an_error_of_the_pairs_never_reported(self):
        lines = [r for r in self.lines if not (r.get("measure") == "start-nsis-shipped" and
                                               r["kind"] == "pair" and r["pair"] > 6)]
        _, rows, _, _, errors = self.report(lines)
        self.assertEqual(errors, 1)
        self.assertIn("pair 7 never reported",
                      self.row(rows, "Start to the installer's creation, 4 KiB package, over NSIS"
                               " as shipped")[6])

    def test_a_wrong_package_size_is_a_failed_pair(self):
        lines = copy.deepcopy(self.lines)
        pair = next(r for r in lines if r.get("measure") == "run-nsis-shipped" and
                    r["kind"] == "pair")
        pair["a_package_bytes"] = 4096
        self.assertEqual(self.report(lines)[4], 1)


class TheRecordBehindThePublishedTable(unittest.TestCase):
    """docs/performance.md's table is the one bench/run --from prints of the record it names."""

    def published(self):
        with open(os.path.join(TOP, "docs", "performance.md")) as page:
            text = page.read()
        record = re.search(r"\(record: `(docs/[\w.-]+\.jsonl)`\)", text).group(1)
        rows = [line for line in text.splitlines() if line.startswith("|")]
        return os.path.join(TOP, record), rows[:len(table.TABLE) + 2]

    def test_the_table_is_the_records_own(self):
        record, rows = self.published()
        self.assertEqual(table.report(table.Record(read_lines(record)))[1], rows)

    def test_every_kept_record_is_still_read(self):
        records = glob.glob(os.path.join(TOP, "docs", "performance-record*.jsonl"))
        self.assertGreater(len(records), 0)
        for path in records + [os.path.join(HERE, "record.jsonl")]:
            _, rows, _, _, _ = table.report(table.Record(read_lines(path)))
            self.assertEqual(len(rows), len(table.TABLE) + 2, path)
            [trailer] = [r for r in rows if r.startswith("| Bytes read to find the trailer")]
            self.assertIn("131,010 bytes", trailer, path)

    def test_a_file_that_is_no_record_is_refused(self):
        with tempfile.NamedTemporaryFile("w", suffix=".jsonl") as other:
            other.write('{"kind": "pair"}\n{"cut off')
            other.flush()
            out = subprocess.run([os.path.join(TOP, "bench", "run"), "--from", other.name],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(out.returncode, 1)
        self.assertIn("is no record file of bench/run", out.stderr)
        self.assertEqual(out.stdout, "")

    @unittest.skipUnless(shutil.which("gnuplot"), "gnuplot draws the picture")
    def test_bench_run_from_the_record_reprints_it(self):
        record, rows = self.published()
        with tempfile.TemporaryDirectory() as figures:
            out = subprocess.run([os.path.join(TOP, "bench", "run"), "--from", record],
                                 env=dict(os.environ, VOSSIMERE_BENCH_FIGURES=figures),
                                 stdout=subprocess.PIPE, text=True)
            self.assertTrue(os.path.isfile(os.path.join(figures, "pairs.png")))
        printed = [line for line in out.stdout.splitlines() if line.startswith("|")]
        self.assertEqual(printed, rows)


if __name__ == "__main__":
    unittest.main()
