#!/usr/bin/env python3
"""Writes the seed corpus of the patch_directory fuzz target: whole patch data files for the
small application the target sets up in C:\\APP (files stamped 2001-05-06 07:08:10)."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)


def dos(y, mo, d, h, mi, s):
    return (((y - 1980) << 9 | mo << 5 | d) << 16) | (h << 11 | mi << 5 | s // 2)


STAMP = dos(2001, 5, 6, 7, 8, 10)
NEW = dos(2002, 3, 4, 5, 6, 8)


def header(path, kind, offset, size, stamp=STAMP, new=NEW):
    return path.encode().ljust(200, b"\0")[:200] + struct.pack("<IIIii", stamp, new, kind, offset, size) + b"\0"


class File:
    def __init__(self):
        self.data = b""

    def record(self, path, kind, payload=b"", stamp=STAMP):
        self.data += header(path, kind, len(self.data), 221 + len(payload), stamp) + payload
        return self


def copy(destination, source, edits=()):
    out = struct.pack("<ii", destination, source)
    for offset, data in edits:
        out += bytes([offset, len(data)]) + data
    return out + b"\0\0"


def literal(destination, data):
    n = len(data)
    return struct.pack("<ii", destination, -1 if n == 256 else -n - 1) + data + b"\0" * (256 - n)


def seed(name, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)


delta = copy(0, 3, [(0, b"AB"), (10, b"C")]) + copy(256, 256) + literal(512, b"new") + copy(515, 900)
seed("modify_copy_delete", File().record("&ROOT&\\MAIN.EXE", 0, delta)
     .record("&ROOT&\\data\\New\\File.dat", 1, b"content")
     .record("&ROOT&\\MAIN.DLL", 2).data)
seed("modify_readme_and_shared_backup", File().record("&ROOT&\\README", 0, delta)
     .record("&ROOT&\\MAIN.DLL", 0, delta).record("&ROOT&\\MAIN.EXE", 0x400, delta).data)
seed("unknown_types", File().record("&ROOT&\\MAIN.EXE", 3).record("&ROOT&\\MAIN.EXE", 0x403).data)
seed("header_pointing_back", header("&ROOT&\\MAIN.DLL", 2, 0, 0))
seed("truncated_header", header("X", 1, 0, 300)[:150])
seed("copy_cut_short", header("&ROOT&\\CUT.TXT", 1, 0, 5000) + b"partial")
seed("edit_past_block_end", File().record("&ROOT&\\MAIN.EXE", 0, struct.pack("<ii", 0, 0) + bytes([250, 10]) + b"x" * 10 + b"\0\0").data)
seed("path_without_zero", header("A" * 200, 1, 0, 221))
