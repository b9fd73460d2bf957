#!/usr/bin/env bash
# Runs an experiment in the real ARGoS, headless, with the plug-in of this
# build, and prints what the scripts and the plug-in said.
#   run_argos.sh VSK PLUGIN_DIR EXPERIMENT.argos [SCRIPT.vsk...]
# Builds each script with VSK, then runs `argos3 -n -z -c EXPERIMENT` with
# PLUGIN_DIR on ARGOS_PLUGIN_PATH (so that library="libargos3plugin_simulator_vesk"
# finds it). Standard output gets the scripts' log lines ("VESK: ..."),
# standard error what the run wrote there except ARGoS's own [INFO] lines;
# the exit status is argos3's.
set -u
vsk=$1 plugins=$2 experiment=$3
shift 3
for script in "$@"; do
  "$vsk" build "$script" >/dev/null || exit 2
done
ARGOS_PLUGIN_PATH=$plugins argos3 -n -z -c "$experiment" >.argos.out 2>.argos.err
status=$?
# Colour resets ARGoS writes at exit, and its progress lines, are noise.
strip() { sed -e 's/\x1b\[[0-9;]*m//g' "$1"; }
strip .argos.out | grep '^VESK: '
strip .argos.err | grep -v -e '^\[INFO\]' -e '^$' >&2
exit $status
