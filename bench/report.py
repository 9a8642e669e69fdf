"""Writes the performance report, in Markdown, from what bench/run.sh leaves
in the build folder: calls.json (runtime-bench), startup.txt
(startup-bench), instructions.txt (bench/instructions.sh) and bench/objects
(the run-time's objects, from bench/CMakeLists.txt).

Every ratio is the median of ratios measured in one time window: the
contenders of one repetition of a case, or the programs of one start-up
round. A ratio below 1.0 where the routine makes more system calls than its
floor can only come of a broken measurement, and stops the report."""
import json
import platform
import statistics
import subprocess
import sys
from collections import defaultdict
from pathlib import Path

out = Path(sys.argv[1])

# label, case, libc's contender, system calls of the routine and of its
# floor (strace; for the input cases the rewind before each call included),
# an output routine?
rows = [
    ("`__writeint(INT64_MIN)`", "writeint_min", "snprintf + write", 1, 1, True),
    ("`__writeint(7)`", "writeint_7", "snprintf + write", 1, 1, True),
    ("`__writechr('A')`", "writechr", "write", 1, 1, True),
    ("`__writestr` (20 bytes, length 0)", "writestr_20", "strlen + write", 1, 1, True),
    ("`__writedec(123456.789012)`", "writedec/123456_789012", 'snprintf("%f") + write', 2, 2, True),
    ("`__writedec(0.5)`", "writedec/0_5", 'snprintf("%f") + write', 2, 2, True),
    ("`__readint` (19-digit line)", "readint", "read + strtol", 3, 2, False),
    ("`__readdec` (\"123456.789012\")", "readdec", "read + strtod", 3, 2, False),
    ("`__readint`, a file of lines \"12345\"", "readint_file_lines", "stdio fscanf", 3, 1, False),
    ("`__readint`, a pipe of lines \"12345\"", "readint_pipe_lines", "stdio fscanf", 7, 6, False),
]


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def text_size(path):
    for line in run("size", "-A", str(path)).splitlines():
        if line.startswith(".text"):
            return int(line.split()[1])
    return 0


def met(ok):
    return "met" if ok else "**missed**"


# ---- per call: each case's repetitions, and the medians over them --------------

repetitions = defaultdict(list)
for b in json.loads((out / "calls.json").read_text())["benchmarks"]:
    if b["run_type"] == "iteration":
        repetitions[b["run_name"]].append(b)
count = min(len(r) for r in repetitions.values())


def median_of(case, value):
    return statistics.median(value(r) for r in repetitions[case])


ns, floor_ns, libc_ns, over_floor, over_libc, spread = {}, {}, {}, {}, {}, {}
for _, case, _, _, _, _ in rows:
    ns[case] = median_of(case, lambda r: r["routine_ns"])
    floor_ns[case] = median_of(case, lambda r: r["floor_ns"])
    libc_ns[case] = median_of(case, lambda r: r["libc_ns"])
    over_floor[case] = median_of(case, lambda r: r["routine_ns"] / r["floor_ns"])
    over_libc[case] = median_of(case, lambda r: r["routine_ns"] / r["libc_ns"])
    ratios = [r["routine_ns"] / r["floor_ns"] for r in repetitions[case]]
    quartiles = statistics.quantiles(ratios, n=4) if len(ratios) > 1 else [ratios[0]] * 3
    spread[case] = (quartiles[2] - quartiles[0]) / over_floor[case]

impossible = [label for label, case, _, mine, floor, _ in rows if mine > floor and over_floor[case] < 1.0]
if impossible:
    sys.exit(f"report.py: below its floor with more system calls: {', '.join(impossible)}; "
             "the measurement is broken")

# ---- start-up: rounds of bare exit, on startup.o, static glibc -------------------

rounds = [[float(t) for t in line.split()] for line in (out / "startup.txt").read_text().splitlines()]
bare, ours, glibc = (statistics.median(r[i] for r in rounds) for i in range(3))
ours_bare = statistics.median(r[1] / r[0] for r in rounds)
glibc_bare = statistics.median(r[2] / r[0] for r in rounds)
ours_glibc = statistics.median(r[1] / r[2] for r in rounds)

