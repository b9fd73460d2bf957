#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal
# build (against ARGoS when it is installed, with the tests in ARGoS itself)
# and once with AddressSanitizer and UndefinedBehaviorSanitizer on the ARGoS
# stand-in, so that both worlds the plug-in builds for are tested; then the
# fuzz targets and the end-to-end tests under valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
werror=${VESK_WERROR:-OFF} # .ci/run turns warnings into errors

run_suite() { # build directory, extra cmake arguments...
  local dir=$1; shift
  echo "== building in $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=$werror \
    -DVESK_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== testing in $dir"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite build
if [ "${VESK_SKIP_SANITIZE:-}" != 1 ]; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DVESK_SANITIZE=ON -DCMAKE_DISABLE_FIND_PACKAGE_ARGoS=ON
fi
# Every fuzz target over its corpus plus a short run; the end-to-end tests
# under valgrind.
[ "${VESK_SKIP_FUZZ:-}" = 1 ] || fuzz/run.sh
[ "${VESK_SKIP_VALGRIND:-}" = 1 ] || scripts/valgrind.sh
