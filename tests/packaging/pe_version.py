#!/usr/bin/env python3
"""pe_version.py FILE.exe: prints the version resource of a Windows program:
"FILEVERSION a.b.c.d", "PRODUCTVERSION a.b.c.d" and one "Name=value" line
per string, read with wrestool (icoutils) and parsed here."""
import struct
import subprocess
import sys

FIXED_SIGNATURE = 0xFEEF04BD


def align4(offset):
    return (offset + 3) & ~3


def walk(blob, offset, found):
    """One VS_VERSIONINFO-style block at offset and its children."""
    length, value_length, value_type = struct.unpack_from("<3H", blob, offset)
    end = offset + length
    key_end = offset + 6
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[offset + 6:key_end].decode("utf-16-le")
    value = align4(key_end + 2)
    if key == "VS_VERSION_INFO":
        fixed = struct.unpack_from("<13I", blob, value)
        if fixed[0] != FIXED_SIGNATURE:
            raise ValueError("no fixed file information")
        for name, high, low in (("FILEVERSION", fixed[2], fixed[3]),
                                ("PRODUCTVERSION", fixed[4], fixed[5])):
            found.append("%s %d.%d.%d.%d" % (name, high >> 16, high & 0xFFFF,
                                             low >> 16, low & 0xFFFF))
    elif value_type == 1 and value_length and key not in ("StringFileInfo",):
        text = blob[value:value + 2 * value_length].decode("utf-16-le").rstrip("\0")
        found.append("%s=%s" % (key, text))
    child = align4(value + (value_length * (2 if value_type == 1 else 1)))
    while child < end:
        child_length = struct.unpack_from("<H", blob, child)[0]
        if child_length == 0:
            break
        walk(blob, child, found)
        child = align4(child + child_length)


if __name__ == "__main__":
    blob = subprocess.run(["wrestool", "-x", "--raw", "-t", "16", sys.argv[1]],
                          check=True, capture_output=True).stdout
    lines = []
    walk(blob, 0, lines)
    print("\n".join(lines))
