#!/usr/bin/env bash
# The main job: builds what is needed and runs an example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vesk_host_example >/dev/null
exec build/bin/vesk_host_example "$@"
