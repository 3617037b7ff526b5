"""Reads the built pilot's guide with an HTML parser and checks the facts
it took from the module where they are easiest to lose: the variables a
gauge's routine reads for itself (shown "read alongside"), and the
direction finder's six tuning spots with the key event each sends.

usage: guide_facts_test.py GUIDE
"""
import html.parser
import os
import sys


class Tables(html.parser.HTMLParser):
    """Every table's rows, each a list of cell texts (a <br> is a newline)."""

    def __init__(self):
        super().__init__()
        self.tables, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables.append([])
        elif tag == "tr":
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "br" and self.cell is not None:
            self.cell += "\n"

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.tables[-1][-1].append(self.cell.strip())
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def tables_of(guide, page):
    parser = Tables()
    with open(os.path.join(guide, page), encoding="utf-8") as f:
        parser.feed(f.read())
    return parser.tables


def facts(guide, page):
    """The "From the module" table: row name -> its lines."""
    rows = [row for table in tables_of(guide, page) for row in table if len(row) == 2 and row[0]]
    return {name: value.split("\n") for name, value in rows}


def main():
    guide = sys.argv[1]
    problems = []

    def expect(what, got, wanted):
        if got != wanted:
            problems.append("%s: %r, expected %r" % (what, got, wanted))

    expect("fuel gauge's variables", facts(guide, "fuel-quantity.html").get("Simulator variables"),
           ["variable 306: fuel weight, lb/gal \u2014 read alongside", "variable 386: fuel quantity, gal"])
    expect("radar altimeter's variables", facts(guide, "radar-altimeter.html").get("Simulator variables"),
           ["variable 2: ground elevation, 1/256 m \u2014 read alongside", "variable 73: altitude, m"])
    expect("airspeed's variables", facts(guide, "airspeed.html").get("Simulator variables"),
           ["variable 61: airspeed, kt"])
    spots = [row for table in tables_of(guide, "direction-finder.html") for row in table
             if len(row) == 4 and row[0].isdigit()]
    expect("direction finder's spots and key events", [(row[0], row[3]) for row in spots],
           [("1", "0x10070"), ("2", "0x10082"), ("3", "0x10071"), ("4", "0x10083"), ("5", "0x10072"),
            ("6", "0x10084")])
    expect("direction finder's clickable spots", facts(guide, "direction-finder.html").get("Mouse"),
           ["6 clickable spots"])
    expect("LABS instrument's tooltip", facts(guide, "labs-instrument.html").get("Tooltip (help identifier)"),
           ["none"])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
