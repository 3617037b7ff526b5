"""Builds the pilot's guide: hand-written pages from docs/guide/ with the
module's own facts and pictures filled in.

The prose pages hold a few tags of this guide's own, replaced here:

  <gauge-picture set="61=120" fail="6" caption="..."></gauge-picture>
      the page's gauge rendered by panelhost from the shipped module at
      those readings (set and fail take space-separated lists)
  <gauge-facts parts="the face; the needle"></gauge-facts>
      the page's gauge as the module declares it: layout line, sizes,
      variables, failures, tooltip, mouse areas; parts (optional) names its
      elements in the module's drawing order
  <gauge-mouse-map set="..." caption="..."></gauge-mouse-map>
      the gauge's face with every clickable area drawn over it, and a table
      of what each sends
  <guide-contents></guide-contents>   (index) every gauge's page, with a picture
  <panel-picture></panel-picture>     (index) the example panel, drawn whole

Besides a page per gauge and the index it writes print.html, all of them on
one page.

Each gauge page names its gauge in a first-line comment, <!-- gauge: NAME -->.
A gauge of the module without a page, a page naming a gauge the module lacks,
or an unknown tag is an error, so the guide cannot drift from the module.
"""
import argparse
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from module_version import product_version  # noqa: E402


class GuideError(Exception):
    pass


def slug(name):
    return re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")


def hex_id(value):
    return "0x%04X" % value


# ---------------------------------------------------------------------------
# The module's facts: its records as `panelhost describe` reads them from the
# file, and the variables each gauge reads when it runs, from a render at
# rest (describe runs no module code, so it cannot see a variable a routine
# looks up for itself).

def flat_mouse_areas(tree, parent=-1):
    """describe's tree of mouse areas in list order, each with its parent's index (-1: none)."""
    areas = []
    for a in tree:
        box = a["box"]
        areas.append({"index": a["index"], "kind": a["kind"], "parent": parent,
                      "box": (box["x"], box["y"], box["width"], box["height"]), "cursor": a["cursor_name"],
                      "help_id": a["help_id"], "event": a["key_event"]})
        areas += flat_mouse_areas(a["children"], a["index"])
    return areas


def read_facts(described, variables_read):
    """`described`: describe --format json's document; `variables_read`: by
    gauge name, render --format json's variables_read."""
    gauges = []
    for g in described["gauges"]:
        areas = flat_mouse_areas(g["mouse_areas"])
        gauges.append({
            "name": g["name"],
            "index": g["index"],
            "face": (g["face"]["width"], g["face"]["height"]),
            "default_size_mm": g["default_size_mm"],
            "elements": g["elements"],
            "mouse_areas": areas,
            "variables_on_elements": {v["token"] for v in g["variables"]},
            "variables_read": variables_read[g["name"]],
            # The whole-gauge area's help identifier is the gauge's tooltip.
            "help_id": areas[0]["help_id"] if areas else 0,
        })
    return sorted(gauges, key=lambda g: g["index"])


def element_names(gauge):
    """'the face', 'the needle', 'needle 2', ... for each element, in order."""
    kinds = [e["kind"] for e in gauge["elements"]]
    names = []
    for i, kind in enumerate(kinds):
        if i == 0:
            names.append("the face")
            continue
        word = {"needle": "needle", "moving image": "moving image", "icon": "overlay",
                "static image": "image"}.get(kind, kind)
        same = [j for j, k in enumerate(kinds) if k == kind and j > 0]
        names.append("the " + word if len(same) == 1 else "%s %d" % (word, same.index(i) + 1))
    return names


def layout_lines(layout_path):
    """The example layout's gauge lines, by gauge name."""
    lines = {}
    with open(layout_path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"\s*(gauge\d+\s*=\s*[^!]+!([^,]+?)\s*,.*?)\s*(//.*)?$", line)
            if m:
                lines[m.group(2)] = re.sub(r"\s*,\s*", ", ", m.group(1))
    return lines


# ---------------------------------------------------------------------------
# Pieces of HTML.

def attributes(text):
    return dict(re.findall(r'(\w+)="([^"]*)"', text))


def figure(src, size, caption, extra=""):
    width, height = size
    return ('<figure><div class="frame"><img src="%s" width="%d" height="%d" alt="%s">%s</div>'
            '<figcaption>%s</figcaption></figure>' % (src, width, height, html.escape(caption), extra, html.escape(caption)))


