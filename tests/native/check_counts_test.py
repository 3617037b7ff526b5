#!/usr/bin/python3
"""check's counts are the counts: each gauge's element, needle, calibrated
needle, moving image, icon, mouse area and clickable area counts in `check
--format json` agree with what `describe --format json` lists element by
element and area by area, for every module given.

    check_counts_test.py PANELHOST MODULE...
"""
import json
import subprocess
import sys

panelhost, modules = sys.argv[1], sys.argv[2:]
failures = []


def document(*args):
    run = subprocess.run([panelhost, *args, "--format", "json"], capture_output=True, text=True)
    return json.loads(run.stdout)


def areas(tree):
    for area in tree:
        yield area
        yield from areas(area["children"])


for module in modules:
    checked = {g["name"]: g for g in document("check", module)["gauges"]}
    described = document("describe", module)["gauges"]
    if sorted(checked) != sorted(g["name"] for g in described):
        failures.append(f"{module}: check reads gauges {sorted(checked)}, describe {[g['name'] for g in described]}")
    for gauge in described:
        elements = gauge["elements"]
        every_area = list(areas(gauge["mouse_areas"]))
        listed = {
            "elements": len(elements),
            "needles": sum(e["kind"] == "needle" for e in elements),
            "calibrated_needles": sum(e["kind"] == "needle" and e["calibration"] is not None for e in elements),
            "moving_images": sum(e["kind"] == "moving image" for e in elements),
            "icons": sum(e["kind"] == "icon" for e in elements),
            "mouse_areas": len(every_area),
            "clickable_areas": sum(a["key_event"] != 0 for a in every_area),
            "face": gauge["face"],
        }
        counted = checked.get(gauge["name"], {})
        for key, value in listed.items():
            if counted.get(key) != value:
                failures.append(f"{module} \"{gauge['name']}\": check's {key} is {counted.get(key)}, "
                                f"describe lists {value}")
if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"{len(modules)} modules: check's counts are describe's")
