#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into tests/fuzz/corpus/<target>/.

Run it again after changing a list; each seed's file name is the hex digest
of its bytes, so rerunning it never duplicates a seed."""
import hashlib
import math
import pathlib
import struct
import sys

here = pathlib.Path(__file__).resolve().parent

integer_texts = [b"123\n", b"-45", b"12abc", b"", b"-", b"--5", b" 7", b"+7", b"007",
                 b"9223372036854775807", b"9223372036854775808", b"-9223372036854775808",
                 b"18446744073709551616", b"1234567890123456789012345\n42\n", b"1\x802", b"\xb1", b"/:",
                 b"12\x0034", b"42\r\n-7\n", b"0" * 63 + b"7\n5\n", b"0" * 64 + b"7\n5\n",
                 b"9" * 300 + b"\n-5\n", b"3 4\n1.5\n.5\n", b"-1000000000000000000\n-5\n", b"1\r2\n"]
decimal_texts = [b"12.5", b"-3.25", b".5", b"7.", b"1.2.3", b"1e3", b"99999999999999999999",
                 b"9007199254740993", b"-9007199254740993.5", b"0.0000005", b"3.14159",
                 b"123456789012345678901234567890.5", b"-0", b"2\xb5", b"1.25\r\n-0.5\n"]
integers = [0, -1, 7, -7, 2**63 - 1, -2**63, 10**8, 10**8 - 1, 10**16, -10**18, 0x4847464544434241, 0x434241]
doubles = [0.0, -0.0, 2.5, -0.25, 0.9999996, 0.9416295, 947827487059.3, 1e20, 2.0**63, -(2.0**63),
           1.7976931348623157e308, 5e-324, 2.2250738585072014e-308, math.inf, -math.inf, math.nan,
           123456.789012, 8.0, 7.999999999]


def quad(value):
    return struct.pack("<q", value) if isinstance(value, int) else struct.pack("<d", value)


def contract_seeds():
    """n stdin bytes, m argument bytes, then 17-byte steps: options, argument, seed.
    Options: routine in bits 0-3, failing descriptors 0x10, raw index 0x40, misaligned 0x80."""
    stdin = b"42\n-7.5\nhello, world\n12345678901234567890123\n"
    arguments = b"12.5 -3 abc 9223372036854775808"
    header = bytes([len(stdin)]) + stdin + bytes([len(arguments)]) + arguments
    every_routine = b"".join(bytes([routine | (0x80 if routine % 2 else 0)]) + quad(index) + quad(routine * 977)
                             for routine in range(10) for index in (0, 3))
    writes = b"".join(bytes([routine]) + quad(value) + quad(i)
                      for i, (routine, value) in enumerate([(5, -2**63), (6, 0x4847464544434241), (9, 0.9416295),
                                                             (9, 1.7976931348623157e308), (2, 5 | 12 << 32), (2, 7)]))
    reads = b"".join(bytes([routine]) + quad(capacity) + quad(capacity)
                     for routine, capacity in [(1, 3), (1, 0), (4, 0), (8, 0), (1, 64), (4, 0), (8, 0)])
    failing = b"".join(bytes([routine | 0x10]) + quad(7) + quad(routine) for routine in (1, 4, 8, 2, 5, 6, 9))
    return [header + every_routine, header + writes, header + reads, b"\x00\x00" + every_routine,
            header + failing + reads]


seeds = {
    "read": integer_texts + decimal_texts,
    # Nine bytes: n, then units in the last place from (n + 0.5) / 10^6.
    "write": [quad(v) for v in integers + doubles] + [quad(n) + struct.pack("b", steps) for n, steps in
                                                      [(0, 0), (0, -1), (0, 1), (941629, 2), (123456789012, -3),
                                                       (999999, 0)]],
    "contract": contract_seeds(),
}

for target, inputs in seeds.items():
    folder = here / target
    folder.mkdir(exist_ok=True)
    for data in inputs:
        (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)
    print(f"{target}: {len(inputs)} seeds", file=sys.stderr)
