#!/usr/bin/env bash
# Reproduces docs/performance.md: builds the benchmarks, times every routine
# beside its floor and libc, times process start-up, measures code sizes,
# and writes the report. Needs hyperfine (apt-get install hyperfine).
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-bench
cmake --workflow --preset bench >/dev/null
"$out/bench/runtime-bench" --benchmark_repetitions=15 --benchmark_min_time=0.2 \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$out/calls.json"
hyperfine -N --warmup 300 --runs 5000 --export-json "$out/startup.json" \
  "$out/bench/bare-exit" "$out/bench/startup-empty" "$out/bench/glibc-empty" >/dev/null
python3 bench/report.py "$out" >docs/performance.md
cat docs/performance.md
