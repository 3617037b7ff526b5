#!/usr/bin/python3
"""add-window and remove-window as a simmer runs them, on files: what they
print, their exit statuses, the backups they leave, the file given back byte
for byte, and the files they refuse left as they were.

    panel_files_cli_test.py PANELHOST EXAMPLE.cfg
"""
import os
import stat
import subprocess
import sys
import tempfile

panelhost, example = sys.argv[1], sys.argv[2]
failures = []


def check(what, condition):
    if not condition:
        failures.append(what)


def run(*args):
    return subprocess.run([panelhost, *args], capture_output=True, text=True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


panel_text = (b"// the test aircraft\r\n[Window Titles]\r\nWindow00=Main Panel\r\n\r\n"
              b"[Window00]\r\nsize_mm=1024\r\ngauge00=Stock!Airspeed, 10, 20\r\n\r\n[Views]\r\nX=1\r\n")
with tempfile.TemporaryDirectory() as folder:
    panel = os.path.join(folder, "panel.cfg")
    with open(panel, "wb") as f:
        f.write(panel_text)

    dry = run("add-window", example, panel, "--dry-run")
    check("--dry-run exits 0", dry.returncode == 0)
    check("--dry-run names the window it would add", "[Window01]" in dry.stdout and "Corvalenx Gauges" in dry.stdout)
    check("--dry-run writes nothing", read(panel) == panel_text and os.listdir(folder) == ["panel.cfg"])

    added = run("add-window", example, panel)
    check("add-window exits 0", added.returncode == 0)
    check("add-window says what it added and where the backup is",
          'added [Window01] "Corvalenx Gauges" (8 gauges)' in added.stdout and "panel.cfg.bak" in added.stdout)
    check("the backup is the file as it was", read(panel + ".bak") == panel_text)
    merged = read(panel)
    check("the title line follows the last title", b"Window00=Main Panel\r\nWindow01=Corvalenx Gauges\r\n" in merged)
    check("the window goes after the last window, before [Views]",
          merged.index(b"[Window01]") < merged.index(b"[Views]") and merged.startswith(b"// the test aircraft\r\n"))
    check("no partial file is left", not [n for n in os.listdir(folder) if "partial" in n])

    again = run("add-window", example, panel)
    check("a second add-window changes nothing", again.returncode == 0 and "nothing changed" in again.stdout
          and read(panel) == merged and not os.path.exists(panel + ".bak1"))

    removed = run("remove-window", panel, "corvalenx gauges")
    check("remove-window exits 0", removed.returncode == 0)
    check("remove-window gives the file back byte for byte", read(panel) == panel_text)
    check("remove-window backs up the merged file, never over the first backup",
          read(panel + ".bak1") == merged and read(panel + ".bak") == panel_text)

    missing = run("remove-window", panel, "Nowhere")
    check("removing a window that is not there is refused naming its titles",
          missing.returncode == 1 and '"Main Panel"' in missing.stderr)

    aliased = os.path.join(folder, "aliased.cfg")
    with open(aliased, "wb") as f:
        f.write(b"[fltsim]\r\nalias=Other\\panel\r\n")
    refused = run("add-window", example, aliased)
    check("an aliased panel is refused naming what it aliases",
          refused.returncode == 1 and "only aliases" in refused.stderr and "Other" in refused.stderr)
    check("an aliased panel is left as it was, with no backup",
          read(aliased) == b"[fltsim]\r\nalias=Other\\panel\r\n" and not os.path.exists(aliased + ".bak"))

    os.chmod(panel, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    read_only = run("add-window", example, panel)
    check("a read-only panel file is refused", read_only.returncode == 1 and "panel.cfg" in read_only.stderr)
    check("a read-only panel file is left as it was, with no new backup",
          read(panel) == panel_text and not os.path.exists(panel + ".bak2"))

if failures:
    print("\n".join("FAILED: " + f for f in failures))
    sys.exit(1)
print("add-window and remove-window: every check held")
