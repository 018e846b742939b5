#!/usr/bin/env python3
"""Writes the seed corpus of the patch_delta fuzz target: two bytes with the length of the
previous version, the previous version, then a block delta."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
previous = bytes((i * 7) & 0xFF for i in range(700))


def header(destination, source):
    return struct.pack("<ii", destination, source)


def copy(destination, source, edits=()):
    out = header(destination, source)
    for offset, data in edits:
        out += bytes([offset, len(data)]) + data
    return out + b"\0\0"


def literal(destination, data):
    n = len(data)
    return header(destination, -1 if n == 256 else -n - 1) + data + b"\0" * (256 - n)


def seed(name, delta, prev=previous):
    with open(os.path.join(here, name), "wb") as f:
        f.write(struct.pack("<H", len(prev)) + prev + delta)


seed("literal_of_100_bytes", literal(0, b"L" * 100))
seed("copy_with_edits", copy(0, 0, [(0, b"AB"), (10, b"C"), (5, b"")]))
seed("shifted_copies_and_literal", copy(0, 3) + copy(256, 259) + literal(512, b"tail"))
seed("copy_near_end_of_previous", copy(0, 600, [(200, b"zz")]))
seed("blocks_out_of_order", copy(256, 0) + copy(0, 256))
seed("edit_past_block_end", header(0, 0) + bytes([200, 57]) + b"x" * 57 + b"\0\0")
seed("literal_past_delta_end", header(0, -101) + b"y" * 50)
seed("source_below_minus_256", header(0, -257) + b"\0" * 256)
seed("truncated_header", b"\1\0\0")
