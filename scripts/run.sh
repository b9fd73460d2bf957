#!/usr/bin/env bash
# The main job: builds vsk and the headless simulator vesksim, runs the
# aggregation experiment of examples/swarm/ in build/swarm/ and draws it into
# build/swarm/aggregate.svg. Given arguments, it runs vsk with them instead
# (scripts/run.sh run FILE.vsk).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j "$(nproc)" --target vsk >/dev/null
  exec build/bin/vsk "$@"
fi
cmake --build build -j "$(nproc)" --target vsk vesksim >/dev/null
mkdir -p build/swarm
cp examples/swarm/aggregate.vsk examples/swarm/aggregate.argos build/swarm/
cd build/swarm
../bin/vsk build aggregate.vsk
../bin/vesksim aggregate.argos --svg aggregate.svg
echo "picture: build/swarm/aggregate.svg"
