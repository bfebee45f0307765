#!/usr/bin/env python3
"""pandas_to_html.py INPUT OUTPUT: the table through pandas (Debian's
python3-pandas): read every field as text and write DataFrame.to_html."""
import sys

import pandas


def main(source, target):
    frame = pandas.read_csv(source, header=None, dtype=str, keep_default_na=False,
                            encoding="latin-1")
    with open(target, "a", encoding="latin-1") as out:
        frame.to_html(out, header=False, index=False)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
