#!/usr/bin/env python3
"""python_csv_roundtrip.py CONVERTER: random records written by Python's csv
module (a standard CSV writer, with its delimiters, quoting styles and line
ends) must come back unchanged from the table that
`quillbar-convert --rfc4180 --escape --delimiter=C` makes of them.
The same seed gives the same files on every run.
"""
import csv
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from csv_cases_conformance import TableReader, line_ends  # noqa: E402

# No lone CR: Python's writer leaves a field with one unquoted unless it is
# part of the line terminator, and then its reader ends the record there,
# while a lone CR is data to the converter (records end at LF or CR LF only).
ALPHABET = ['a', 'b', 'Z', '0', ' ', '\t', ',', ';', '|', '"', "'", '<', '>', '&', '\n', '\r\n', 'é', '€', '表']


def random_records(rng):
    records = []
    for _ in range(rng.randint(1, 12)):
        fields = []
        for _ in range(rng.randint(1, 6)):
            fields.append("".join(rng.choice(ALPHABET) for _ in range(rng.randint(0, 8))))
        records.append(fields)
    return records


def main():
    converter = os.path.abspath(sys.argv[1])
    rng = random.Random(20261208)
    failures = 0
    cases = 150
    with tempfile.TemporaryDirectory() as work:
        source, table = os.path.join(work, "in.csv"), os.path.join(work, "out.htm")
        for case in range(cases):
            delimiter = rng.choice([",", ";", "\t", "|"])
            quoting = rng.choice([csv.QUOTE_MINIMAL, csv.QUOTE_ALL, csv.QUOTE_NONNUMERIC])
            terminator = rng.choice(["\r\n", "\n"])
            records = random_records(rng)
            with open(source, "w", encoding="utf-8", newline="") as out:
                csv.writer(out, delimiter=delimiter, quoting=quoting, lineterminator=terminator).writerows(records)
            if os.path.exists(table):
                os.remove(table)
            option = "--delimiter=" + ("tab" if delimiter == "\t" else delimiter)
            result = subprocess.run([converter, "--rfc4180", "--escape", option, "--encoding=utf-8", source, table],
                                    capture_output=True)
            reader = TableReader()
            with open(table, encoding="utf-8", newline="") as html:
                reader.feed(html.read())
            reader.close()
            expected = [[line_ends(field) for field in record] for record in records]
            got = [[line_ends(cell) for cell in row] for row in reader.rows]
            if result.returncode != 0 or got != expected:
                failures += 1
                print("FAIL: case %d (%r, quoting %d, %r): status %d %s\n  expected %r\n  got      %r" % (
                    case, delimiter, quoting, terminator, result.returncode, result.stderr.decode(), expected, got))
    print("%d cases written by Python's csv module, %d failures" % (cases, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
