#!/usr/bin/python3
"""Plants faults in the sources one at a time and runs a test command over
each, to measure what the suite catches.

    python3 tests/planted_faults/plant.py [--faults FILE] [--only NAME...] -- COMMAND...

Each fault in FILE (default: faults.json beside this script) names a file,
a piece of text that must occur in it exactly once, and what to put in its
place. The text is replaced, COMMAND runs (through the shell when it is one
word with spaces), and the file is put back byte for byte, whatever
happens — also on Ctrl-C. A fault is caught when COMMAND exits non-zero.
Prints a line per fault and a closing count; exits 1 when any fault
survived, 2 when a fault cannot be planted (its text is missing or occurs
more than once: the list has gone stale).
"""
import argparse
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))


def load_faults(path):
    with open(path, encoding="utf-8") as f:
        faults = json.load(f)
    for fault in faults:
        for key in ("name", "file", "find", "replace"):
            if key not in fault:
                sys.exit(f"{path}: fault {fault.get('name', '?')!r} has no {key!r}")
    return faults


def plant(fault):
    """The file's original bytes, after writing the fault in; None with a
    reason when the fault's text is not there exactly once."""
    path = os.path.join(TOP, fault["file"])
    with open(path, "rb") as f:
        original = f.read()
    find = fault["find"].encode("utf-8")
    count = original.count(find)
    if count != 1:
        return None, f"{fault['file']}: its text occurs {count} times, not once"
    with open(path, "wb") as f:
        f.write(original.replace(find, fault["replace"].encode("utf-8")))
    return original, None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", default=os.path.join(HERE, "faults.json"))
    parser.add_argument("--only", nargs="*", default=[])
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    faults = [f for f in load_faults(args.faults) if not args.only or f["name"] in args.only]
    command = args.command
    shell = len(command) == 1 and " " in command[0]
    caught = survived = 0
    for fault in faults:
        original, why = plant(fault)
        if original is None:
            print(f"cannot plant {fault['name']}: {why}", file=sys.stderr)
            sys.exit(2)
        path = os.path.join(TOP, fault["file"])
        start = time.monotonic()
        try:
            run = subprocess.run(command[0] if shell else command, shell=shell, cwd=TOP,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            with open(path, "wb") as f:
                f.write(original)
        seconds = time.monotonic() - start
        if run.returncode != 0:
            caught += 1
            verdict = "caught"
        else:
            survived += 1
            verdict = "SURVIVED"
        print(f"{verdict:8} {fault['name']} ({fault['file']}, {seconds:.0f} s)", flush=True)
    print(f"faults: {caught} caught, {survived} survived")
    sys.exit(1 if survived else 0)


if __name__ == "__main__":
    main()
