"""bench/run's readings of tool output: objdump, the link map, strace and the driver's JSON."""

import unittest

from vossimere_bench import image, machine, memory, trailer

HEADERS = """
Sections:
Idx Name          Size      VMA               LMA               File off  Algn
  0 .text         00001fc0  0000000140001000  0000000140001000  00000400  2**4
                  CONTENTS, ALLOC, LOAD, READONLY, CODE
  1 .bss          000002a0  0000000140003000  0000000140003000  00000000  2**4
                  ALLOC
  2 .rsrc         000011b8  0000000140004000  0000000140004000  00002400  2**2
"""

IMPORTS = """
\tDLL Name: KERNEL32.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t75c2\t  141  CloseHandle
\t75d0\t  195  CreateDirectoryW

\tDLL Name: msvcrt.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t7600\t   12  memcpy

 0000703c\t00007208 00000000 00000000 00007a98 00007438
"""

LINK_MAP = """Archive member included
 .text 0x1 0x2 not placed
Linker script and memory map

.text           0x0000000140001000     0x1fc0
 .text          0x0000000140001000      0x100 shell/CMakeFiles/Vossimere.dir/entry_win32.cpp.obj
 .text.unlikely
                0x0000000140001100       0x40 /usr/lib/gcc/x86_64-w64-mingw32/12-win32/libgcc.a(_chkstk_ms.o)
 .text          0x0000000140001140       0x20 /usr/x86_64-w64-mingw32/lib/libmingw32.a(lib64_libmingw32_a-crtexewin.o)
 .text          0x0000000140001160        0x0 /usr/x86_64-w64-mingw32/lib/libkernel32.a(d000012.o)
.bss            0x0000000140003000      0x2a0
 .bss           0x0000000140003000      0x2a0 shell/CMakeFiles/Vossimere.dir/entry_win32.cpp.obj
.rsrc           0x0000000140004000     0x11b8
 .rsrc          0x0000000140004000     0x11b8 shell/CMakeFiles/Vossimere.dir/__/resources/vossimere.rc.res
"""


class ImageReadings(unittest.TestCase):
    def test_a_section_fills_the_file_to_the_next_one_and_bss_takes_none(self):
        self.assertEqual(image.section_sizes(HEADERS, 14336),
                         [("headers", 1024, None), (".text", 8192, 0x1fc0), (".bss", 0, 0x2a0),
                          (".rsrc", 5120, 0x11b8)])

    def test_imports_by_dll_in_table_order(self):
        self.assertEqual(image.imports(IMPORTS), [("KERNEL32.dll", ["CloseHandle",
                                                                    "CreateDirectoryW"]),
                                                  ("msvcrt.dll", ["memcpy"])])

    def test_link_map_bytes_by_origin_without_bss_and_empty_sections(self):
        by_origin, by_object = image.bytes_by_origin(LINK_MAP)
        self.assertEqual(by_origin, {
            "the program's own code and data": 0x100,
            "compiler support (libgcc: the stack probe)": 0x40,
            "C runtime (start-up, libmingw32, libmingwex, msvcrt imports)": 0x20,
            "resources (.rsrc)": 0x11b8})
        self.assertEqual(by_object, {"crtexewin.o": 0x20})


class TrailerReads(unittest.TestCase):
    LAYOUT = {"stub": 20000, "installer_offset": 20000, "installer_size": 1000,
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
        self.assertEqual((reads["largest"], reads["largest_at"]), (65536, 2039934976))
        self.assertEqual(reads["maps"], [(8192, 0)])
        self.assertEqual(reads["unparsed"], 1)


class DriverOutput(unittest.TestCase):
    def test_json_lines_are_read_and_other_lines_left_out(self):
        text = ('{"kind":"copy","ok":true,"ms":512.250,"processor_ms":480}\r\n'
                'fixme:ntdll:something\n'
                '{"kind":"copy","ok":tru\n')
        self.assertEqual(machine.read_records(text), [
            {"kind": "copy", "ok": True, "ms": 512.25, "processor_ms": 480},
            {"kind": "unreadable", "text": '{"kind":"copy","ok":tru'}])

    def test_memory_ratios_by_round_and_a_failed_round(self):
        def run(file, round_number, peak, ok=True):
            return {"kind": "memory", "file": file, "round": round_number, "ok": ok,
                    "private_peak_sampled": peak}
        records = [run("big.exe", 1, 1000), run("nsis.exe", 1, 2000),
                   run("big.exe", 2, 1100, ok=False), run("nsis.exe", 2, 2000)]
        ratios = memory.round_ratios(records, "private_peak_sampled", "big.exe", "nsis.exe", 3)
        self.assertEqual(ratios.values, [0.5])
        self.assertEqual(len(ratios.errors), 2)  # round 2 failed, round 3 never reported

    def test_mapping_differences_largest_first(self):
        records = [{"kind": "mapping", "file": "a", "round": 1, "anonymous": 300, "name": "heap"},
                   {"kind": "mapping", "file": "b", "round": 1, "anonymous": 100, "name": "heap"},
                   {"kind": "mapping", "file": "b", "round": 1, "anonymous": 50, "name": "stack"},
                   {"kind": "mapping", "file": "a", "round": 1, "anonymous": 9, "name": "same"},
                   {"kind": "mapping", "file": "b", "round": 1, "anonymous": 9, "name": "same"},
                   {"kind": "mapping", "file": "a", "round": 2, "anonymous": 999, "name": "x"}]
        self.assertEqual(memory.mapping_differences(records, "a", "b"),
                         [(200, "heap"), (-50, "stack")])


if __name__ == "__main__":
    unittest.main()