# ---- instructions and system calls a call ----------------------------------------

counted = [line.split("\t") for line in (out / "instructions.txt").read_text().splitlines()[1:]]
instructions = {label: (float(i), float(s)) for label, i, s in counted}
# The rows' system calls of __readint, against strace's count.
for case, label in (("readint_file_lines", "__readint from a file"), ("readint_pipe_lines", "__readint from a pipe")):
    kept = next(mine for _, name, _, mine, _, _ in rows if name == case)
    if instructions[label][1] != kept:
        sys.exit(f"report.py: {label} makes {instructions[label][1]:g} system calls, not {kept}: mend the rows")

# ---- size -------------------------------------------------------------------------

objects = [line.split("\t") for line in (out / "bench" / "objects").read_text().splitlines()]
sizes = [(module, text_size(path)) for module, path in objects]
code = sum(size for _, size in sizes)
program = out / "bench" / "startup-all"
stripped = out / "startup-all.stripped"
run("strip", "-o", str(stripped), str(program))

# ---- the report ---------------------------------------------------------------------

cpu = next((l.split(":", 1)[1].strip() for l in Path("/proc/cpuinfo").read_text().splitlines()
            if l.startswith("model name")), platform.processor())
lines = [
    "# Performance of the bareio run-time",
    "",
    f"Machine: {cpu}, {platform.system()} {platform.release()}, {run('nproc').strip()} cores.",
    "`bench/run.sh` writes this report to build-bench/performance.md; "
    "`bench/run.sh --update-docs` also copies it here.",
    "",
    "## Per call",
    "",
    f"{count} repetitions of each case, in one run of `runtime-bench` (its repetitions",
    "shuffled among the other cases'). A repetition times the routine, its floor and",
    "libc's equivalent interleaved, a block of 100 calls of each in turn, so the three",
    "share one time window; the times below are medians over the repetitions, each ratio",
    "the median of the repetitions' own ratios. Output goes to /dev/null. The single-line",
    "input cases read a file rewound before every call (every contender pays the rewind,",
    "counted in its system calls); the line-after-line cases read lines \"12345\" in a row,",
    "each contender from a file or a pipe of its own, rewound or refilled every 10000",
    "calls outside the timing. The floor is a routine that makes only bare system calls,",
    "with its call and `ret`: two writes for `__writedec`, one read of 20 bytes for the",
    "file cases, the line's 6 bytes read one a call for the pipe, one write for the others.",
    "",
    "| routine | system calls (routine / floor) | ns | floor ns | libc ns | routine / floor | routine / libc |",
    "|---|---:|---:|---:|---:|---:|---:|",
]
for label, case, libc, mine, floor, _ in rows:
    lines.append(f"| {label} | {mine} / {floor} | {ns[case]:.1f} | {floor_ns[case]:.1f} | "
                 f"{libc_ns[case]:.1f} ({libc}) | {over_floor[case]:.3f} | {over_libc[case]:.3f} |")
widest = max(spread, key=spread.get)
widest_label = next(label for label, case, *_ in rows if case == widest)
lines += [
    "",
    f"The repetitions' routine / floor ratios spread by at most {spread[widest] * 100:.1f} % of their",
    f"median (interquartile range), widest for {widest_label}.",
    "",
    "## Start-up",
    "",
    f"Process start to exit (`posix_spawn` to `waitpid`), {len(rounds)} rounds of `startup-bench`,",
    "each starting the three programs once in an order that rotates from round to round:",
    "a program of three instructions that only exits, a program on `startup.o` whose main",
    "returns at once, and a static glibc `int main(void) { return 0; }`. Times are medians",
    "over the rounds, ratios medians of the rounds' own ratios.",
    "",
    "| program | median µs | / bare exit |",
    "|---|---:|---:|",
    f"| bare exit | {bare:.1f} | 1.000 |",
    f"| on `startup.o` | {ours:.1f} | {ours_bare:.3f} |",
    f"| static glibc | {glibc:.1f} | {glibc_bare:.3f} |",
    "",
    f"On `startup.o` / static glibc: {ours_glibc:.3f}.",
    "",
    "## Instructions a call",
    "",
    "Counted by `bench/instructions.sh`: callgrind counts a program making 2N calls and",
    "the same program making N, and (I(2N) - I(N)) / N is what one call costs in user",
    "space: the routine, the routines and the system-call stub it calls, and the driver's",
    "loop around it (the argument, the call, a count, a compare and a branch). strace",
    "counts the system calls the same way. Output to /dev/null.",
    "",
    "| routine | instructions | system calls |",
    "|---|---:|---:|",
]
for label, (i, s) in instructions.items():
    routine, _, rest = label.partition(" ")
    lines.append(f"| `{routine}`{' ' + rest if rest else ''} | {i:g} | {s:g} |")
