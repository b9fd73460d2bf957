#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal
# build (against ARGoS when it is installed, with the tests in ARGoS itself)
# and once with AddressSanitizer and UndefinedBehaviorSanitizer on the ARGoS
# stand-in, so that both worlds the plug-in builds for are tested; then
# vesksim and the tests of robots stepping on several threads (label
# "threads") with ThreadSanitizer; then the fuzz targets and the end-to-end
# tests under valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
werror=${VESK_WERROR:-OFF} # .ci/run turns warnings into errors

# $targets (what to build) and $label (which tests to run) narrow a suite.
run_suite() { # build directory, extra cmake arguments...
  local dir=$1; shift
  echo "== building in $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=$werror \
    -DVESK_BUILD_TESTS=ON "$@" >/dev/null
  # shellcheck disable=SC2086 # one word per target
  cmake --build "$dir" -j "$jobs" ${targets:+--target $targets}
  echo "== testing in $dir${label:+ (label $label)}"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" ${label:+-L "$label"}
}

run_suite build
if [ "${VESK_SKIP_SANITIZE:-}" != 1 ]; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DVESK_SANITIZE=ON -DCMAKE_DISABLE_FIND_PACKAGE_ARGoS=ON
fi
# Races between robots stepping at once: only what runs robots on threads
# is built and tested (a few minutes); no suppressions.
if [ "${VESK_SKIP_TSAN:-}" != 1 ]; then
  targets="vesksim vsk test_vesksim_threads" label=threads \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    run_suite build-tsan -DVESK_TSAN=ON -DCMAKE_DISABLE_FIND_PACKAGE_ARGoS=ON
fi
# Every fuzz target over its corpus plus a short run; the end-to-end tests
# under valgrind.
[ "${VESK_SKIP_FUZZ:-}" = 1 ] || fuzz/run.sh
[ "${VESK_SKIP_VALGRIND:-}" = 1 ] || scripts/valgrind.sh
