#!/usr/bin/env python3
"""Prints what the simulated TI-85 received (the receipt folder ti85sim --out wrote) next to
what the variable files hold, and exits 0 only when every variable arrived whole, in order,
and the session ended as it should.

    scripts/check_receipt.py <receipt folder> <file.85?>...
    scripts/check_receipt.py --saved <saved file> <file.85?>

With --saved: the file Calquin saved of what the calculator sent (from <file.85?>) must hold
the same variables byte for byte, and the data section's checksum behind them.

For each variable: its name and type, and the size and byte sum (the link's checksum) of each
data block, from the file and as received. The header and data blocks are also compared byte
for byte with NN.header and NN.data (NN.chunk1..3 for a backup).
"""

import struct
import sys
from pathlib import Path

BACKUP = 0x1D
HEADER_SIZE = 8 + 3 + 42 + 2  # signature, three marker bytes, comment, data section length


class Variable:
    def __init__(self, header: bytes, chunks):
        self.header = header
        self.chunks = chunks

    @property
    def type(self) -> int:
        return self.header[2] if len(self.header) > 2 else 0

    @property
    def name(self) -> str:
        if self.type == BACKUP:
            return "backup"
        length = self.header[3] if len(self.header) > 3 else 0
        return self.header[4:4 + length].decode("latin-1")


def read_block(data: bytes, at: int):
    if at + 2 > len(data):
        raise ValueError(f"a block at offset {at} runs past the end")
    (length,) = struct.unpack_from("<H", data, at)
    if at + 2 + length > len(data):
        raise ValueError(f"a block of {length} bytes at offset {at} runs past the end")
    return data[at + 2:at + 2 + length], at + 2 + length


def file_variables(path: Path):
    contents = path.read_bytes()
    if not contents.startswith(b"**TI85**") or len(contents) < HEADER_SIZE:
        raise ValueError(f"{path} is not a TI-85 variable file")
    (length,) = struct.unpack_from("<H", contents, HEADER_SIZE - 2)
    section = contents[HEADER_SIZE:HEADER_SIZE + length]
    variables, at = [], 0
    while at < len(section):
        header, at = read_block(section, at)
        count = 3 if len(header) > 2 and header[2] == BACKUP else 1
        chunks = []
        for _ in range(count):
            chunk, at = read_block(section, at)
            chunks.append(chunk)
        variables.append(Variable(header, chunks))
    return variables


def received_variables(folder: Path):
    variables = []
    for index in range(1000):
        stem = folder / f"{index:02d}"
        header_path = Path(f"{stem}.header")
        if not header_path.exists():
            break
        chunks = []
        if Path(f"{stem}.data").exists():
            chunks.append(Path(f"{stem}.data").read_bytes())
        for number in (1, 2, 3):
            chunk = Path(f"{stem}.chunk{number}")
            if chunk.exists():
                chunks.append(chunk.read_bytes())
        variables.append(Variable(header_path.read_bytes(), chunks))
    return variables


def sizes(variable) -> str:
    return ",".join(str(len(chunk)) for chunk in variable.chunks) or "-"


def sums(variable) -> str:
    return ",".join(f"0x{sum(chunk) & 0xFFFF:04X}" for chunk in variable.chunks) or "-"


def check_saved(saved: Path, sent: Path) -> int:
    contents = saved.read_bytes()
    (length,) = struct.unpack_from("<H", contents, HEADER_SIZE - 2)
    section = contents[HEADER_SIZE:HEADER_SIZE + length]
    trailer = contents[HEADER_SIZE + length:]
    checksum_ok = trailer == struct.pack("<H", sum(section) & 0xFFFF)
    want, got = file_variables(sent), file_variables(saved)
    row = "{:<9} {:<5} {:>12} {:>20}  {}"
    print(f"Saved by Calquin: {saved}")
    print(row.format("variable", "type", "bytes", "checksum", ""))
    ok = checksum_ok and len(want) == len(got)
    for index in range(max(len(want), len(got))):
        sent_one = want[index] if index < len(want) else None
        saved_one = got[index] if index < len(got) else None
        same = sent_one is not None and saved_one is not None and \
            sent_one.header == saved_one.header and sent_one.chunks == saved_one.chunks
        ok = ok and same
        shown = saved_one or sent_one
        print(row.format(shown.name, f"0x{shown.type:02X}", sizes(shown), sums(shown),
                         "match" if same else "DIFFERENT"))
    print("file checksum: " + ("right" if checksum_ok else "WRONG"))
    print("the file holds what the calculator sent" if ok else
          "the file does NOT hold what the calculator sent")
    return 0 if ok else 1


def main() -> int:
    if len(sys.argv) == 4 and sys.argv[1] == "--saved":
        return check_saved(Path(sys.argv[2]), Path(sys.argv[3]))
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    folder = Path(sys.argv[1])
    expected = []
    for name in sys.argv[2:]:
        expected.extend((Path(name).name, variable) for variable in file_variables(Path(name)))
    received = received_variables(folder)
    result_path = folder / "result.txt"
    result = result_path.read_text().strip() if result_path.exists() else "(no result.txt)"
    wanted_result = "backup" if expected and expected[-1][1].type == BACKUP else \
        "end of transmission"

    row = "{:<12} {:<9} {:<5} {:>12} {:>20}  {:>12} {:>20}  {}"
    print(f"Receipt of the simulated TI-85 ({folder}):")
    print(row.format("file", "variable", "type", "file bytes", "file checksum", "received",
                     "checksum", ""))
    ok = True
    for index in range(max(len(expected), len(received))):
        file_name, want = expected[index] if index < len(expected) else ("-", None)
        got = received[index] if index < len(received) else None
        same = want is not None and got is not None and want.header == got.header and \
            want.chunks == got.chunks
        ok = ok and same
        shown = want or got
        print(row.format(file_name, shown.name, f"0x{shown.type:02X}",
                         sizes(want) if want else "-", sums(want) if want else "-",
                         sizes(got) if got else "-", sums(got) if got else "-",
                         "match" if same else "DIFFERENT"))
    print(f"session: {result}")
    if result != wanted_result:
        print(f"the session should have ended with: {wanted_result}")
        ok = False
    if not expected:
        ok = False
    print("the calculator received the files exactly" if ok else
          "the calculator did NOT receive the files exactly")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
