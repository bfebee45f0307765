#!/usr/bin/env python3
"""csv_to_html.py INPUT OUTPUT: what a user would write with Python's csv
module to get the same kind of table: appends <table>, one <tr> per record
with a <td> per field, and </table>, with CR LF line ends."""
import csv
import sys


def main(source, target):
    # latin-1 passes every byte through unchanged, as the converter does.
    with open(source, newline="", encoding="latin-1") as rows, \
            open(target, "a", newline="\r\n", encoding="latin-1") as out:
        out.write("<table>")
        for record in csv.reader(rows):
            out.write("<tr>\n" + "\n".join("<td>%s</td>" % field for field in record) + "</tr>\n")
        out.write("</table>")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
