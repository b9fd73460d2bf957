#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one: first over its seed
# corpus (fuzz/corpus/TARGET, every file must pass), then for a bounded time
# starting from that corpus. A crash, leak, sanitizer report or timeout fails
# the script; the input that caused it is kept in the run directory.
#
#   fuzz/run.sh [-t SECONDS] [-r RUNS] [TARGET...]
#
# SECONDS is each target's bounded run (default 20); RUNS stops a target
# after that many executions instead (whichever comes first, when both are
# given). Without TARGETs every target runs, one after the other. The
# corpus a run grows stays in build-fuzz-clang/run/TARGET/corpus, with the
# libFuzzer log beside it (VESK_FUZZ_RUNDIR moves them); the seeds in the
# repository are not modified.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=20 runs=-1
while getopts "t:r:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) sed -n '2,12p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(compile asm bcode debug inmsg string dbgcmd)

build=build-fuzz-clang
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Inputs reach their limits long before these: hitting one is a finding.
common=(-timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 -print_final_stats=1)

status=0
for t in "${targets[@]}"; do
  bin=$build/fuzz_$t seeds=fuzz/corpus/$t dir=${VESK_FUZZ_RUNDIR:-$build/run}/$t
  mkdir -p "$dir/corpus"
  echo "== fuzz_$t: replaying $(ls "$seeds" | wc -l) seeds"
  if ! "$bin" "${common[@]}" -runs=0 "$seeds" >"$dir/replay.log" 2>&1; then
    echo "fuzz_$t failed on a seed; see $dir/replay.log"
    tail -n 30 "$dir/replay.log"
    status=1
    continue
  fi
  echo "== fuzz_$t: fuzzing for ${seconds}s"
  if (cd "$dir" && "$OLDPWD/$bin" "${common[@]}" -max_total_time="$seconds" \
        -runs="$runs" corpus "$OLDPWD/$seeds" >fuzz.log 2>&1); then
    grep -E '^stat::(number_of_executed_units|new_units_added)|cov: ' "$dir/fuzz.log" | tail -n 3
  else
    echo "fuzz_$t found a fault; see $dir/fuzz.log"
    tail -n 40 "$dir/fuzz.log"
    status=1
  fi
done
exit $status
