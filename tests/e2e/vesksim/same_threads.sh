#!/bin/sh
# Runs one experiment in vesksim with 1, 2 and 8 threads and compares what
# the runs wrote: CSV, SVG, standard output, standard error, exit status.
#   same_threads.sh VSK VESKSIM NAME [VESKSIM-OPTION...]
# Builds NAME.vsk, runs NAME.argos with --threads 1 and passes its standard
# output and error through, then says for 2 and 8 threads whether every
# output is the same byte for byte (the differences otherwise). The exit
# status is that of the one-thread run when all runs agree, else 3.
set -u
vsk=$1 vesksim=$2 name=$3
shift 3
"$vsk" build "$name.vsk" >/dev/null || exit 2
run() { # threads, vesksim options
  t=$1
  shift
  "$vesksim" "$name.argos" --quiet --threads "$t" --csv "run$t.csv" --svg "run$t.svg" \
    "$@" >"run$t.out" 2>"run$t.err"
  echo $? >"run$t.status"
}
run 1 "$@"
cat run1.out
cat run1.err >&2
same=0
for threads in 2 8; do
  run "$threads" "$@"
  differ=""
  for kind in csv svg out err status; do
    cmp -s "run1.$kind" "run$threads.$kind" || differ="$differ $kind"
  done
  if [ -z "$differ" ]; then
    echo "$threads threads: same CSV, SVG, output and status as 1"
  else
    echo "$threads threads: differs from 1 in:$differ"
    for kind in $differ; do diff "run1.$kind" "run$threads.$kind" | head -20; done
    same=3
  fi
done
[ $same -eq 0 ] && exit "$(cat run1.status)"
exit $same
