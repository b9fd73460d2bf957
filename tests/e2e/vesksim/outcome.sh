#!/usr/bin/env bash
# Runs a swarm example headless and checks what the swarm achieved, from the
# robots' poses at the first and the last step.
#   outcome.sh aggregate|disperse VSK VESKSIM
# Prints one line naming the outcome when it was reached, or the measured
# numbers when it was not (so that a failing comparison shows them).
set -euo pipefail
mode=$1 vsk=$2 vesksim=$3
"$vsk" build "$mode.vsk" >/dev/null
"$vesksim" "$mode.argos" --quiet --csv poses.csv >/dev/null
last=$(tail -n 1 poses.csv | cut -d, -f1)

# Prints "x y" of every robot at step $1.
poses() { awk -F, -v s="$1" '$1 == s { print $3, $4 }' poses.csv; }

case $mode in
aggregate)
  # Mean distance from the robots' centroid.
  spread() {
    poses "$1" | awk '{ x[NR] = $1; y[NR] = $2; sx += $1; sy += $2 }
      END { cx = sx / NR; cy = sy / NR
            for (i = 1; i <= NR; i++) d += sqrt((x[i] - cx) ^ 2 + (y[i] - cy) ^ 2)
            printf "%.3f\n", d / NR }'
  }
  before=$(spread 0) after=$(spread "$last")
  if awk -v b="$before" -v a="$after" 'BEGIN { exit !(a < b / 3) }'; then
    echo "aggregate: the spread shrank to less than a third"
  else
    echo "aggregate: the spread went from $before to $after"
  fi ;;
disperse)
  # Smallest distance between two robots.
  closest() {
    poses "$1" | awk '{ x[NR] = $1; y[NR] = $2 }
      END { m = 1e9
            for (i = 1; i <= NR; i++) for (j = i + 1; j <= NR; j++) {
              d = sqrt((x[i] - x[j]) ^ 2 + (y[i] - y[j]) ^ 2); if (d < m) m = d }
            printf "%.3f\n", m }'
  }
  before=$(closest 0) after=$(closest "$last")
  if awk -v b="$before" -v a="$after" 'BEGIN { exit !(b < 0.3 && a > 0.75) }'; then
    echo "disperse: robots that started within 0.3 m end more than 0.75 m apart"
  else
    echo "disperse: the closest pair went from $before to $after m"
  fi ;;
*)
  echo "outcome.sh: unknown mode $mode" >&2
  exit 2 ;;
esac
