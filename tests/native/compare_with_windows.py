#!/usr/bin/env python3
"""Runs the native panelhost and the Windows one (under Wine) on the same
command lines and checks that they print the same: stdout, stderr and exit
status, and the same bytes in any picture they write. The Windows C
runtime ends lines with CR LF on its text streams; those are read as LF.
Where a message carries the system's own reason (a module that cannot be
opened), the reason itself is left out of the comparison.

Skipped (exit status 77) where this machine cannot run 32-bit programs.

compare_with_windows.py --native PANELHOST --windows PANELHOST.EXE --top TOP
                        --modules DIR --pictures DIR --work DIR
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

SKIPPED = 77

# Each case: the arguments, with {corvalenx}, {modules}, {pictures} and
# {top} filled in, and the pictures it writes (relative to its folder).
CASES = [
    ("check {corvalenx}", []),
    ("check {corvalenx} --format json", []),
    ("check {corvalenx} --format junit", []),
    ("check {modules}/fixture_child_cycle.gau", []),
    ("check {modules}/fixture_child_cycle.gau --format json", []),
    ("check {modules}/fixture_child_cycle.gau --format junit", []),
    ("check {modules}/fixture_duplicate_name.gau", []),
    ("check {modules}/fixture_far_mouse_box.gau --format json", []),
    ("check {modules}/fixture_missing_bitmap.gau", []),
    ("check {modules}/fixture_unterminated_list.gau --format junit", []),
    ("check no_such.gau", []),
    ("check .", []),
    ("check {corvalenx} --colour=red", []),
    ("check {corvalenx} --timeout 0", []),
    ("describe {corvalenx}", []),
    ("describe {corvalenx} --format json", []),
    ("describe {corvalenx} Direction_Finder", []),
    ("describe {corvalenx} Fuel_Quantity --format json", []),
    ("describe {modules}/fixture_well_formed.gau Nope", []),
    ("describe {modules}/fixture_well_formed.gau Fixture Fixture", []),
    ("describe {modules}/fixture_child_cycle.gau --format json", []),
    ("describe {modules}/fixture_crashing_entry.gau", []),
    ("mouse {corvalenx} Direction_Finder --list", []),
    ("mouse {corvalenx} Direction_Finder --list --format json", []),
    ("mouse {modules}/fixture_duplicate_name.gau Fixture --list --format json", []),
    ("mouse {modules}/fixture_well_formed.gau Fixture 7", []),
    ("mouse {modules}/fixture_well_formed.gau Fixture 7 7 --list", []),
    ("mouse {modules}/fixture_well_formed.gau Fixture 99999999999 7", []),
    ("mouse {modules}/fixture_well_formed.gau Fixture --list --format junit", []),
    ("variables", []),
    ("variables --format json", []),
    ("compare {pictures}/base.png {pictures}/base_again.png", []),
    ("compare {pictures}/base.png {pictures}/recoloured.png", []),
    ("compare {pictures}/base.png {pictures}/changed.png -o diff.png", ["diff.png"]),
    ("compare {pictures}/base.png {pictures}/changed.png --tolerance 5 -o diff5.png", ["diff5.png"]),
    ("compare {pictures}/base.png {pictures}/changed.png --tolerance 60", []),
    ("compare {pictures}/base.png {pictures}/wider.png", []),
    ("compare {pictures}/base.png {pictures}/cut.png", []),
    ("compare {pictures}/base.png {top}/README.md", []),
    # The C runtime's reason, worded alike on both.
    ("compare {pictures}/base.png no_such.png", []),
    ("compare {pictures}/base.png {pictures}/base.png --tolerance 256", []),
    ("compare {pictures}/base.png {pictures}/changed.png -o no_such_dir/d.png", []),
    ("compare {pictures}/base.png", []),
    ("help check", []),
    ("help describe", []),
    ("help compare", []),
    ("help mouse", []),
    ("help variables", []),
    ("--version", []),
]

# The system's reason after these words is its own on each system.
SYSTEM_REASON = re.compile(r"(cannot read the module): [^\n]*")


def run(program, arguments, folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    done = subprocess.run(program + arguments, cwd=folder, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def as_compared(text, windows):
    text = text.decode("utf-8", errors="replace")
    if windows:
        text = text.replace("\r\n", "\n")
    return SYSTEM_REASON.sub(r"\1: (the system's reason)", text)


def main():
    parser = argparse.ArgumentParser()
    for name in ("native", "windows", "top", "modules", "pictures", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    check = subprocess.run(["sh", os.path.join(args.top, "scripts/runs-32-bit-programs.sh")],
                           capture_output=True, text=True)
    if check.returncode != 0:
        print(f"skipped: the Windows panelhost cannot run here: {check.stderr.strip()}")
        return SKIPPED
    if not os.path.isfile(args.windows):
        print(f"no Windows panelhost at {args.windows}: build it (cmake --build build --target panelhost)")
        return 1
    windows = ["sh", os.path.join(args.top, "host/panelhost")]
    os.environ["PANELHOST_EXE"] = args.windows
    # Once first, so that a new Wine prefix's announcement is not compared.
    run(windows, ["--version"], os.path.join(args.work, "first"))
    fill = {"corvalenx": os.path.join(args.modules, "Corvalenx.gau"), "modules": args.modules,
            "pictures": args.pictures, "top": args.top}
    failures = 0
    for number, (line, pictures) in enumerate(CASES):
        arguments = [word.format(**fill) for word in line.split()]
        folders = [os.path.join(args.work, f"{number:02d}_{side}") for side in ("native", "windows")]
        native = run([args.native], arguments, folders[0])
        windows_run = run(windows, arguments, folders[1])
        problems = []
        if native[0] != windows_run[0]:
            problems.append(f"exit status {native[0]} natively, {windows_run[0]} on Windows")
        for stream, index in (("stdout", 1), ("stderr", 2)):
            a, b = as_compared(native[index], False), as_compared(windows_run[index], True)
            if a != b:
                problems.append(f"{stream} differs\n--- native\n{a}--- Windows\n{b}---")
        for picture in pictures:
            paths = [os.path.join(folder, picture) for folder in folders]
            if not all(os.path.isfile(path) for path in paths):
                problems.append(f"{picture} was not written by both")
            elif open(paths[0], "rb").read() != open(paths[1], "rb").read():
                problems.append(f"{picture} differs: {paths[0]} and {paths[1]}")
        if problems:
            failures += 1
            print(f"panelhost {line}:\n  " + "\n  ".join(problems))
    print(f"{len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
