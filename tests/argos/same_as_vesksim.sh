#!/usr/bin/env bash
# Runs one experiment in the real ARGoS and in vesksim and compares the
# scripts' log lines, sorted (the simulators may order robots differently
# within a step). Prints "same log in argos3 and vesksim" and exits 0 when
# they agree, or the differences and exits 1.
#   same_as_vesksim.sh VSK PLUGIN_DIR VESKSIM EXPERIMENT.argos SCRIPT.vsk...
set -u
vsk=$1 plugins=$2 vesksim=$3 experiment=$4
shift 4
here=$(dirname "$0")
"$here/run_argos.sh" "$vsk" "$plugins" "$experiment" "$@" >argos.log 2>argos.err ||
  { echo "argos3 failed:"; cat argos.err; exit 1; }
"$vesksim" "$experiment" --quiet 2>vesksim.err | grep '^VESK: ' >vesksim.log ||
  { echo "vesksim logged nothing:"; cat vesksim.err; exit 1; }
if diff -u --label argos3 --label vesksim <(sort argos.log) <(sort vesksim.log); then
  echo "same log in argos3 and vesksim"
else
  exit 1
fi
