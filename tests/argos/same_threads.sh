#!/usr/bin/env bash
# Runs one experiment in the real ARGoS as it is (its <system threads="0"/>:
# robots one after another) and with threads="4" (controllers on four
# threads), and compares what the robots said. Log lines are compared robot
# by robot: each line starts with "VESK: robot ID", and ARGoS writes the
# threads' logs one thread after another at the end of a step, so only the
# order of robots within a step may differ. Standard error and the exit
# status must be the same. Prints the sequential run's log, then the verdict.
#   same_threads.sh VSK PLUGIN_DIR EXPERIMENT.argos SCRIPT.vsk...
set -u
vsk=$1 plugins=$2 experiment=$3
shift 3
here=$(dirname "$0")
sed 's/<system threads="[0-9]*"/<system threads="4"/' "$experiment" >threads4.argos
grep -q 'threads="4"' threads4.argos || { echo "no <system threads> in $experiment"; exit 2; }
"$here/run_argos.sh" "$vsk" "$plugins" "$experiment" "$@" >t0.out 2>t0.err
s0=$?
"$here/run_argos.sh" "$vsk" "$plugins" threads4.argos "$@" >t4.out 2>t4.err
s4=$?
cat t0.out
by_robot() { sort -s -n -k3,3 "$1"; }
same=1
diff -u --label 'threads="0"' --label 'threads="4"' <(by_robot t0.out) <(by_robot t4.out) ||
  same=0
diff -u --label 'threads="0"' --label 'threads="4"' t0.err t4.err || same=0
[ $s0 -eq $s4 ] || { echo "exit status $s0 with threads=\"0\", $s4 with threads=\"4\""; same=0; }
[ $same -eq 1 ] || exit 1
echo "same log, errors and status with threads=\"4\" as with threads=\"0\" (status $s0)"
