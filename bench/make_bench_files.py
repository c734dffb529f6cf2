#!/usr/bin/env python3
"""The files the transfer benchmarks send: small.85s (a string of 5 characters, 7 data bytes)
and large.85p (a program of <size> data bytes).

    bench/make_bench_files.py <folder> <size>
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tools"))
from make_samples import PROGRAM, STRING, block, pattern, variable, variable_file  # noqa: E402

folder, size = Path(sys.argv[1]), int(sys.argv[2])
small = variable_file([variable(STRING, "SMALL", block(b"HELLO"))], "Small")
large = variable_file([variable(PROGRAM, "LARGE", block(pattern(size - 2, 5)))], "Large")
(folder / "small.85s").write_bytes(small)
(folder / "large.85p").write_bytes(large)
