#!/usr/bin/env python3
"""csv_cases_conformance.py CONVERTER: converts every case of csv-spectrum (Debian's
node-csv-spectrum, read where the package installs it) and reads the records
back from the HTML table, to compare them with the case's JSON.

With --rfc4180 (alone, and with --escape --header) every case must give the
records of its JSON. Without options, the dialog's dialect must read exactly
the cases in CLASSIC_READS as their JSON says and no other: it keeps doubled
quotes and ends a row at every line end.
"""
import html.parser
import json
import os
import subprocess
import sys
import tempfile

SPECTRUM = "/usr/share/nodejs/csv-spectrum"
CLASSIC_READS = {"comma_in_quotes", "empty", "empty_crlf", "simple", "simple_crlf", "utf8"}


class TableReader(html.parser.HTMLParser):
    """The rows of <td>/<th> cells, character references resolved."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def line_ends(text):
    # An HTML reader takes CR LF and a lone CR as LF; a JSON string's "\r\n"
    # is the same line end.
    return text.replace("\r\n", "\n").replace("\r", "\n")


def records_from_html(converter, options, csv_path, work):
    out = os.path.join(work, "out.htm")
    if os.path.exists(out):
        os.remove(out)
    result = subprocess.run([converter] + options + [csv_path, out], capture_output=True)
    if result.returncode != 0:
        return "exit status %d: %s" % (result.returncode, result.stderr.decode(errors="replace"))
    reader = TableReader()
    with open(out, encoding="utf-8", newline="") as table:
        reader.feed(table.read())
    reader.close()
    return [[line_ends(cell) for cell in row] for row in reader.rows]


def expected_records(json_path):
    with open(json_path, encoding="utf-8") as source:
        objects = json.load(source)
    keys = list(objects[0])
    return [keys] + [[line_ends(o[k]) for k in keys] for o in objects]


def main():
    converter = os.path.abspath(sys.argv[1])
    cases = sorted(name[:-4] for name in os.listdir(os.path.join(SPECTRUM, "csvs")) if name.endswith(".csv"))
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for case in cases:
            csv_path = os.path.join(SPECTRUM, "csvs", case + ".csv")
            expected = expected_records(os.path.join(SPECTRUM, "json", case + ".json"))
            for options, must_match in ((["--rfc4180"], True), (["--rfc4180", "--escape", "--header"], True),
                                        ([], case in CLASSIC_READS)):
                got = records_from_html(converter, options, csv_path, work)
                ok = (got == expected) == must_match
                failures += not ok
                print("%s: %s %s%s" % ("PASS" if ok else "FAIL", case, " ".join(options) or "(no options)",
                                       "" if must_match else " (not read as its JSON says, as expected)"))
                if not ok:
                    print("  expected %r\n  got      %r" % (expected, got))
    print("%d cases, %d failures" % (len(cases), failures))
    return 1 if failures or len(cases) != 11 else 0


if __name__ == "__main__":
    sys.exit(main())
