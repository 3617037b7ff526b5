"""The pilot's guide refuses pages that would drift from the module: a tag
misspelt (left in the page, where a browser shows nothing) and a parts list
of the wrong length each stop make_guide with the page named.

usage: guide_errors_test.py MODULE PANELHOST_EXE
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MODULE = PANELHOST_EXE = None


def make_guide(docs, out):
    return subprocess.run([sys.executable, os.path.join(TOP, "scripts", "release", "make_guide.py"),
                           "--module", MODULE, "--panelhost", "sh " + os.path.join(TOP, "host", "panelhost"),
                           "--docs", docs, "--layout", os.path.join(TOP, "package", "Corvalenx-panel.cfg"),
                           "--out", out],
                          capture_output=True, text=True, env={**os.environ, "PANELHOST_EXE": PANELHOST_EXE})


class GuideErrors(unittest.TestCase):
    def guide_with(self, page, old, new):
        """make_guide over the hand-written pages with `old` replaced by `new` in `page`."""
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        docs = os.path.join(work.name, "docs")
        shutil.copytree(os.path.join(TOP, "docs", "guide"), docs)
        path = os.path.join(docs, page)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))
        return make_guide(docs, os.path.join(work.name, "guide"))

    def test_a_misspelt_tag_is_named(self):
        done = self.guide_with("airspeed.html", "<gauge-facts></gauge-facts>", "<gauge-fact></gauge-fact>")
        self.assertEqual(done.returncode, 1, done.stdout)
        self.assertIn("make_guide: airspeed.html: unknown tag <gauge-fact", done.stderr)

    def test_parts_must_name_every_element(self):
        done = self.guide_with("airspeed.html", "<gauge-facts></gauge-facts>",
                               '<gauge-facts parts="the face; the needle; the pointer"></gauge-facts>')
        self.assertEqual(done.returncode, 1, done.stdout)
        self.assertRegex(done.stderr, r"make_guide: Airspeed: parts names 3 elements; the module's gauge has [0-9]+")


if __name__ == "__main__":
    MODULE, PANELHOST_EXE = sys.argv[1:3]
    del sys.argv[1:3]
    unittest.main(verbosity=2)
