#!/usr/bin/env bash
# Counts the instructions each benchmark program executes, with valgrind's
# callgrind, on inputs small enough for it (it runs some 50 times slower).
# Counts are exact and repeatable on any machine load, so they compare two
# builds of vsk better than wall times do.
#
#   bench/callgrind.sh VSK [VSK...]    e.g. build-bench/bin/vsk
#
# Prints one row per program, one column per vsk given.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || { sed -n '2,9p' "$0" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# program, its smaller input (a sed expression over the full program)
cases=(
  "fib|s/fib(32)/fib(22)/"
  "loop|s/run(10000000)/run(100000)/"
  "methods|s/run(1000000)/run(20000)/"
  "strings|s/run(200000)/run(5000)/"
  "table|s/var N = 100000/var N = 10000/"
  "mapreduce|s/run(100000)/run(10000)/"
)
for c in "${cases[@]}"; do
  sed "${c#*|}" "bench/programs/${c%%|*}.vsk" >"$work/${c%%|*}.vsk"
done
python3 -c "
import sys; sys.path.insert(0, 'bench')
import run
open('$work/compile.vsk', 'w').write(run.generate_script('vesk', 10000))"

# Instructions vsk executes for one command (run or build) on one file.
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" "$2" "$3" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

for i in $(seq $#); do echo "column $i: ${!i}"; done
printf '%-10s' program
for i in $(seq $#); do printf ' %14s' "column $i"; done
echo
for name in fib loop methods strings table mapreduce compile; do
  cmd=run
  [ "$name" = compile ] && cmd=build
  printf '%-10s' "$name"
  for v in "$@"; do
    printf ' %14s' "$(count "$v" "$cmd" "$work/$name.vsk")"
  done
  echo
done
