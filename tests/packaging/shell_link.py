#!/usr/bin/env python3
"""shell_link.py FILE.lnk: prints the shortcut's target and working folder,
one "target=..." and one "working_dir=..." line, read from the Shell Link
binary format (the target from its LinkInfo, the folder from its strings)."""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, IS_UNICODE = 0x1, 0x2, 0x80
# The optional strings, in the order in which they follow LinkInfo.
STRINGS = [(0x4, "name"), (0x8, "relative_path"), (0x10, "working_dir"),
           (0x20, "arguments"), (0x40, "icon_location")]


def read_link(data):
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    offset = 0x4C
    fields = {}
    if flags & HAS_ID_LIST:
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if flags & HAS_LINK_INFO:
        size, _, _, _, base_path_offset = struct.unpack_from("<5I", data, offset)
        start = offset + base_path_offset
        fields["target"] = data[start:data.index(b"\0", start)].decode("latin-1")
        offset += size
    for bit, name in STRINGS:
        if flags & bit:
            count = struct.unpack_from("<H", data, offset)[0]
            offset += 2
            width = 2 if flags & IS_UNICODE else 1
            raw = data[offset:offset + count * width]
            # Wine counts a terminating zero that the format leaves out.
            fields[name] = raw.decode("utf-16-le" if width == 2 else "latin-1").rstrip("\0")
            offset += count * width
    return fields


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as link:
        fields = read_link(link.read())
    print("target=" + fields.get("target", ""))
    print("working_dir=" + fields.get("working_dir", ""))
