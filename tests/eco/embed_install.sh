#!/bin/sh
# Installs the build tree into a temporary prefix, checks what was installed,
# then builds the embedding example against that installation twice (with
# find_package(Vesk) and with pkg-config) and compares what the hosts print.
#
# Usage: embed_install.sh BUILD_DIR SOURCE_DIR [EXTRA_COMPILER_FLAGS]
set -u
build=$1
src=$2
flags=${3:-}
expect=$src/tests/eco/expected
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs "$@" quietly; on failure shows its output and stops the test.
must() {
  if ! "$@" >"$work/log" 2>&1; then
    cat "$work/log"
    echo "FAIL: $*"
    exit 1
  fi
}

# compare NAME EXPECTED_STATUS EXPECTED_FILE command...: exact stdout and status.
compare() {
  name=$1 status=$2 expected=$3
  shift 3
  "$@" >"$work/$name.out" 2>"$work/$name.err"
  got=$?
  [ "$got" = "$status" ] || fail "$name: exit status $got, expected $status"
  if ! diff -u "$expected" "$work/$name.out"; then
    cat "$work/$name.err"
    fail "$name: output differs"
  fi
}

must cmake --install "$build" --prefix "$prefix"

for f in bin/vsk bin/vskparse bin/vskasm bin/vskdeasm bin/vskrun \
  lib/libvesk.so lib/libveskdbg.so lib/libveskcompiler.a \
  include/vesk/veskdefs.h include/vesk/veskvm.h include/vesk/vesktools.h \
  lib/pkgconfig/vesk.pc lib/cmake/Vesk/VeskConfig.cmake \
  lib/cmake/Vesk/VeskConfigVersion.cmake lib/cmake/Vesk/VeskTargets.cmake; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ -e "$prefix/include/vesk/veskvm_internal.h" ] && fail "internal header installed"
# The installed package must stand on its own: no path into the build or source tree.
if grep -rl -e "$build" -e "$src" "$prefix/lib/cmake" "$prefix/lib/pkgconfig"; then
  fail "installed package files refer to the build or source tree"
fi

# The installed programs run from the prefix and compile the example's script.
cp "$src/examples/embed/controller.vsk" "$work/"
(cd "$work" && must "$prefix/bin/vsk" build controller.vsk)

must cmake -S "$src/examples/embed" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror $flags" \
  "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror $flags"
must cmake --build "$work/cmake-build"
compare cmake_c 0 "$expect/embed_c.out" "$work/cmake-build/embed_host_c" "$work/controller.vo"
compare cmake_cpp 1 "$expect/embed_cpp.out" \
  "$work/cmake-build/embed_host_cpp" "$work/controller.vo" "$work/controller.vdb"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
[ "$(pkg-config --modversion vesk)" != "" ] || fail "pkg-config does not know vesk"
# shellcheck disable=SC2046,SC2086
must cc -std=c11 -Wall -Wextra -Werror $flags -o "$work/pc_host" \
  "$src/examples/embed/embed_host_main.c" $(pkg-config --cflags --libs vesk) \
  -Wl,-rpath,"$prefix/lib"
compare pkgconfig_c 0 "$expect/embed_c.out" "$work/pc_host" "$work/controller.vo"

# A missing bytecode file is an error message and exit status 1, not a crash.
compare missing_file 1 /dev/null "$work/pc_host" "$work/nosuch.vo"
grep -q "nosuch.vo" "$work/missing_file.err" || fail "missing file not named"

[ "$failures" = 0 ] || exit 1
echo "embedding example: all checks passed"
