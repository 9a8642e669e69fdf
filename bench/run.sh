#!/usr/bin/env bash
# Builds the benchmarks, times every routine beside its floor and libc and
# process start-up (each interleaved), counts instructions a call, measures
# code sizes, and writes the report to build-bench/performance.md. With
# --update-docs it also copies the report to docs/performance.md, the
# tracked copy; without, it changes no tracked file. Needs valgrind and
# strace (bench/instructions.sh). A few minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
update=false
case ${1-} in
  --update-docs) update=true ;;
  "") ;;
  *) echo "usage: bench/run.sh [--update-docs]" >&2; exit 2 ;;
esac
out=build-bench
cmake --workflow --preset bench >/dev/null
"$out/bench/runtime-bench" --benchmark_repetitions=20 --benchmark_min_time=0.2 \
  --benchmark_enable_random_interleaving=true --benchmark_format=json >"$out/calls.json"
"$out/bench/startup-bench" 3000 "$out"/bench/{bare-exit,startup-empty,glibc-empty} >"$out/startup.txt"
bench/instructions.sh "$out" >"$out/instructions.txt"
python3 bench/report.py "$out" >"$out/performance.md"
if $update; then
  cp "$out/performance.md" docs/performance.md
fi
cat "$out/performance.md"
