#!/usr/bin/env bash
# Runs the README as a new user would: in a fresh copy of the repository (its
# tracked files only), every line of the "Quick start" block in order, as it
# stands, in one shell; then the README's first command, the main job.
# Stops at the first command that fails.
#   readme_quick_start.sh SOURCE_DIR
set -euo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/vesk"
git -C "$src" ls-files -z | tar -C "$src" --null -T - -cf - | tar -C "$tmp/vesk" -xf -
cd "$tmp/vesk"

# The indented lines of a README section (without their indentation).
block() {
  awk -v head="$1" '$0 == head { on = 1; next }
    on && /^#/ { exit }
    on && /^    / { sub(/^    /, ""); print }' README.md
}
quick=$(block "## Quick start")
main=$(block "# Vesk" | sed -n 1p)
[ -n "$quick" ] && [ -n "$main" ] || { echo "README.md: no quick start or first command"; exit 1; }

run() { # one README line, echoed, with no input
  echo "\$ $1"
  eval "$1" </dev/null
}
while IFS= read -r line; do run "$line"; done <<<"$quick"
grep -q '<svg' aggregate.svg || { echo "aggregate.svg is not a picture"; exit 1; }
cd "$tmp/vesk"
run "$main"
grep -q '<svg' build/swarm/aggregate.svg || { echo "the main job drew nothing"; exit 1; }
echo "README commands: all ran"
