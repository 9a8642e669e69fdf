#!/usr/bin/env bash
# Instructions and system calls a call of five of the run-time's routines.
# bench/calls.c makes N calls, then 2N: (count(2N) - count(N)) / N leaves
# out start-up, exit and the driver's set-up. Instructions are counted by
# callgrind, in user space: the routine with the routines and the
# system-call stub it calls, the call itself and the driver's loop around
# it (a compare, an increment, a branch). System calls are counted by
# strace. Output goes to /dev/null; the readers read a file, a pipe and a
# terminal (a pty that script(1) makes, in canonical mode) of lines
# "12345" (the file longer than the calls read: at its end a read comes
# back short, and no seek back follows).
#
#   bench/instructions.sh [BUILD]   BUILD: the bench preset's folder
#                                   (default build-bench), already built
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
calls=$build/bench/calls
n=1000
lines=$build/lines
awk -v n=$((4 * n)) 'BEGIN { for (i = 0; i < n; ++i) print 12345 }' >"$lines"

# One count over a whole run: $1 instructions or syscalls, $2 the routine's
# number, $3 the calls, $4 the input (a file or a pipe of lines).
count() {
  local command=("$calls" "$2" "$3")
  if [[ $1 == instructions ]]; then
    command=(valgrind --tool=callgrind --callgrind-out-file=/dev/null "${command[@]}")
  else
    command=(strace -qq -o "$build/trace" "${command[@]}")
  fi
  if [[ $4 == pipe ]]; then
    head -n "$3" "$lines" | "${command[@]}" 2>"$build/count.log" >/dev/null
  elif [[ $4 == terminal ]]; then  # typed: script writes the lines to the pty
    { head -n "$3" "$lines"; sleep 1; } |
      script -qefc "$(printf '%q ' "${command[@]}") 2>$(printf %q "$build/count.log") >/dev/null" /dev/null >/dev/null
  else
    "${command[@]}" <"$lines" 2>"$build/count.log" >/dev/null
  fi
  if [[ $1 == instructions ]]; then
    sed -n 's/.*Collected : //p' "$build/count.log"
  else
    wc -l <"$build/trace"
  fi
}

per_call() {
  local once twice
  once=$(count "$1" "$2" $n "$3")
  twice=$(count "$1" "$2" $((2 * n)) "$3")
  awk -v a="$once" -v b="$twice" -v n=$n 'BEGIN { printf "%g", (b - a) / n }'
}

printf 'routine\tinstructions\tsystem calls\n'
while IFS=: read -r routine input label; do
  printf '%s\t%s\t%s\n' "$label" "$(per_call instructions "$routine" "$input")" \
    "$(per_call syscalls "$routine" "$input")"
done <<'ROUTINES'
0:file:__writeint(INT64_MIN)
1:file:__writedec(123456.789012)
2:file:__writechr('A')
3:file:__readint from a file
3:pipe:__readint from a pipe
3:terminal:__readint at a terminal
4:file:__readline from a file
4:pipe:__readline from a pipe
4:terminal:__readline at a terminal
ROUTINES
