#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into corpus/<target>/seed-*.

The targets read their inputs with libFuzzer's FuzzedDataProvider: numbers
and flags from the end, byte runs from the front. Input builds both ends in
the order the target consumes them. Run it again after changing what a
target consumes; the regression inputs beside the seeds stay as they are.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc(data):
    c = 0xFFFF
    for b in data:
        c ^= b
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
    return bytes([c & 0xFF, c >> 8])


def frame(body):
    return bytes(body) + crc(body)


def answer(address, command, data):
    """A record answer: header (model, serial, nonce), data, CRC."""
    head = bytes([address, 0xC8]) + struct.pack("<H", len(data) + 11) + bytes([command])
    head += struct.pack("<HII", 0x0102, 21030001, 0x11223344)
    return frame(head + bytes(data))


def request(address, command, f4f5, payload):
    body = bytes([0xC8]) + struct.pack("<H", len(payload) + 3) + bytes([command]) + bytes(f4f5) + bytes(payload)
    return frame(bytes([address]) + body)


class Input:
    def __init__(self):
        self.front, self.back = bytearray(), bytearray()

    def int(self, value, lo, hi, bits=64):
        span, offset, n = hi - lo, 0, 0
        while offset < bits and span >> offset:
            offset, n = offset + 8, n + 1
        self.back += (value - lo).to_bytes(n, "big") if n else b""
        return self

    def flag(self, on):
        return self.int(1 if on else 0, 0, 255, 8)

    def bytes(self, data):
        self.front += bytes(data)
        return self

    def string(self, text):  # ConsumeRandomLengthString: ends at a backslash and another byte
        self.front += text.replace(b"\\", b"\\\\") + b"\\x"
        return self

    def data(self):
        return bytes(self.front) + bytes(reversed(self.back))


STATUS = answer(1, 120, bytes(range(160)))
SETUP = answer(1, 119, b"\x00" * 32 + b"\x01\x00\x00\x00" + b"maint".ljust(17, b"\x00") + b"admin".ljust(17, b"\x00") + b"\x00\x00")
ELEVATE = answer(1, 148, b"\x01")
FAULTS = answer(1, 156, struct.pack("<III", 1, 0, 0x80000000))
READ2 = frame([1, 3, 4, 0x34, 0x12, 0x78, 0x56])
WRITE6 = frame([1, 6, 0, 0, 0, 5])
EXCEPTION = frame([1, 0x83, 2])

SEEDS = {
    "comproc": [
        Input().int(200, 0, 600).bytes(STATUS),
        Input().int(30, 0, 600).bytes(ELEVATE + ELEVATE),
    ],
    "receive": [
        Input().flag(False).flag(False).int(200, 1, 600).int(4, 1, 8).bytes([0xC8, 5, 0, 120]).bytes(STATUS),
        Input().flag(True).flag(False).int(9, 1, 600).int(5, 1, 8).bytes([3, 0, 0, 0, 2]).bytes(READ2),
        Input().flag(True).flag(True).int(8, 1, 600).int(5, 1, 8).bytes([3, 0, 0, 0, 2]).bytes(EXCEPTION),
        Input().flag(True).flag(False).int(8, 1, 600).int(5, 1, 8).bytes([6, 0, 0, 0, 5]).bytes(WRITE6),
    ],
}


def transport(raw):
    i = Input().flag(raw).flag(False).int(1, 1, 247).flag(True).flag(False).int(0, 0, 255, 8).int(7, 0, 2**32 - 1, 32)
    i.int(2, 1, 4)
    for command, reply in ((120, STATUS), (119, SETUP)):
        i.int(command, 115, 163, 32).flag(True).int(len(reply), 0, 1300).bytes(reply).flag(False)
    return i


def registers():
    i = Input().int(1, 1, 247, 32).int(3, 1, 4)
    i.int(0, 0, 4).int(2, 1, 125, 32).int(0, 0, 0xFFFF, 32).int(0, 0, 0xFFFF, 16).int(0, 0, 0xFFFF, 16)
    i.int(len(READ2), 0, 300).bytes(READ2).flag(False)
    i.int(2, 0, 4).int(1, 1, 125, 32).int(0, 0, 0xFFFF, 32).int(0x0500, 0, 0xFFFF, 16)
    i.int(len(WRITE6), 0, 300).bytes(WRITE6).flag(False)
    i.int(0, 0, 4).int(2, 1, 125, 32).int(0, 0, 0xFFFF, 32).int(0, 0, 0xFFFF, 16).int(0, 0, 0xFFFF, 16)
    i.int(len(EXCEPTION), 0, 300).bytes(EXCEPTION).flag(False)
    return i.flag(False)  # the line hangs up after each reply


def echo_differs():
    """A write of 0x0500 to register 0 that the reply echoes as 0x0501."""
    reply = frame([1, 6, 0, 0, 1, 5])
    i = Input().int(1, 1, 247, 32).int(1, 1, 4)
    i.int(2, 0, 4).int(1, 1, 125, 32).int(0, 0, 0xFFFF, 32).int(0x0500, 0, 0xFFFF, 16)
    return i.int(len(reply), 0, 300).bytes(reply).flag(False).flag(False)


def profile():
    i = Input().int(1, 0, 4)
    for name in (b"k", b"k"):  # the probe: section k, key k
        i.int(0, 0, 6)
    i.int(0, 0, 6).int(0, 0, 6)  # section and key of the write: k, k
    return i.string(b"/dev/ttyUSB0:9600,n,8,1").bytes(b"[k]\nk=1\nother=2\n[Settings]\nszCom=COM3:9600,n,8,1\n")


def sim_frames():
    data_request = request(1, 120, [0, 0], struct.pack("<I", 1) + bytes([3, 0x7B, 0xE1, 0xC3, 0x5A]))
    elevate = request(1, 148, [0, 0], b"\x02" + b"admin".ljust(17, b"\x00"))
    i = Input().int(1, 1, 247, 8).flag(False).flag(True)
    for f in (data_request, elevate, frame([1, 3, 0, 0, 0, 4])):
        i.int(len(f), 1, 300).bytes(f).flag(False).int(25, 0, 40).int(0, 0, 2).flag(True)
    return i


SEEDS.update({
    "transport": [transport(False), transport(True)],
    "registers": [registers(), echo_differs()],
    "records": [STATUS, SETUP, ELEVATE, FAULTS],
    "secret_mask": [
        Input().flag(True).int(148, 115, 163, 32).int(40, 0, 0xFFFF, 16).bytes(request(1, 148, [0, 0], b"\x02" + b"admin".ljust(17, b"\x00"))),
        Input().flag(False).int(119, 115, 163, 32).int(60, 0, 0xFFFF, 16).bytes(SETUP),
    ],
    "dcb": [b"COM3:921600,n,8,1", b"/dev/ttyUSB0:9600,e,7,2", b"COM12:19200,o,8,1"],
    "profile": [profile()],
    "sim_frames": [sim_frames()],
    "sim_control": [b"drop 3", b"fault 1 5 on", b"status", b"1:ir,serial=5,locked", b"1-5:uvir,serial=100,maint=abc"],
})

for target, inputs in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for n, seed in enumerate(inputs):
        with open(os.path.join(folder, "seed-%d" % n), "wb") as f:
            f.write(seed.data() if isinstance(seed, Input) else seed)
