#!/usr/bin/env bash
# Runs the command of docs/architecture.md that draws the picture of the
# libraries and programs, in a copy of the tree (it writes into docs/), and
# checks that the picture shows the build's libraries and programs.
#   architecture_graph.sh SOURCE_DIR
set -euo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
git -C "$src" ls-files -z | tar -C "$src" --null -T - -cf - | tar -C "$tmp" -xf -
cd "$tmp"
command=$(grep -m1 '^    scripts/architecture-graph.sh' docs/architecture.md | sed 's/^    //')
[ -n "$command" ] || { echo "docs/architecture.md shows no command"; exit 1; }
rm docs/architecture.svg
eval "$command"
for target in vesk veskdbg veskcompiler vsk vesksim argos3plugin_simulator_vesk; do
  grep -q ">$target<" docs/architecture.svg || { echo "no $target in the picture"; exit 1; }
done
echo "picture drawn"
