#!/usr/bin/env python3
"""Runs one panelhost command line and checks what it did: its exit status
always, then any of: patterns its stdout or stderr must (or must not) hold,
how many stderr lines match a pattern, expressions over its stdout read as
JSON or as JUnit XML (by real parsers), files that must be the same or
differ afterwards, hold a pattern or not be there at all, and expressions
over what ffprobe reads from a video.

run_panelhost.py --status N [checks...] -- PROGRAM [ARGS...]
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def probe_failures(path, expression):
    """What is wrong with VIDEO by EXPRESSION, as ffprobe reads it: the
    first stream's fields, frames counted by decoding them all."""
    if not os.path.isfile(path):
        return [f"{path} was not written"]
    probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "json", path],
                           capture_output=True, text=True)
    if probe.returncode != 0:
        return [f"ffprobe cannot read {path}: {probe.stderr.strip()}"]
    video = json.loads(probe.stdout)["streams"][0]
    video["nb_read_frames"] = int(video.get("nb_read_frames", -1))
    try:
        held = eval(expression, {"video": video})
    except Exception as error:
        held, expression = False, f"{expression} ({type(error).__name__}: {error})"
    read = {key: video.get(key) for key in ("codec_name", "width", "height", "r_frame_rate", "nb_read_frames")}
    return [] if held else [f"{path}: {expression} is false; ffprobe read {read}"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--status", type=int, required=True, help="the exit status it must end with")
    parser.add_argument("--stdout", action="append", default=[], help="a pattern stdout must hold")
    parser.add_argument("--stderr", action="append", default=[], help="a pattern stderr must hold")
    parser.add_argument("--no-stderr", action="append", default=[], help="a pattern stderr must not hold")
    parser.add_argument("--stderr-lines", nargs=2, action="append", default=[], metavar=("PATTERN", "COUNT"),
                        help="how many stderr lines match PATTERN")
    parser.add_argument("--json", action="append", default=[], help="a Python expression over `doc`, stdout as JSON")
    parser.add_argument("--junit", action="append", default=[], help="a Python expression over `root`, stdout as XML")
    parser.add_argument("--same", nargs=2, action="append", default=[], help="two files with the same bytes")
    parser.add_argument("--differ", nargs=2, action="append", default=[], help="two files that differ")
    parser.add_argument("--fresh", action="append", default=[], metavar="GLOB",
                        help="folders and files removed before the run")
    parser.add_argument("--holds", nargs=2, action="append", default=[], metavar=("FILE", "PATTERN"),
                        help="a file whose text holds PATTERN")
    parser.add_argument("--absent", action="append", default=[], metavar="GLOB",
                        help="files that must not be there afterwards")
    parser.add_argument("--probe", nargs=2, action="append", default=[], metavar=("VIDEO", "EXPRESSION"),
                        help="a Python expression over `video`, ffprobe's first stream of VIDEO with its frames counted")
    parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                        help="an environment variable for the program only (PATH=... also finds it)")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    for path in (path for pattern in args.fresh for path in glob.glob(pattern)):
        if os.path.isdir(path):
            shutil.rmtree(path, ignore_errors=True)
        else:
            os.remove(path)
    environment = dict(os.environ, **dict(setting.split("=", 1) for setting in args.env))
    run = subprocess.run(command, capture_output=True, text=True, errors="replace", env=environment)
    failures = []
    if run.returncode != args.status:
        failures.append(f"exit status {run.returncode}, expected {args.status}")
    for pattern in args.stdout:
        if not re.search(pattern, run.stdout, re.DOTALL):
            failures.append(f"stdout does not match {pattern!r}")
    for pattern in args.stderr:
        if not re.search(pattern, run.stderr, re.DOTALL):
            failures.append(f"stderr does not match {pattern!r}")
    for pattern in args.no_stderr:
        if re.search(pattern, run.stderr, re.DOTALL):
            failures.append(f"stderr matches {pattern!r}")
    for pattern, count in args.stderr_lines:
        found = sum(1 for line in run.stderr.splitlines() if re.search(pattern, line))
        if found != int(count):
            failures.append(f"{found} stderr lines match {pattern!r}, expected {count}")
    for kind, expressions in (("json", args.json), ("junit", args.junit)):
        if not expressions:
            continue
        try:
            value = json.loads(run.stdout) if kind == "json" else ElementTree.fromstring(run.stdout)
        except (ValueError, ElementTree.ParseError) as error:
            failures.append(f"stdout is not {kind}: {error}")
            continue
        for expression in expressions:
            try:
                held = eval(expression, {"doc": value, "root": value, "re": re, "os": os})
            except Exception as error:  # a missing key is a failed check, said as such
                held, expression = False, f"{expression} ({type(error).__name__}: {error})"
            if not held:
                failures.append(f"{kind} check failed: {expression}")
    for a, b in args.same + args.differ:
        if not (os.path.isfile(a) and os.path.isfile(b)):
            failures.append(f"{a} or {b} was not written")
    for a, b in args.same:
        if os.path.isfile(a) and os.path.isfile(b) and open(a, "rb").read() != open(b, "rb").read():
            failures.append(f"{a} and {b} differ")
    for a, b in args.differ:
        if os.path.isfile(a) and os.path.isfile(b) and open(a, "rb").read() == open(b, "rb").read():
            failures.append(f"{a} and {b} are the same")

    for path, pattern in args.holds:
        if not os.path.isfile(path):
            failures.append(f"{path} was not written")
        elif not re.search(pattern, open(path, errors="replace").read(), re.DOTALL):
            failures.append(f"{path} does not hold {pattern!r}")
    for pattern in args.absent:
        for path in glob.glob(pattern):
            failures.append(f"{path} is there")
    for path, expression in args.probe:
        failures += probe_failures(path, expression)

    if failures:
        print("command:", " ".join(command))
        print("--- stdout\n" + run.stdout + "--- stderr\n" + run.stderr + "---")
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
