"""make_zip.py on a small staging tree of its own, with no module build and
no Wine: the release folder every entry sits in, the zip's checksum file
beside it, the entries' order and timestamp, and the README's version and
date. (zip_test.py checks the zip of a real build.)

usage: make_zip_test.py
"""
import contextlib
import hashlib
import io
import os
import shutil
import sys
import tempfile
import unittest
import zipfile

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "scripts", "release"))
import make_zip  # noqa: E402

VERSION = "9.8.7"


def staging_tree(root):
    """A build tree and a guide with a few small files in each, and a copy of
    the package's texts."""
    for name in ("README.txt", "panelhost.txt", "Corvalenx-panel.cfg"):
        os.makedirs(os.path.join(root, "package"), exist_ok=True)
        shutil.copyfile(os.path.join(TOP, "package", name), os.path.join(root, "package", name))
    files = {
        "build/bin/Corvalenx.gau": b"MZ not really a module",
        "build/bin/panelhost.exe": b"MZ not really a program",
        "guide/index.html": b"<h1>Contents</h1>\n",
        "guide/airspeed.html": b"<h1>Airspeed</h1>\n",
        "guide/images/airspeed-1.png": b"\x89PNG\r\n\x1a\n",
        "guide/guide.css": b"body { margin: 0 }\n",
    }
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


class MakeZip(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="make-zip-test-")
        staging_tree(self.work)
        self.out = os.path.join(self.work, "dist")
        self.saved = make_zip.product_version, make_zip.TOP, os.environ.get("SOURCE_DATE_EPOCH")
        # The staged module carries no version resource: the version is given.
        make_zip.product_version = lambda path: VERSION
        make_zip.TOP = self.work
        os.environ["SOURCE_DATE_EPOCH"] = "1700000001"  # 2023-11-14 22:13:21

    def tearDown(self):
        make_zip.product_version, make_zip.TOP, epoch = self.saved
        if epoch is None:
            os.environ.pop("SOURCE_DATE_EPOCH", None)
        else:
            os.environ["SOURCE_DATE_EPOCH"] = epoch
        shutil.rmtree(self.work, ignore_errors=True)

    def run_make_zip(self):
        """main() as the command line runs it: (exit status, stdout, stderr)."""
        argv = sys.argv
        sys.argv = ["make_zip.py", "--build", os.path.join(self.work, "build"),
                    "--guide", os.path.join(self.work, "guide"), "--out", self.out]
        stdout, stderr = io.StringIO(), io.StringIO()
        status = 0
        try:
            with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr):
                make_zip.main()
        except SystemExit as e:
            status, message = 1, str(e.code)
            stderr.write(message)
        finally:
            sys.argv = argv
        return status, stdout.getvalue(), stderr.getvalue()

    def zip_path(self):
        return os.path.join(self.out, "Corvalenx-%s.zip" % VERSION)

    def test_everything_unpacks_into_one_folder_sorted_with_one_timestamp(self):
        status, _, stderr = self.run_make_zip()
        self.assertEqual(status, 0, stderr)
        folder = "Corvalenx-%s/" % VERSION
        with zipfile.ZipFile(self.zip_path()) as z:
            names = z.namelist()
            self.assertEqual(names, [folder + n for n in (
                "Corvalenx-panel.cfg", "Gauges/Corvalenx.gau", "Guide/airspeed.html", "Guide/guide.css",
                "Guide/images/airspeed-1.png", "Guide/index.html", "README.txt", "SHA256SUMS",
                "Tools/panelhost.exe", "Tools/panelhost.txt")])
            self.assertEqual({i.date_time for i in z.infolist()}, {(2023, 11, 14, 22, 13, 20)})
            # SHA256SUMS names the files within the folder, as a simmer
            # checks them from inside it.
            listed = dict(reversed(line.split("  ", 1)) for line in z.read(folder + "SHA256SUMS").decode().splitlines())
            self.assertEqual(sorted(listed), [n[len(folder):] for n in names if not n.endswith("SHA256SUMS")])
            for name, digest in listed.items():
                self.assertEqual(hashlib.sha256(z.read(folder + name)).hexdigest(), digest, name)
            readme = z.read(folder + "README.txt").decode()
        self.assertIn("Version 9.8.7, built 2023-11-14.", readme)
        self.assertNotIn("{{", readme)
        self.assertEqual(readme.count("\n"), readme.count("\r\n"))

    def test_the_zips_checksum_lies_beside_it_and_a_failed_run_leaves_no_stale_one(self):
        self.assertEqual(self.run_make_zip()[0], 0)
        with open(self.zip_path(), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        with open(self.zip_path() + ".sha256", "rb") as f:
            self.assertEqual(f.read(), ("%s  Corvalenx-%s.zip\n" % (digest, VERSION)).encode())
        self.assertEqual(sorted(os.listdir(self.out)), ["Corvalenx-9.8.7.zip", "Corvalenx-9.8.7.zip.sha256"])
        # The same tree again: the same bytes.
        with open(self.zip_path(), "rb") as f:
            first = f.read()
        self.assertEqual(self.run_make_zip()[0], 0)
        with open(self.zip_path(), "rb") as f:
            self.assertTrue(f.read() == first, "two runs differ")
        # A run that fails while packing (a README without the date to fill
        # in) is named, and leaves no checksum that may not match the zip.
        with open(os.path.join(self.work, "package", "README.txt"), "w") as f:
            f.write("Corvalenx Gauges\nVersion {{version}}\n")
        status, _, stderr = self.run_make_zip()
        self.assertEqual((status, stderr), (1, "make_zip: README.txt has no {{date}} for the release to fill in"))
        self.assertEqual(sorted(os.listdir(self.out)), ["Corvalenx-9.8.7.zip"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
