#!/usr/bin/env bash
# Runs the end-to-end tests (CTest names e2e_*) with every command-line
# program under valgrind --leak-check=full. Builds the programs in a build
# directory of its own (default build-valgrind), replaces each one in bin/
# by a wrapper that runs the real program (kept in bin/.real/) under
# valgrind, and fails when a test fails or valgrind reported anything. The
# wrapper shows the programs' output with bin/.real/ written as bin/, so
# texts that print the program's path still match.
#
#   scripts/valgrind.sh [BUILD_DIR [REGEX]]   (REGEX narrows the tests run)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-valgrind} only=${2:-}
programs=(vskparse vskasm vskdeasm vskrun vsk vskdbg vesksim)
bin=$build/bin real=$build/bin/.real logs=$build/valgrind-logs

# Put the real programs back first, so that the build sees what it made.
if [ -d "$real" ]; then
  for p in "${programs[@]}"; do
    [ -f "$real/$p" ] && mv -f "$real/$p" "$bin/$p"
  done
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_JEMALLOC=OFF >/dev/null
# Only the programs this tree has (the simulator is optional).
targets=$(cmake --build "$build" --target help)
present=()
for p in "${programs[@]}"; do
  grep -qx "\.\.\. $p" <<<"$targets" && present+=("$p")
done
programs=("${present[@]}")
cmake --build "$build" -j "$(nproc)" --target "${programs[@]}" >/dev/null

mkdir -p "$real"
rm -rf "$logs" && mkdir -p "$logs"
logs_abs=$(cd "$logs" && pwd) bin_abs=$(cd "$bin" && pwd) real_abs=$(cd "$real" && pwd)
supp=$(pwd)/scripts/valgrind-argos.supp
for p in "${programs[@]}"; do
  mv -f "$bin/$p" "$real/$p"
  cat >"$bin/$p" <<WRAP
#!/bin/sh
# valgrind wrapper made by scripts/valgrind.sh; the program is in .real/.
out=\$(mktemp -d) || exit 2
run() {
  valgrind -q --suppressions="$supp" --leak-check=full --show-leak-kinds=definite,indirect,possible \\
    --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 \\
    --log-file="$logs_abs/$p.%p.log" "$real_abs/$p" "\$@"
}
# Output and errors going to one file stay interleaved.
if [ /proc/self/fd/1 -ef /proc/self/fd/2 ]; then
  run "\$@" >"\$out/1" 2>&1
else
  run "\$@" >"\$out/1" 2>"\$out/2"
fi
status=\$?
touch "\$out/2"
sed "s|$real_abs/|$bin_abs/|g" "\$out/1"
sed "s|$real_abs/|$bin_abs/|g" "\$out/2" >&2
rm -rf "\$out"
exit \$status
WRAP
  chmod +x "$bin/$p"
done

status=0
ctest --test-dir "$build" -R "^e2e_.*$only" --timeout 900 -j "$(nproc)" --output-on-failure || status=1
# -q leaves a log empty unless valgrind found something.
for f in "$logs"/*.log; do
  [ -s "$f" ] || continue
  echo "== valgrind: $f"
  cat "$f"
  status=1
done
n=$(ls "$logs" | wc -l)
echo "valgrind: $n program runs checked, status $status"
exit $status
