#!/usr/bin/env python3
"""Writes the seed corpus of the delta encoder's fuzz target: version pairs named after what
they exercise. Input format: 2-byte little-endian old length, old version, new version."""
import os
import random
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
rnd = random.Random(9)


def blob(n, alphabet=256):
    return bytes(rnd.randrange(alphabet) for _ in range(n))


def put(name, old, new):
    with open(os.path.join(here, name), "wb") as f:
        f.write(struct.pack("<H", len(old)) + old + new)


base = blob(3000, 5)
put("old_empty_new_short", b"", b"abc")
put("both_one_byte", b"x", b"y")
put("new_255", base, base[:255])
put("new_256", base, base[100:356])
put("new_257", base, base[7:264])
put("insertion", base, base[:1000] + b"INSERTED" + base[1000:])
put("deletion", base, base[:500] + base[900:])
put("scattered_edits", base, bytes(b ^ 1 if i % 40 == 3 else b for i, b in enumerate(base)))
put("moved_halves", base, base[1500:] + base[:1500])
put("zeros_in_new", base, bytes(1000) + base[:700])
put("old_shorter_than_window", b"0123456789", base[:600])
put("repetitive", b"\x90" * 4000, b"\x90" * 2000 + b"\xcc" + b"\x90" * 2000)
