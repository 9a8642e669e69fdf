#!/usr/bin/env python3
"""Which instructions of the run-time the fuzz corpora reach.

    tests/fuzz/coverage.py [build folder]        (default: build)

Replays each target's seeds (tests/fuzz/corpus/<target>) and what the fuzzer kept
(build-fuzz/corpus/<target>, when there) through replay-<target> from the
build folder under callgrind, and reports, routine by routine, how many of
its instructions some input executed, listing those none did. The fuzzers
themselves cannot see the assembly (it has no coverage counters): this is
how to tell what they exercised. Needs valgrind and binutils."""
import collections
import pathlib
import re
import subprocess
import sys
import tempfile

root = pathlib.Path(__file__).resolve().parent.parent.parent
build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else root / "build").resolve()
targets = (build / "tests/fuzz/targets").read_text().split()  # as tests/fuzz/CMakeLists.txt lists them


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


# The routines: every function symbol the three objects define.
objects = sorted(build.glob("runtime/CMakeFiles/bareio_*.dir/*.o"))
routines = {line.split()[2] for o in objects for line in output("nm", "--defined-only", str(o)).splitlines()
            if len(line.split()) == 3 and line.split()[1] in "tT"}


def routine_at(spans, address):
    """The routine holding an address, and the address's offset in it."""
    for routine, (start, end) in spans.items():
        if start <= address < end:
            return routine, address - start
    return None, None


# Every replay program links the same object code: each routine is listed
# from the first program that holds it, and offsets count from its start.
instructions = {}                       # routine -> [(offset, text)]
reached = collections.defaultdict(set)  # routine -> offsets
with tempfile.TemporaryDirectory() as work:
    for target in targets:
        binary = build / "tests/fuzz" / f"replay-{target}"
        corpora = [str(c) for c in (root / "tests/fuzz/corpus" / target, root / "build-fuzz/corpus" / target) if c.is_dir()]
        spans = {}
        for line in output("nm", "-S", "--defined-only", str(binary)).splitlines():
            fields = line.split()
            if len(fields) == 4 and fields[3] in routines:
                start = int(fields[0], 16)
                spans[fields[3]] = (start, start + int(fields[1], 16))
        listed = set(instructions)
        for line in output("objdump", "-d", "--no-show-raw-insn", "-M", "intel", str(binary)).splitlines():
            match = re.match(r"\s+([0-9a-f]+):\s+(.*)", line)
            if match:
                routine, offset = routine_at(spans, int(match.group(1), 16))
                if routine and routine not in listed:
                    instructions.setdefault(routine, []).append((offset, match.group(2)))
        profile = pathlib.Path(work) / f"{target}.out"
        subprocess.run(["valgrind", "--tool=callgrind", "--dump-instr=yes", "--compress-pos=no",
                        "--compress-strings=no", f"--callgrind-out-file={profile}", str(binary), *corpora],
                       check=True, capture_output=True)
        current = None
        for line in profile.read_text().splitlines():
            if line.startswith("ob="):
                current = line[3:].strip() == str(binary)
            elif current and line.startswith("0x"):
                routine, offset = routine_at(spans, int(line.split()[0], 16))
                if routine:
                    reached[routine].add(offset)
        print(f"replayed {target}: {', '.join(corpora)}", file=sys.stderr)

total = hit = 0
for routine in sorted(instructions):
    lines = instructions[routine]
    missed = [(offset, text) for offset, text in lines if offset not in reached[routine]]
    total += len(lines)
    hit += len(lines) - len(missed)
    print(f"{routine:14} {len(lines) - len(missed):4} of {len(lines):4} instructions")
    for offset, text in missed:
        print(f"    not reached: +0x{offset:x}  {text}")
print(f"{'all':14} {hit:4} of {total:4} instructions ({100.0 * hit / total:.1f}%)")
