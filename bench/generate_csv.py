#!/usr/bin/env python3
"""Writes the benchmark's deterministic CSV inputs.

generate_csv.py rows N FILE      N lines of 8 mixed fields, CR LF line ends
generate_csv.py line BYTES FILE  one line of whole records, joined by commas, of
                                 at least BYTES bytes, then CR LF

The same arguments always give the same bytes: the fields come from a fixed
linear congruential sequence, not from the random module's seeding rules.
"""
import sys

FIRST = ["Anna", "Bernd", "Chloé".encode("cp1252").decode("latin-1"), "Dmitri", "Eva",
         "Farid", "Greta", "Hiro", "Ines", "Jonas", "Kai", "Lena"]
LAST = ["Smith", "Müller".encode("cp1252").decode("latin-1"), "O'Brien", "Nakamura",
        "García".encode("cp1252").decode("latin-1"), "Kowalski", "Dubois", "Rossi"]
CITIES = ["Berlin", "Paris", "New York, NY", "Osaka", "São Paulo".encode("cp1252").decode("latin-1"),
          "Zürich".encode("cp1252").decode("latin-1"), "Lagos", "Perth"]
NOTES = ["", "ok", "call back", "paid, thanks", "said \"\"urgent\"\"", "<b>VIP</b>",
         "left a note, see file", "n/a"]


class Sequence:
    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % bound


def record(seq, number):
    first = FIRST[seq.next(len(FIRST))]
    last = LAST[seq.next(len(LAST))]
    city = CITIES[seq.next(len(CITIES))]
    note = NOTES[seq.next(len(NOTES))]
    fields = [
        str(number),
        '"%s, %s"' % (last, first),
        "%s.%s@example.com" % (first.lower(), number),
        '"%s"' % city if "," in city else city,
        "%d.%02d" % (seq.next(100000), seq.next(100)),
        "20%02d-%02d-%02d" % (seq.next(30), 1 + seq.next(12), 1 + seq.next(28)),
        "yes" if seq.next(2) else "no",
        '"%s"' % note if ("," in note or '"' in note) else note,
    ]
    return ",".join(fields)


def write_rows(count, path):
    seq = Sequence(20240601)
    with open(path, "w", encoding="latin-1", newline="") as out:
        batch = []
        for number in range(1, count + 1):
            batch.append(record(seq, number))
            if len(batch) == 10000:
                out.write("\r\n".join(batch) + "\r\n")
                batch = []
        if batch:
            out.write("\r\n".join(batch) + "\r\n")


def write_line(size, path):
    seq = Sequence(19700101)
    pieces = []
    total = 0
    number = 1
    while total < size:
        piece = record(seq, number) + ","
        pieces.append(piece)
        total += len(piece)
        number += 1
    # Whole records only, so that every quoted field is closed.
    text = "".join(pieces)[:-1] + "\r\n"
    with open(path, "w", encoding="latin-1", newline="") as out:
        out.write(text)


def main(argv):
    if len(argv) != 4 or argv[1] not in ("rows", "line"):
        sys.stderr.write(__doc__)
        return 2
    count, path = int(argv[2]), argv[3]
    (write_rows if argv[1] == "rows" else write_line)(count, path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
