#!/usr/bin/env bash
# Draws the project's libraries and programs and what links what into an
# SVG picture (by default docs/architecture.svg): CMake's --graphviz output
# of a scratch configuration without the tests, laid out by Graphviz's dot.
#   scripts/architecture-graph.sh [OUT.svg]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/architecture.svg}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp scripts/architecture-graph.cmake "$tmp/CMakeGraphVizOptions.cmake"
cmake -S . -B "$tmp" -DVESK_BUILD_TESTS=OFF --graphviz="$tmp/vesk.dot" >/dev/null
dot -Tsvg "$tmp/vesk.dot" -o "$out"
echo "picture: $out"
