#!/usr/bin/env bash
# Runs an experiment in the real ARGoS with its GUI, on a virtual X screen,
# with the plug-in of this build and the probe user functions, and prints
# the probe's report.
#   run_gui.sh VSK PLUGIN_DIR PROBE_DIR SCREEN EXPERIMENT.argos [SCRIPT.vsk...]
# Builds each script with VSK, then runs `argos3 -n -c EXPERIMENT` under
# `xvfb-run` on a screen of SCREEN pixels (e.g. 1920x1080) with PLUGIN_DIR and
# PROBE_DIR on ARGOS_PLUGIN_PATH. ARGoS and the editor keep their settings in
# ./config, so that a fresh run always starts from their defaults. Standard
# output gets the report (gui.txt); when argos3 fails, standard error gets
# what it wrote there except its [INFO] lines; the exit status is argos3's.
set -u
vsk=$1 plugins=$2 probe=$3 screen=$4 experiment=$5
shift 5
for script in "$@"; do
  "$vsk" build "$script" >/dev/null || exit 2
done
export XDG_CONFIG_HOME=$PWD/config
ARGOS_PLUGIN_PATH=$plugins:$probe \
  xvfb-run -a -s "-screen 0 ${screen}x24" argos3 -n -c "$experiment" \
  >.argos.out 2>.argos.err
status=$?
[ -e gui.txt ] && cat gui.txt
if [ $status -ne 0 ]; then
  sed -e 's/\x1b\[[0-9;]*m//g' .argos.err | grep -v -e '^\[INFO\]' -e '^$' >&2
fi
exit $status
