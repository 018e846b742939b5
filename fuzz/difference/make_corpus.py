#!/usr/bin/env python3
"""Writes the seed corpus of the difference fuzz target: two bytes with the length of the
old file, the old file, then a difference record (layout in difference/README.md)."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
old = bytes((i * 7) & 0xFF for i in range(600))


def number(n):
    out = bytearray()
    while n >= 0x80:
        out.append(n & 0x7F | 0x80)
        n >>= 7
    return bytes(out) + bytes([n])


def record(old_size, new_size, entries, difference, extra):
    """entries: (add, copy, seek); difference: the new - old bytes in full."""
    control = b"".join(number(a) + number(c) + number(2 * s if s >= 0 else -2 * s - 1) for a, c, s in entries)
    runs, changes, zeros = b"", b"", 0
    for d in difference:
        if d == 0:
            zeros += 1
        else:
            runs += number(zeros)
            changes += bytes([d])
            zeros = 0
    head = b"MDIF" + struct.pack("<9I", 1, old_size, new_size, len(entries), len(control), len(difference),
                                 len(changes), len(runs), len(extra))
    return head + control + runs + changes + extra


def seed(name, rec, prev=old):
    with open(os.path.join(here, name), "wb") as f:
        f.write(struct.pack("<H", len(prev)) + prev + rec)


seed("same_file", record(600, 600, [(600, 0, 0)], bytes(600), b""))
seed("new_file_from_nothing", record(0, 5, [(0, 5, 0)], b"", b"hello"), b"")
seed("shifted_with_changes", record(600, 610, [(300, 10, -200), (300, 0, 0)],
                                    bytes(299) + b"\x04" + bytes(300), b"0123456789"))
seed("empty_new", record(600, 0, [], b"", b""))
seed("seek_before_start", record(600, 4, [(4, 0, -5)], bytes(4), b""))
seed("copy_past_extra", record(600, 6, [(3, 2, 0), (2, 0, 0)], bytes(5), b"x"))
seed("streams_cut_short", record(600, 600, [(600, 0, 0)], bytes(600), b"")[:-9])
seed("wrong_old_size", record(599, 10, [(10, 0, 0)], bytes(10), b""))
