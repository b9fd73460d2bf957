#!/usr/bin/env bash
# Prepares the benchmarks (never run by CI): installs Lua 5.4, Python 3 and time,
# the baselines bench/run.py compares Vesk with, and builds a Release vsk in
# build-bench/. Then: bench/run.py
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

missing=()
for p in lua5.4 python3 time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup-bench: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target vsk >/dev/null
echo "setup-bench: ready; run bench/run.py"