def table(head, rows, css=""):
    out = ['<table%s><thead><tr>' % (' class="%s"' % css if css else "")]
    out += ["<th>%s</th>" % h for h in head]
    out.append("</tr></thead><tbody>")
    for row in rows:
        out.append("<tr>" + "".join("<td>%s</td>" % c for c in row) + "</tr>")
    out.append("</tbody></table>")
    return "".join(out)


def variable_text(v):
    unit = ", %s" % html.escape(v["unit"]) if v["unit"] else ""
    return "variable %d: %s%s" % (v["token"], html.escape(v["name"]), unit)


def facts_html(gauge, layout_line, parts):
    """`parts`: the page's own names for the gauge's elements, in the
    module's drawing order (separated by ;), or None for names by kind."""
    names = element_names(gauge)
    if parts is not None:
        names = [p.strip() for p in parts.split(";")]
        if len(names) != len(gauge["elements"]):
            raise GuideError("%s: parts names %d elements; the module's gauge has %d"
                             % (gauge["name"], len(names), len(gauge["elements"])))
    rows = []
    if layout_line:
        rows.append(("In the example layout", "<code>%s</code>" % html.escape(layout_line)))
    rows.append(("Name in a layout line", "<code>Corvalenx!%s</code>" % html.escape(gauge["name"])))
    rows.append(("Default size", "%d &times; %d panel pixels (its face picture): the size a layout line without "
                 "width and height gets in panelhost. The module also declares a default width of %d mm; panelhost "
                 "does not use it, and what the simulator does with it is not known."
                 % (gauge["face"] + (gauge["default_size_mm"],))))
    rows.append(("Simulator variables", "<br>".join(
        variable_text(v) + ("" if v["token"] in gauge["variables_on_elements"] else " &mdash; read alongside")
        for v in gauge["variables_read"]) or "none"))
    failures = {}
    for name, element in zip(names, gauge["elements"]):
        for f in element["failures"]:
            failures.setdefault((f["key"], f["action_name"]), []).append(name)
    rows.append(("Failures", "<br>".join(
        "key %d: %s %s" % (key, {"freeze": "freezes", "zero": "zeroes"}.get(action, action), ", ".join(parts))
        for (key, action), parts in sorted(failures.items())) or "none"))
    rows.append(("Tooltip (help identifier)",
                 hex_id(gauge["help_id"]) if gauge["help_id"] else "none"))
    clickable = [a for a in gauge["mouse_areas"] if a["event"]]
    rows.append(("Mouse", "%d clickable spot%s" % (len(clickable), "" if len(clickable) == 1 else "s")
                 if clickable else "no clickable spots" + ("; the whole face shows the tooltip"
                                                           if gauge["help_id"] else " and no tooltip")))
    return ('<section class="facts"><h2>From the module</h2>'
            + table(("", ""), [("<b>%s</b>" % k, v) for k, v in rows], "facts") + "</section>")


def mouse_map_html(gauge, picture_src, caption):
    width, height = gauge["face"]
    shapes, rows, areas = [], [], []
    number = 0
    for a in gauge["mouse_areas"]:
        x, y, w, h = a["box"]
        tooltip = "tooltip %s" % hex_id(a["help_id"]) if a["help_id"] else "no tooltip"
        if a["parent"] < 0:
            areas.append("<li>the whole gauge: %s</li>" % tooltip)
        elif a["kind"] == "parent":
            shapes.append('<rect class="area" x="%d" y="%d" width="%d" height="%d"/>' % (x, y, w, h))
            areas.append("<li>the area drawn dashed, at %d, %d, %d &times; %d on the face: %s</li>"
                         % (x, y, w, h, tooltip))
        if not a["event"]:
            continue
        number += 1
        arrow = {"up arrow": "&#9650;", "down arrow": "&#9660;"}.get(a["cursor"], "")
        shapes.append('<rect class="spot" x="%d" y="%d" width="%d" height="%d"/>'
                      '<text x="%.1f" y="%.1f">%d</text>' % (x, y, w, h, x + w / 2, y + h / 2 + 3, number))
        rows.append((str(number), "%d, %d, %d &times; %d" % (x, y, w, h), "%s %s" % (arrow, a["cursor"]),
                     "<code>0x%05X</code>" % a["event"]))
    svg = ('<svg class="overlay" viewBox="0 0 %d %d" aria-hidden="true">%s</svg>'
           % (width, height, "".join(shapes)))
    return ('<div class="mouse-map">' + figure(picture_src, (width, height), caption, svg)
            + table(("Spot", "Box on the face (x, y, width &times; height)", "Cursor", "Key event sent"), rows)
            + "<p>Areas around the spots, each pointing out its own tooltip:</p><ul>%s</ul>" % "".join(areas)
            + "</div>")


