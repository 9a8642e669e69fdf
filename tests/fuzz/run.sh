#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset) and runs each for a while.
#
#   tests/fuzz/run.sh [seconds per target] [target...]     (default: 20, all)
#
# Each target starts from its seeds in tests/fuzz/corpus/<target> and keeps what
# it finds in build-fuzz/corpus/<target>, so a later run goes on from there.
# An input that makes the run-time differ from the model, or trips a
# sanitizer, is saved as build-fuzz/artifacts/<target>-crash-*; the script
# then fails. It ends with a table: executions and findings per target.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-20}
shift || true
targets=("$@")

mkdir -p build-fuzz/artifacts build-fuzz/logs
cmake --workflow --preset fuzz >build-fuzz/logs/build.log 2>&1 || {
  cat build-fuzz/logs/build.log >&2
  exit 1
}
# All of them, as tests/fuzz/CMakeLists.txt lists them.
((${#targets[@]})) || mapfile -t targets <build-fuzz/tests/fuzz/targets
failed=0
report=$(printf '%-10s %12s %10s %8s  %s\n' target executions exec/s corpus result)
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  log=build-fuzz/logs/$target.log
  mkdir -p "$corpus"
  status=0
  build-fuzz/tests/fuzz/fuzz-"$target" -max_total_time="$seconds" -print_final_stats=1 \
    -use_value_profile=1 -artifact_prefix=build-fuzz/artifacts/"$target"- \
    "$corpus" tests/fuzz/corpus/"$target" </dev/null >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  kept=$(find "$corpus" -type f | wc -l)
  if ((status == 0)); then
    result="no difference, no crash"
  else
    result="FAILED (status $status): see $log"
    failed=1
    grep -E -A4 'differs from the model|ERROR:|runtime error' "$log" >&2 || tail -n 20 "$log" >&2
  fi
  report+=$'\n'$(printf '%-10s %12s %10s %8s  %s' "$target" "${runs:-?}" "${speed:-?}" "$kept" "$result")
done
echo "$report"
exit "$failed"