lines += [
    "",
    "## Size",
    "",
    "| object | code bytes (.text) |",
    "|---|---:|",
]
lines += [f"| `{module}.o` | {size} |" for module, size in sizes]
lines += [
    f"| all {len(sizes)} | {code} |",
    "",
    f"The smallest program linked with all {len(sizes)} (`bench/startup-empty.S`): "
    f"{program.stat().st_size} bytes as linked, {stripped.stat().st_size} bytes stripped.",
]

# ---- the targets, against this run's figures -----------------------------------------

output = [(label, case) for label, case, _, _, _, is_output in rows if is_output]


def worst(ratios, limit):
    """The output routines over limit, or the highest of them, as text."""
    over = [f"{label} {ratios[case]:.3f}" for label, case in output if ratios[case] > limit]
    if over:
        return ", ".join(over)
    label, case = max(output, key=lambda row: ratios[row[1]])
    return f"highest {ratios[case]:.3f} ({label})"


file_lines = over_floor["readint_file_lines"]
file_calls = instructions["__readint from a file"][1]
pipe_calls = instructions["__readint from a pipe"][1]
line_bytes = len("12345\n")
lines += [
    "",
    "## Targets",
    "",
    "| target | this run | |",
    "|---|---|---|",
    f"| every output routine at most 1.10x its floor | {worst(over_floor, 1.10)} | "
    f"{met(all(over_floor[case] <= 1.10 for _, case in output))} |",
    f"| every output routine faster than libc | {worst(over_libc, 1.0)} | "
    f"{met(all(over_libc[case] < 1.0 for _, case in output))} |",
    f"| a number read line after line from a file within 3x one bare read of 20 bytes "
    f"(aim 2.2x) | {file_lines:.3f} | {met(file_lines <= 3)}; aim {met(file_lines <= 2.2)} |",
    f"| the system calls of one `__readint` from a file at most 3 | {file_calls:g} | "
    f"{met(file_calls <= 3)} |",
    f"| the system calls of one `__readint` from a pipe at most the line's bytes + 2 "
    f"({line_bytes + 2}) | {pipe_calls:g} | {met(pipe_calls <= line_bytes + 2)} |",
    f"| start-up at most 1.05x the bare exit | {ours_bare:.3f} | {met(ours_bare <= 1.05)} |",
    f"| start-up at most 0.4x static glibc | {ours_glibc:.3f} | {met(ours_glibc <= 0.4)} |",
    f"| the {len(sizes)} objects within 2300 bytes of code | {code} bytes | {met(code <= 2300)} |",
]

# ---- reading the figures ---------------------------------------------------------------

