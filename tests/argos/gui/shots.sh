#!/usr/bin/env bash
# Takes the pictures of the editor inside ARGoS for docs/: runs scene.argos
# with the probe user functions under a window manager (run_gui.sh -w) on a
# 1768x728 screen, with ARGoS's window 860x700 at the top left, and copies
# argos-screen.png, argos-view.png and argos-editor.png into OUTDIR.
#   shots.sh VSK PLUGIN_DIR PROBE_DIR OUTDIR
set -eu
vsk=$1 plugins=$2 probe=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$here"/scene.argos "$here"/scene_footbot.vsk "$here"/scene_spiri.vsk "$tmp"/
mkdir -p "$tmp"/config/ARGoS
printf '[MainWindow]\nsize=@Size(860 700)\nposition=@Point(0 0)\n' \
  >"$tmp"/config/ARGoS/ARGoS.conf
(cd "$tmp" && "$here"/run_gui.sh -w "$vsk" "$plugins" "$probe" 1768x728 scene.argos \
  scene_footbot.vsk scene_spiri.vsk)
cp "$tmp"/argos-screen.png "$tmp"/argos-view.png "$tmp"/argos-editor.png "$out"/
