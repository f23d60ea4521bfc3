#!/usr/bin/env python3
"""Writes the sample firmware files: a 16-byte header and a random payload,
never a real image. Run from this folder; the same seed gives the same files."""
import random
import struct


def crc_words(payload):
    # CRC-32/MPEG-2 over whole little-endian words, each fed most significant byte first.
    crc = 0xFFFFFFFF
    for w in range(0, len(payload) // 4 * 4, 4):
        for b in reversed(payload[w:w + 4]):
            crc ^= b << 24
            for _ in range(8):
                crc = ((crc << 1) ^ 0x04C11DB7) & 0xFFFFFFFF if crc & 0x80000000 else (crc << 1) & 0xFFFFFFFF
    return crc


def write(name, product, major, sub, size, flags=0, seed=1):
    payload = random.Random(seed).randbytes(size)
    header = product.encode().ljust(8, b"\0")[:8] + struct.pack("<BBHI", sub, major, flags, crc_words(payload))
    with open(name, "wb") as f:
        f.write(header + payload)


# The demo line's families run 4.17: each sample is newer. 243,712 bytes fill the
# image buffer (59 blocks of 4096 and one of 2048); 10,003 leaves a last block
# of 1,811 bytes, padded to 1,824, and 3 bytes outside the CRC.
write("wxir-590_4.18.bin", "WXIR-590", 4, 18, 243712, seed=1)
write("wxuv-592_4.18.bin", "WXUV-592", 4, 18, 40960 + 1000, seed=2)
write("wxir-590_4.19_odd.bin", "WXIR-590", 4, 19, 10003, seed=3)