write_floors = [floor_ns[case] for case in ("writeint_min", "writeint_7", "writechr", "writestr_20")]
low, high = min(write_floors), max(write_floors)
stdio_file, stdio_pipe = libc_ns["readint_file_lines"], libc_ns["readint_pipe_lines"]
file_ns, pipe_ns = ns["readint_file_lines"], ns["readint_pipe_lines"]
writeint_instructions = instructions["__writeint(INT64_MIN)"][0]
writedec_instructions = instructions["__writedec(123456.789012)"][0]
dec_long, dec_half = over_libc["writedec/123456_789012"], over_libc["writedec/0_5"]
dec_floor = max(over_floor["writedec/123456_789012"], over_floor["writedec/0_5"])
lines += [
    "",
    "## Reading the figures",
    "",
    "- System calls of one `__readint` of \"12345\\n\": from a file `fstat` (what kind of",
    "  descriptor), one `read` of 20 bytes and `lseek` back to just after the newline (only",
    "  when more follows it); `fstat` and `lseek` cost less than a `read`. From a pipe",
    "  `fstat` and a `read` a byte, the newline included: the floor's 6 reads plus the",
    "  probe. From a socket of messages: `fstat`, `getsockopt` (its type) and one `read` of",
    "  the message.",
    f"- A stateless reader against buffered C stdio on bulk input: `fscanf` reads 4 KiB",
    f"  at a time and then parses lines from memory, {stdio_file:.0f} ns a number from a file and",
    f"  {stdio_pipe:.0f} ns from a pipe; `__readint` pays its system calls for every line,",
    f"  {file_ns:.0f} ns ({over_libc['readint_file_lines']:.0f}x) from a file and {pipe_ns:.0f} ns "
    f"({over_libc['readint_pipe_lines']:.0f}x) from a pipe.",
    "  That is the price of taking exactly one line and keeping nothing: the rest of the",
    "  input stays where the next routine, or the next program, finds it, and there is no",
    "  buffer to lose at exit. A program that owns its input and needs bulk speed can take",
    "  it in large pieces with `__readstr` and split the lines itself.",
    f"- The floor is {low:.0f}-{high:.0f} ns a write in this run, so 10 % is about {low / 10:.0f} ns",
    "  for everything a routine does besides its system call; where a system call costs",
    "  less, the same instructions weigh more. The floor writes constant bytes; a routine",
    "  first stores the text it then hands to the kernel.",
    f"- `__writeint(INT64_MIN)`: {writeint_instructions:g} instructions with its `__writestr` and the",
    "  driver's loop: two 8-digit groups split by multiplications, digits two at a time",
    "  from a table, the register saves the convention asks for, and the call into",
    "  `__writestr`, which continues short writes. A loop-free variant (digit count from",
    "  `bsr`) measured no better and slower for short numbers. The kernel entry waits for",
    "  the digit chain: the two 8-digit groups, each a multiply, a split by 10^4 and by 100",
    "  and a table load, about 35-40 cycles.",
    f"- `__writedec`: two writes plus {writedec_instructions:g} instructions for 123456.789012 (the integer",
    "  part through `__writeint`, six fraction digits). Its digits are defined by a",
    "  sequence of double operations, which run as they are written: multiply, truncate,",
    "  convert back, subtract, about twenty cycles a digit. (A second digit loop of integer",
    "  steps on the fraction bits gave the same digits from 8 up at four cycles a digit:",
    "  about 2 % of a call, 1.08x the floor against 1.10x, for some 100 bytes of code that",
    f"  the 2300-byte budget has no room for.) It takes at most {dec_floor:.3f}x its floor of two",
    f"  bare writes here. Against `snprintf(\"%f\")` + one write it takes {dec_long:.2f}x the time",
    f"  for 123456.789012 and {dec_half:.2f}x for 0.5: it makes two system calls where libc",
    "  makes one, so it wins where a write costs less than libc's formatting and loses",
    "  where it costs more.",
    "- `__readdec`: each integer digit is a multiplication and an addition, each fraction",
    "  digit a division and an addition, as the conversion's definition fixes; next to its",
    "  system calls they weigh little.",
    "- `__writechr` and `__writestr` against libc's bare `write`: libc's `write` is itself a",
    "  floor (one system call behind a call), so these ratios sit near 1.0. `__writestr`",
    "  with length 0 finds the zero byte a byte at a time and never reads past it (a",
    "  vector scan would read beyond the text, which memory checkers report); the routines",
    "  are not padded to 16-byte boundaries, which keeps the objects small.",
]
print("\n".join(lines))
