#!/usr/bin/env bash
# Runs an experiment in the real ARGoS with its GUI, on a virtual X screen,
# with the plug-in of this build and the probe user functions, and prints
# the probe's report.
#   run_gui.sh [-w] VSK PLUGIN_DIR PROBE_DIR SCREEN EXPERIMENT.argos [SCRIPT.vsk...]
# Builds each script with VSK, then runs `argos3 -n -c EXPERIMENT` under
# `xvfb-run` on a screen of SCREEN pixels (e.g. 1920x1080) with PLUGIN_DIR and
# PROBE_DIR on ARGOS_PLUGIN_PATH. With -w the windows get frames from a
# window manager, openbox, which starts argos3 once it manages the screen
# and is told to exit when argos3 has ended. ARGoS and the editor keep their
# settings in ./config, so that every run starts from their defaults.
# Standard output gets the report (gui.txt); when argos3 fails, standard
# error gets what it wrote there except its [INFO] lines; the exit status is
# argos3's.
set -u
framed=0
if [ "${1-}" = -w ]; then
  framed=1
  shift
fi
vsk=$1 plugins=$2 probe=$3 screen=$4 experiment=$5
shift 5
for script in "$@"; do
  "$vsk" build "$script" >/dev/null || exit 2
done
export XDG_CONFIG_HOME=$PWD/config ARGOS_PLUGIN_PATH=$plugins:$probe
xvfb=(xvfb-run -a -s "-screen 0 ${screen}x24")
if [ $framed = 1 ]; then
  # openbox runs its start-up command elsewhere: the command goes back here.
  cat >.in_wm.sh <<EOF
cd "$PWD"
argos3 -n -c "$experiment" >.argos.out 2>.argos.err
echo \$? >.argos.status
openbox --exit
EOF
  "${xvfb[@]}" openbox --sm-disable --startup "sh $PWD/.in_wm.sh" >/dev/null 2>&1
  status=$(cat .argos.status 2>/dev/null || echo 2)
else
  "${xvfb[@]}" argos3 -n -c "$experiment" >.argos.out 2>.argos.err
  status=$?
fi
[ -e gui.txt ] && cat gui.txt
if [ "$status" -ne 0 ]; then
  sed -e 's/\x1b\[[0-9;]*m//g' .argos.err | grep -v -e '^\[INFO\]' -e '^$' >&2
fi
exit "$status"
