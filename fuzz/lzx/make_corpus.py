#!/usr/bin/env python3
"""Writes the seed corpus of the LZX round-trip target, named after what each input exercises.
Input format: one byte choosing the window (15 + byte % 7 bits), then the data."""
import os
import random

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
rnd = random.Random(17)


def noise(n):
    return bytes(rnd.randrange(256) for _ in range(n))


def records(n):
    out = bytearray()
    block = 0
    while len(out) < n:
        out += block.to_bytes(4, "little") + b"\x01\x00"
        out += bytes(rnd.choice(b"\x00\x00\x00\x90\xe8\xff" + bytes(range(48, 58))) for _ in range(250))
        block += 1
    return bytes(out[:n])


def put(name, window, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(bytes([window - 15]) + data)


put("window21_one_byte", 21, b"x")
put("window21_two_equal_bytes", 21, b"aa")
put("window15_short_text", 15, b"abcabcabcabd abcabcabcabd " * 5)
put("window21_frame_exactly", 21, records(32768))
put("window16_frame_and_one", 16, records(32769))
put("window21_zeros_three_frames", 21, bytes(70000))
put("window15_noise_stored", 15, noise(40000))
rep = noise(20000)
put("window15_repeat_beyond_window", 15, rep + records(30000) + rep)
put("window17_repeat_within_window", 17, rep + records(30000) + rep)
put("window18_repeated_offsets", 18, b"".join(bytes([i % 251]) * 3 + rep[:5] + rep[100:104] for i in range(3000)))
