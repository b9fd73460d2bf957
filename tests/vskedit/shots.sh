#!/usr/bin/env bash
# Takes the pictures of vskedit for docs/ from real runs of the examples in
# examples/swarm on a virtual X screen (xvfb-run), and copies vskedit.png,
# vskedit-errors.png, vskedit-swarm.png and vskedit-debugger.png into OUTDIR.
#   shots.sh VSK VSKEDIT_SHOT OUTDIR
set -eu
vsk=$1 shot=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$here"/../../examples/swarm/* "$tmp"/
cd "$tmp"
export XDG_CONFIG_HOME=$tmp/config
run() {
  xvfb-run -a -s "-screen 0 1600x900x24" "$shot" "$@" >/dev/null 2>&1
}
for script in aggregate.vsk consensus.vsk; do
  "$vsk" build "$script" >/dev/null
done
# The aggregation at step 153, robot R11 selected.
run aggregate.argos vskedit.png 153 --select 10
# A script error in every robot, listed in robot order.
cp aggregate.vsk aggregate.orig
run aggregate.argos vskedit-errors.png 1 --select 10 --insert 24 "missing()"
mv aggregate.orig aggregate.vsk
"$vsk" build aggregate.vsk >/dev/null
# The consensus at step 300: LEDs by swarm, the log, the stigmergy of R4.
run consensus.argos vskedit-swarm.png 300 --select 3 --log --expand "stigmergy 1"
# The debugger stopped in R4's step.
run consensus.argos vskedit-debugger.png 40 --select 3 --break 36
cp vskedit.png vskedit-errors.png vskedit-swarm.png vskedit-debugger.png "$out"/