# ---------------------------------------------------------------------------

def run_to_files(command):
    """Runs `command`; its exit status, stdout and stderr. The output goes
    through files, not pipes: the Wine services a panelhost run may start
    outlive it holding what it was given open, and a pipe would not end
    until they do (seconds after each run)."""
    with tempfile.TemporaryFile() as stdout, tempfile.TemporaryFile() as stderr:
        status = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr).returncode
        stdout.seek(0)
        stderr.seek(0)
        return status, stdout.read().decode("utf-8"), stderr.read().decode("utf-8", "replace")


class Guide:
    def __init__(self, args):
        self.args = args
        described = self.panelhost_json("describe", args.module)
        self.gauges = read_facts(described, self.variables_read_at_rest([g["name"] for g in described["gauges"]]))
        self.by_name = {g["name"]: g for g in self.gauges}
        self.layout_lines = layout_lines(args.layout)
        self.version = product_version(args.module)
        self.pictures = {}  # gauge name -> first picture (src) for the contents

    def panelhost_json(self, *arguments, warnings_allowed=False):
        """Runs a panelhost command with --format json; its document. A
        warning is an error unless allowed: the guide shows no reading it did not mean."""
        status, stdout, stderr = run_to_files([*self.args.panelhost, *arguments, "--format", "json"])
        if status != 0:
            raise GuideError("panelhost %s failed (%d):\n%s" % (arguments[0], status, stderr))
        doc = json.loads(stdout)
        if doc["warnings"] and not warnings_allowed:
            raise GuideError("panelhost %s warned:\n%s" % (arguments[0], "\n".join(doc["warnings"])))
        return doc

    def variables_read_at_rest(self, names):
        """Each gauge run once with nothing set (which panelhost warns of):
        the variables it reads, by gauge name."""
        read = {}
        with tempfile.TemporaryDirectory() as scratch:
            for name in names:
                picture = os.path.join(scratch, "at-rest.png")
                doc = self.panelhost_json("render", self.args.module, name, "-o", picture, warnings_allowed=True)
                read[name] = doc["variables_read"]
        return read

    def render(self, gauge, settings, failures, image):
        arguments = ["render", self.args.module, gauge["name"]]
        for s in settings:
            arguments += ["--set", s]
        for f in failures:
            arguments += ["--fail", f]
        try:
            self.panelhost_json(*arguments, "-o", os.path.join(self.args.out, image))
        except GuideError as e:
            raise GuideError("%s: %s" % (image, e))

    def gauge_page(self, source, text):
        m = re.match(r"\s*<!--\s*gauge:\s*(.+?)\s*-->", text)
        if not m:
            raise GuideError("%s: the first line must be <!-- gauge: NAME -->" % source)
        name = m.group(1)
        if name not in self.by_name:
            raise GuideError("%s: the module has no gauge \"%s\"" % (source, name))
        gauge = self.by_name[name]
        count = [0]

        def picture(match):
            a = attributes(match.group(1))
            count[0] += 1
            image = "images/%s-%d.png" % (slug(name), count[0])
            self.render(gauge, a.get("set", "").split(), a.get("fail", "").split(), image)
            self.pictures.setdefault(name, image)
            return figure(image, gauge["face"], a.get("caption", ""))

        def mouse_map(match):
            a = attributes(match.group(1))
            image = "images/%s-mouse.png" % slug(name)
            self.render(gauge, a.get("set", "").split(), [], image)
            return mouse_map_html(gauge, image, a.get("caption", ""))

        body = text[m.end():]
        body = re.sub(r"<gauge-picture\b([^>]*)></gauge-picture>", picture, body)
        body = re.sub(r"<gauge-mouse-map\b([^>]*)></gauge-mouse-map>", mouse_map, body)
        body = re.sub(r"<gauge-facts\b([^>]*)></gauge-facts>",
                      lambda m: facts_html(gauge, self.layout_lines.get(name), attributes(m.group(1)).get("parts")),
                      body)
        return name, body

    def contents(self):
        items = []
        for g in self.gauges:
            picture = self.pictures.get(g["name"])
            thumb = '<img src="%s" width="%d" height="%d" alt="">' % ((picture,) + g["face"]) if picture else ""
            items.append('<li><a href="%s.html">%s<span>%s</span></a></li>'
                         % (slug(g["name"]), thumb, html.escape(g["name"].replace("_", " "))))
        return '<ul class="contents">%s</ul>' % "".join(items)

    def panel_picture(self):
        if not self.args.panel_picture:
            return ""
        shutil.copyfile(self.args.panel_picture, os.path.join(self.args.out, "images", "panel.png"))
        with open(self.args.panel_picture, "rb") as f:
            head = f.read(24)
        width, height = int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
        return figure("images/panel.png", (width, height),
                      "The example layout drawn whole: all eight gauges at their default sizes.").replace(
                          "<figure>", '<figure class="wide">', 1)

    def page(self, title, body, current):
        nav = ['<a href="index.html"%s>Contents</a>' % (' aria-current="page"' if current == "index" else "")]
        for g in self.gauges:
            page = slug(g["name"])
            nav.append('<a href="%s.html"%s>%s</a>' % (page, ' aria-current="page"' if current == page else "",
                                                       html.escape(g["name"].replace("_", " "))))
        return ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
                '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
                '<title>%s</title>\n'
                '<link rel="stylesheet" href="guide.css">\n</head>\n<body>\n'
                '<nav>%s</nav>\n<main>\n%s\n</main>\n'
                '<footer>Corvalenx Gauges %s &middot; pilot\'s guide</footer>\n</body>\n</html>\n'
                % (html.escape(title) + ("" if current == "index" else " &mdash; Corvalenx Gauges pilot's guide"),
                   "\n".join(nav), body.strip(), html.escape(self.version)))

    def build(self):
        out = self.args.out
        if os.path.isdir(out):
            shutil.rmtree(out)
        os.makedirs(os.path.join(out, "images"))
        shutil.copyfile(os.path.join(self.args.docs, "guide.css"), os.path.join(out, "guide.css"))
        pages = {}
        for source in sorted(os.listdir(self.args.docs)):
            if not source.endswith(".html") or source == "index.html":
                continue
            with open(os.path.join(self.args.docs, source), encoding="utf-8") as f:
                name, body = self.gauge_page(source, f.read())
            if name in pages:
                raise GuideError("%s: gauge \"%s\" has a page already (%s)" % (source, name, pages[name][0]))
            pages[name] = (source, body)
        missing = [g["name"] for g in self.gauges if g["name"] not in pages]
        if missing:
            raise GuideError("no page in %s for: %s" % (self.args.docs, ", ".join(missing)))
        for name, (source, body) in pages.items():
            self.write(slug(name) + ".html", self.title_of(source, body), body, slug(name))
        with open(os.path.join(self.args.docs, "index.html"), encoding="utf-8") as f:
            index = f.read()
        index = index.replace("<guide-contents></guide-contents>", self.contents())
        index = index.replace("<panel-picture></panel-picture>", self.panel_picture())
        self.write("index.html", self.title_of("index.html", index), index, "index")
        # The whole guide on one page, to print in one go: the index, then
        # each gauge's page in the contents' order, each from a new sheet.
        whole = [index] + ['<section class="print-page">%s</section>' % pages[g["name"]][1] for g in self.gauges]
        self.write("print.html", "The whole guide, to print", "\n".join(whole), "print")

    @staticmethod
    def title_of(source, body):
        m = re.search(r"<h1>(.*?)</h1>", body, re.S)
        if not m:
            raise GuideError("%s: no <h1> title" % source)
        return re.sub(r"<[^>]+>", "", m.group(1))

    def write(self, name, title, body, current):
        left = re.findall(r"</?(?:gauge|guide|panel)-[a-z-]+", body)
        if left:
            raise GuideError("%s: unknown tag %s" % (name, left[0]))
        with open(os.path.join(self.args.out, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(self.page(title, body, current))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--module", required=True, help="the shipped module, rendered for the pictures")
    p.add_argument("--panelhost", required=True, help="the panelhost command (may hold spaces: split)")
    p.add_argument("--docs", required=True, help="the hand-written pages")
    p.add_argument("--layout", required=True, help="the example panel layout")
    p.add_argument("--panel-picture", help="the example layout drawn by panelhost panel")
    p.add_argument("--out", required=True)
    args = p.parse_args()
    args.panelhost = args.panelhost.split()
    try:
        Guide(args).build()
    except (GuideError, OSError, KeyError, ValueError) as e:
        sys.exit("make_guide: %s" % e)
    print("%s: the pilot's guide" % os.path.join(args.out, "index.html"))


if __name__ == "__main__":
    main()
