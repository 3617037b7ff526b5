#!/usr/bin/python3
"""Outputs lose no file. No output over an input: compare refuses a diff
picture that is one of the pictures it compares, by the file's identity (a
second name for the file too), names both, exits 1 and leaves the picture as
it was. Whole or not at all: a diff picture that cannot be written in full
(a file-size limit) is an error naming it, the earlier file of that name
stays as it was and nothing is left beside it.

    output_over_input_test.py PANELHOST PICTURES_FOLDER
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile

panelhost, pictures = sys.argv[1], sys.argv[2]
failures = []
with tempfile.TemporaryDirectory() as folder:
    first = os.path.join(folder, "a.png")
    second = os.path.join(folder, "b.png")
    shutil.copy(os.path.join(pictures, "base.png"), first)
    shutil.copy(os.path.join(pictures, "changed.png"), second)
    link = os.path.join(folder, "another-name.png")
    os.link(first, link)
    with open(first, "rb") as f:
        before = f.read()
    for output, what in ((first, "the first picture"), (second, "the second picture"), (link, "the first picture"),
                         (os.path.join(folder, ".", "a.png"), "the first picture")):
        run = subprocess.run([panelhost, "compare", first, second, "-o", output], capture_output=True, text=True)
        if run.returncode != 1:
            failures.append(f"-o {output}: exit status {run.returncode}, not 1")
        if f"cannot write {output}: it is {what}" not in run.stderr:
            failures.append(f"-o {output}: says {run.stderr.strip()!r}")
    with open(first, "rb") as f:
        if f.read() != before:
            failures.append("the first picture was written over")
    # A new file is no input: the comparison runs (the pictures differ: 2).
    run = subprocess.run([panelhost, "compare", first, second, "-o", os.path.join(folder, "diff.png")],
                         capture_output=True, text=True)
    if run.returncode != 2 or not os.path.exists(os.path.join(folder, "diff.png")):
        failures.append(f"a fresh diff picture: exit status {run.returncode}, {run.stderr.strip()!r}")

def limited_to(size):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


with tempfile.TemporaryDirectory() as folder:
    diff = os.path.join(folder, "diff.png")
    with open(diff, "wb") as f:
        f.write(b"the earlier diff picture")
    first, second = os.path.join(pictures, "base.png"), os.path.join(pictures, "changed.png")
    run = subprocess.run([panelhost, "compare", first, second, "-o", diff], capture_output=True, text=True,
                         preexec_fn=limited_to(64))
    if run.returncode < 0:
        failures.append(f"a file-size limit ended panelhost by signal {-run.returncode}")
    elif run.returncode != 1 or f"cannot write {diff}" not in run.stderr or "too large" not in run.stderr:
        failures.append(f"a write cut short: exit status {run.returncode}, {run.stderr.strip()!r}")
    with open(diff, "rb") as f:
        if f.read() != b"the earlier diff picture":
            failures.append("a write cut short changed the earlier file")
    if sorted(os.listdir(folder)) != ["diff.png"]:
        failures.append(f"a write cut short left {sorted(os.listdir(folder))}")
    run = subprocess.run([panelhost, "compare", first, second, "-o", diff], capture_output=True, text=True)
    with open(diff, "rb") as f:
        if run.returncode != 2 or not f.read().startswith(b"\x89PNG"):
            failures.append("a whole write did not replace the earlier file")
    if sorted(os.listdir(folder)) != ["diff.png"]:
        failures.append(f"a whole write left {sorted(os.listdir(folder))}")

if failures:
    print("\n".join("FAILED: " + f for f in failures))
    sys.exit(1)
print("compare writes over none of its inputs, and its diff picture whole or not at all")
