"""What every section measures with: the settings, the builds, the disk, and the inputs (packages,
launcher files and NSIS files) written afresh into the scratch folder."""

import os
import shutil

from .machine import BenchError, Windows, make, note, run

MiB, GiB = 1048576, 1073741824

WINDOWS_TARGETS = ("Vossimere", "bare-message-box", "bare-copy", "bare-starter", "bare-window",
                   "bench-installer", "vossimere-bench")


class Bench:
    """The settings of a run and the paths of what it measures."""

    def __init__(self, top, environment):
        self.top = top
        self.runs = int(environment.get("VOSSIMERE_BENCH_RUNS", "5"))
        if self.runs < 1:
            raise BenchError("VOSSIMERE_BENCH_RUNS must be 1 or more")
        self.windows = Windows(os.path.join(top, environment.get(
            "VOSSIMERE_BENCH_WINDOWS_BUILD", "build/bench-windows")))
        self.host_build = os.path.join(top, environment.get("VOSSIMERE_BENCH_HOST_BUILD",
                                                            "build/bench-host"))
        self.scratch = environment.get("VOSSIMERE_BENCH_SCRATCH",
                                       os.path.join(top, "build/bench-scratch"))
        self.figures = environment.get("VOSSIMERE_BENCH_FIGURES",
                                       os.path.join(top, "build/bench-figures"))
        self.stub = os.path.join(self.windows.build, "Vossimere.exe")
        self.pack = os.path.join(self.host_build, "pack", "vossimere-pack")
        self.installer = self.path("setup.exe")
        self.tmp = self.path("tmp")
        self.tiny_package, self.big_package = 4096, GiB
        self.sparse_layout = None

    def path(self, name):
        return os.path.join(self.scratch, name)

    def program(self, name):
        """One of the bench's Windows programs."""
        return os.path.join(self.windows.bench, name)

    def prepare_machine(self):
        """Tools, disk and builds."""
        run([os.path.join(self.top, "scripts/install-deps")])
        if not all(shutil.which(tool) for tool in ("makensis", "gnuplot", "strace")):
            raise BenchError("makensis, gnuplot and strace are needed (scripts/install-deps"
                             " installs them)")
        parent = os.path.dirname(self.scratch.rstrip("/")) or "/"
        os.makedirs(parent, exist_ok=True)
        free = shutil.disk_usage(parent).free
        if free < 9 * GiB:
            raise BenchError(f"{free // MiB} MiB free for {self.scratch}, {9 * GiB // MiB} MiB"
                             " needed")
        note("building the launcher, the bench programs and the pack tool")
        make(self.windows.build, ["cmake", "--preset", "windows"], *WINDOWS_TARGETS)
        # The pack tool as a publisher builds it: optimised, without the host preset's sanitizers.
        release = ["cmake", "-S", self.top, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"]
        make(self.host_build, release, "vossimere-pack")
        shutil.rmtree(self.scratch, ignore_errors=True)
        for folder in (self.tmp, self.path("copy"), self.path("extracted")):
            os.makedirs(folder)
        os.makedirs(self.figures, exist_ok=True)

    def launcher(self, out, package, length=None):
        """Writes a launcher file with the bench installer and `package`; returns its layout."""
        records, _ = self.windows.driver("launcher", self.path(out), self.stub, self.installer,
                                         self.path(package), *([length] if length else []),
                                         check=True)
        layouts = [r for r in records if r.get("kind") == "layout"]
        if len(layouts) != 1:
            raise BenchError(f"the driver gave no layout of {out}")
        return layouts[0]

    def write_inputs(self):
        note("writing the inputs (packages of 4 KiB, 100 MiB and 1 GiB, five launcher files,"
             " five NSIS files)")
        shutil.copyfile(os.path.join(self.windows.bench, "bench-installer.exe"), self.installer)
        for name, size in (("tiny.msi", self.tiny_package), ("mid.msi", 100 * MiB),
                           ("big.msi", self.big_package)):
            self.windows.driver("package", self.path(name), size, check=True)
        folder = self.launcher("tiny.exe", "tiny.msi")["folder"]
        self.launcher("mid.exe", "mid.msi")
        self.launcher("big.exe", "big.msi")
        self.launcher("sparse-2MiB.exe", "tiny.msi", 2 * MiB)
        self.sparse_layout = self.launcher("sparse-1.9GiB.exe", "tiny.msi", 19 * GiB // 10)
        # The bare starter's installer, already extracted beside the same 4 KiB package.
        shutil.copyfile(self.installer, self.path("extracted/setup.exe"))
        shutil.copyfile(self.path("tiny.msi"), self.path("extracted/bench.msi"))
        # NSIS doing the launcher's job with the same two files under the same folder and file
        # names: as NSIS ships (its whole-file check on) and with that check off, both storing the
        # files as they are, and compressed (LZMA, solid), whose size alone is compared.
        for out, package, definitions in (
                ("nsis-shipped-tiny.exe", "tiny.msi", []),
                ("nsis-off-tiny.exe", "tiny.msi", ["-DCRC=off"]),
                ("nsis-lzma-tiny.exe", "tiny.msi", ["-DCOMPRESSOR=lzma"]),
                ("nsis-shipped-big.exe", "big.msi", []),
                ("nsis-off-big.exe", "big.msi", ["-DCRC=off"])):
            run(["makensis", "-V1", f"-DOUTFILE={self.path(out)}",
                 f"-DINSTALLER={self.installer}", f"-DPACKAGE={self.path(package)}",
                 f"-DFOLDER={folder}", *definitions,
                 os.path.join(self.top, "bench/nsis_peer.nsi")])

    def clean_up(self):
        self.windows.release_session()
        shutil.rmtree(self.scratch, ignore_errors=True)

