#!/usr/bin/env python3
"""Writes the sample TI-85 variable files under samples/: small files in the layout the
calculator's link software uses, for trying Calquin out with the simulated TI-85.

    tools/make_samples.py samples

Every file is made here from scratch: the signature, the file header with its comment, the
data section of header/data blocks, and the file checksum after it.
"""

import struct
import sys
from pathlib import Path

SIGNATURE = b"**TI85**"
REAL, LIST, STRING, PROGRAM, BACKUP = 0x00, 0x04, 0x0C, 0x12, 0x1D


def block(payload: bytes) -> bytes:
    """A length block: the 16-bit little-endian length, then the bytes."""
    return struct.pack("<H", len(payload)) + payload


def real(value: str) -> bytes:
    """A TI-85 real number: sign byte, exponent (0xFC00 bias), 14 BCD digits."""
    negative = value.startswith("-")
    digits = value.lstrip("-")
    whole, _, fraction = digits.partition(".")
    significant = (whole + fraction).lstrip("0") or "0"
    exponent = len(whole.lstrip("0")) - 1 if whole.strip("0") else -(
        len(fraction) - len(fraction.lstrip("0")) + 1)
    mantissa = (significant + "0" * 14)[:14]
    return (bytes([0x80 if negative else 0x00]) + struct.pack("<H", 0xFC00 + exponent) +
            bytes.fromhex(mantissa))


def variable(type_id: int, name: str, data: bytes) -> bytes:
    """One entry: the header block (data length, type, name length, name), then the data."""
    header = struct.pack("<HBB", len(data), type_id, len(name)) + name.encode("ascii")
    return block(header) + block(data)


def backup(chunks) -> bytes:
    """A backup entry: its header (chunk lengths and the type 0x1D), then three chunks."""
    first, second, third = chunks
    header = struct.pack("<HBHHH", len(first), BACKUP, len(second), len(third), 0x8D0E)
    return block(header) + block(first) + block(second) + block(third)


def variable_file(entries, comment: str) -> bytes:
    data = b"".join(entries)
    header = SIGNATURE + b"\x1a\x0c\x00" + comment.encode("ascii").ljust(42, b"\0")[:42]
    return header + struct.pack("<H", len(data)) + data + struct.pack("<H", sum(data) & 0xFFFF)


def pattern(length: int, seed: int) -> bytes:
    """Memory-like filler that shows any lost or shifted byte."""
    return bytes((seed + index * 7 + (index >> 8)) & 0xFF for index in range(length))


def samples():
    greeting = b"HELLO FROM CALQUIN"
    program = b"\x00" + bytes(range(0x20, 0x60))  # tokenised body stand-in
    numbers = b"".join(real(value) for value in ("1", "2.5", "-3", "42", "0.125"))
    return {
        "pi.85n": variable_file([variable(REAL, "PI2", real("6.2831853071796"))],
                                "Two pi"),
        "hello.85s": variable_file([variable(STRING, "GREET", block(greeting))],
                                   "A string"),
        "sampler.85g": variable_file([
            variable(REAL, "R", real("-0.5")),
            variable(LIST, "L1", struct.pack("<H", 5) + numbers),
            variable(PROGRAM, "DEMO", block(program)),
        ], "Three variables"),
        "memory.85b": variable_file([backup((pattern(600, 1), pattern(120, 2),
                                             pattern(900, 3)))], "Backup"),
    }


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "samples")
    folder.mkdir(parents=True, exist_ok=True)
    for name, contents in samples().items():
        (folder / name).write_bytes(contents)
        print(f"{folder / name}: {len(contents)} bytes")


if __name__ == "__main__":
    main()
