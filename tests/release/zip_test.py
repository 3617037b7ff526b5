"""The release zip: its one folder and its entries, their checksums and the
zip's own beside it, the module it ships, and that packing is deterministic.

usage: zip_test.py --build BUILD_DIR   (the release target built first)
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "scripts", "release"))
from module_version import product_version  # noqa: E402
from make_zip import text_file  # noqa: E402

BUILD = os.path.join(TOP, "build")
MAKE_ZIP = os.path.join(TOP, "scripts", "release", "make_zip.py")


def run_make_zip(out, **env):
    return subprocess.run([sys.executable, MAKE_ZIP, "--build", BUILD, "--out", out], capture_output=True,
                          text=True, env={**os.environ, **env})


def make_zip(out, **env):
    done = run_make_zip(out, **env)
    if done.returncode != 0:
        raise AssertionError("make_zip failed: " + done.stderr)
    (name,) = [n for n in os.listdir(out) if n.endswith(".zip")]
    return os.path.join(out, name)


def fixed_version(data):
    """The product version in the module's fixed version record, found by its
    signature rather than through the resource directory."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "no fixed version record"
    ms, ls = struct.unpack_from("<II", data, at + 16)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


class ReleaseZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.zip_path = make_zip(os.path.join(cls.work.name, "first"))
        cls.zip = zipfile.ZipFile(cls.zip_path)
        cls.folder = os.path.basename(cls.zip_path)[:-len(".zip")] + "/"
        cls.names = cls.zip.namelist()

    @classmethod
    def tearDownClass(cls):
        cls.zip.close()
        cls.work.cleanup()

    def entry(self, name):
        """An entry's bytes, by its name within the release folder."""
        return self.zip.read(self.folder + name)

    def test_packing_twice_gives_the_same_bytes(self):
        again = make_zip(os.path.join(self.work.name, "second"))
        with open(self.zip_path, "rb") as a, open(again, "rb") as b:
            self.assertTrue(a.read() == b.read(), "two runs of make_zip differ")

    def test_it_holds_the_gauges_layout_guide_tools_and_checksums_in_order(self):
        guide = os.path.join(BUILD, "guide")
        guide_files = sorted("Guide/" + os.path.relpath(os.path.join(d, f), guide).replace(os.sep, "/")
                             for d, _, files in os.walk(guide) for f in files)
        expected = sorted(["Corvalenx-panel.cfg", "Gauges/Corvalenx.gau", "README.txt", "SHA256SUMS",
                           "Tools/panelhost.exe", "Tools/panelhost.txt"] + guide_files)
        # Everything in one folder named for the release: unpacked "here",
        # nothing spills into the folder around it.
        self.assertEqual(self.names, [self.folder + n for n in expected])
        self.assertIn("Guide/index.html", expected)
        self.assertIn("Guide/print.html", expected)
        self.assertEqual(len([n for n in expected if re.match(r"Guide/[a-z-]+\.html$", n)]), 10)

    def test_the_zips_checksum_lies_beside_it(self):
        with open(self.zip_path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        with open(self.zip_path + ".sha256", "rb") as f:
            self.assertEqual(f.read(), ("%s  %s\n" % (digest, os.path.basename(self.zip_path))).encode())

    def test_the_readme_carries_the_version_and_date(self):
        readme = self.entry("README.txt").decode()
        version = product_version(os.path.join(BUILD, "bin", "Corvalenx.gau"))
        (stamp,) = {i.date_time for i in self.zip.infolist()}
        self.assertIn("Version %s, built %04d-%02d-%02d." % ((version,) + stamp[:3]), readme)
        self.assertNotIn("{{", readme)

    def test_entries_carry_one_timestamp_and_no_host_attributes(self):
        infos = self.zip.infolist()
        self.assertEqual(len({i.date_time for i in infos}), 1)
        for i in infos:
            # MS-DOS, the archive attribute alone, no extra fields (Unix times, owners).
            self.assertEqual((i.create_system, i.external_attr, i.extra), (0, 0x20, b""), i.filename)
            self.assertEqual(i.compress_type, zipfile.ZIP_DEFLATED, i.filename)

    def test_the_timestamp_follows_source_date_epoch(self):
        path = make_zip(os.path.join(self.work.name, "epoch"), SOURCE_DATE_EPOCH="1700000001")
        with zipfile.ZipFile(path) as z:
            self.assertEqual({i.date_time for i in z.infolist()}, {(2023, 11, 14, 22, 13, 20)})

    def test_zip_dates_start_in_1980_and_a_time_that_is_none_is_named(self):
        path = make_zip(os.path.join(self.work.name, "epoch_zero"), SOURCE_DATE_EPOCH="0")
        with zipfile.ZipFile(path) as z:
            self.assertEqual({i.date_time for i in z.infolist()}, {(1980, 1, 1, 0, 0, 0)})
        for epoch, said in (("yesterday", 'SOURCE_DATE_EPOCH is "yesterday": it takes whole seconds since 1970'),
                            ("99999999999", "SOURCE_DATE_EPOCH is 99999999999: a zip date can be no later than 2107")):
            out = os.path.join(self.work.name, "epoch_" + epoch)
            done = run_make_zip(out, SOURCE_DATE_EPOCH=epoch)
            self.assertEqual((done.returncode, done.stderr.strip()), (1, "make_zip: " + said))
            self.assertEqual(os.listdir(out) if os.path.isdir(out) else [], [], "nothing is left")

    def test_checksums_cover_every_other_entry(self):
        listed = {}
        for line in self.entry("SHA256SUMS").decode().splitlines():
            digest, name = line.split("  ", 1)
            listed[name] = digest
        # Named within the folder, as they are checked from inside it.
        self.assertEqual(sorted(listed), [n[len(self.folder):] for n in self.names
                                          if n != self.folder + "SHA256SUMS"])
        for name, digest in listed.items():
            self.assertEqual(hashlib.sha256(self.entry(name)).hexdigest(), digest, name)

    def test_the_module_is_the_tested_file_without_a_symbol_table(self):
        shipped = self.entry("Gauges/Corvalenx.gau")
        with open(os.path.join(BUILD, "bin", "Corvalenx.gau"), "rb") as f:
            self.assertTrue(shipped == f.read(), "the zip's module is not build/bin/Corvalenx.gau")
        pe = struct.unpack_from("<I", shipped, 0x3C)[0]
        symbols_at, symbol_count = struct.unpack_from("<II", shipped, pe + 4 + 8)
        self.assertEqual((symbols_at, symbol_count), (0, 0))
        tool = self.entry("Tools/panelhost.exe")
        pe = struct.unpack_from("<I", tool, 0x3C)[0]
        self.assertEqual(struct.unpack_from("<III", tool, pe + 4 + 4), (0, 0, 0), "time stamp or symbols")

    def test_the_name_carries_the_modules_own_version(self):
        data = self.entry("Gauges/Corvalenx.gau")
        version = product_version(os.path.join(BUILD, "bin", "Corvalenx.gau"))
        self.assertEqual(os.path.basename(self.zip_path), "Corvalenx-%s.zip" % version)
        self.assertTrue((fixed_version(data) + ".").startswith(version + "."), fixed_version(data))

    def test_its_panelhost_tells_the_same_version(self):
        tool = os.path.join(self.work.name, "panelhost.exe")
        with open(tool, "wb") as f:
            f.write(self.entry("Tools/panelhost.exe"))
        done = subprocess.run(["sh", os.path.join(TOP, "cmake", "run-under-wine.sh"), os.path.join(BUILD, "wineprefix"),
                               tool, "--version"], capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        version = product_version(os.path.join(BUILD, "bin", "Corvalenx.gau"))
        self.assertEqual(done.stdout.strip(), "panelhost " + version)

    def test_texts_have_windows_line_ends(self):
        for name in ("Corvalenx-panel.cfg", "README.txt", "Tools/panelhost.txt"):
            text = self.entry(name)
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
            self.assertGreater(text.count(b"\r\n"), 5, name)
        # A checkout with CRLF already (git on Windows) gets no second CR.
        self.assertEqual(text_file(b"[Window00]\r\nsize_mm=1,2\ngauge00=x\r\n"),
                         b"[Window00]\r\nsize_mm=1,2\r\ngauge00=x\r\n")


if __name__ == "__main__":
    if "--build" in sys.argv:
        at = sys.argv.index("--build")
        BUILD = os.path.abspath(sys.argv[at + 1])
        del sys.argv[at:at + 2]
    unittest.main(verbosity=2)
