#!/usr/bin/python3
"""The reference's hand-kept tables say what the program says: the exit
statuses in docs/panelhost/exit-statuses.md are those `panelhost --help`
lists, row for row, in both directions.

    docs_tables_test.py PANELHOST TOP
"""
import re
import subprocess
import sys

panelhost, top = sys.argv[1], sys.argv[2]
help_text = subprocess.run([panelhost, "--help"], capture_output=True, text=True, check=True).stdout
listed = re.findall(r"^  (\d+)  (.+)$", help_text.split("exit status:", 1)[1], re.M)
with open(f"{top}/docs/panelhost/exit-statuses.md", encoding="utf-8") as f:
    documented = re.findall(r"^\| (\d+) \| (.+) \|$", f.read(), re.M)
failures = []
if not listed:
    failures.append("panelhost --help lists no exit statuses")
for status in sorted(set(listed) - set(documented)):
    failures.append(f"--help lists {status[0]} ({status[1]}), which the table lacks or words otherwise")
for status in sorted(set(documented) - set(listed)):
    failures.append(f"the table holds {status[0]} ({status[1]}), which --help does not list")
if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"{len(listed)} exit statuses, the same in --help and docs/panelhost/exit-statuses.md")
