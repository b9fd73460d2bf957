#!/usr/bin/env bash
# The main job: builds the vsk front end and runs examples/hello.vsk through
# it (or, given arguments, runs vsk with them: scripts/run.sh run FILE.vsk).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vsk >/dev/null
[ $# -gt 0 ] || set -- run examples/hello.vsk
exec build/bin/vsk "$@"
