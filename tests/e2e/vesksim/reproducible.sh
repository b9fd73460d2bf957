#!/bin/sh
# Runs an experiment twice with its own seed and once with --seed: the same
# seed must give the same poses (CSV bytes) and logs, another seed others.
set -e
vsk=$1 vesksim=$2
"$vsk" build random_walk.vsk
"$vesksim" random_walk.argos --quiet --csv a.csv >a.log
"$vesksim" random_walk.argos --quiet --csv b.csv >b.log
"$vesksim" random_walk.argos --quiet --seed 8 --csv c.csv >c.log
cmp a.csv b.csv && cmp a.log b.log && echo "same seed: same run"
if cmp -s a.csv c.csv || cmp -s a.log c.log; then
  echo "another seed: the same run"
else
  echo "another seed: another run"
fi
cat a.log
