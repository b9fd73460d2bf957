#!/usr/bin/env bash
# Builds and installs ARGoS 3 from a source archive when it is not installed
# (no ARGoSConfig.cmake under the install prefix). The archive is
# $ARGOS_SOURCE: an argos3-*.tar.xz file, or a directory holding one
# (default: ../shared/argos3 beside this repository). Without an archive it
# says so and does nothing: the project then builds on its ARGoS stand-in.
#
# Environment: ARGOS_SOURCE (the archive), ARGOS_PREFIX (install prefix,
# default /usr/local; only there is the loader configured for ARGoS's
# libraries, elsewhere set LD_LIBRARY_PATH=PREFIX/lib/argos3 to run argos3),
# VESK_NO_ARGOS=1 (never install ARGoS).
# The build takes about 25 minutes of CPU; it shows its progress.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=${ARGOS_PREFIX:-/usr/local}
[ -f "$prefix/share/argos3/cmake/ARGoSConfig.cmake" ] && exit 0
[ "${VESK_NO_ARGOS:-}" = 1 ] && exit 0

source=${ARGOS_SOURCE:-../shared/argos3}
[ -d "$source" ] && source=$(ls "$source"/argos3-*.tar.xz 2>/dev/null | head -n 1)
if [ -z "$source" ] || [ ! -f "$source" ]; then
  echo "setup: ARGoS is not installed and no source archive was found" \
    "(ARGOS_SOURCE=${ARGOS_SOURCE:-../shared/argos3}); building on the ARGoS stand-in"
  exit 0
fi

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
ldsoconf=OFF; [ "$prefix" = /usr/local ] && ldsoconf=ON
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "setup: building ARGoS from $source into $prefix (about 25 CPU-minutes)"
tar -xJf "$source" -C "$work"
src=$(ls -d "$work"/argos3-*/src | head -n 1)
# The archive's README has another name than the one ARGoS installs.
[ -f "$src/../README.asciidoc" ] || cp "$src/../README.txt" "$src/../README.asciidoc" 2>/dev/null ||
  touch "$src/../README.asciidoc"
# The archive has no git history, from which ARGoS would take its version.
cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DARGOS_DOCUMENTATION=OFF -DARGOS_INSTALL_LDSOCONF=$ldsoconf \
  -DCPACK_PACKAGE_VERSION_MAJOR=3 -DCPACK_PACKAGE_VERSION_MINOR=0 \
  -DCPACK_PACKAGE_VERSION_PATCH=0 -DCPACK_PACKAGE_RELEASE=beta59 >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; exit 1; }
# Progress: one line per tenth of the build.
progress() {
  awk 'match($0, /^\[ *[0-9]+%\]/) {
         p = substr($0, RSTART + 1, RLENGTH - 3) + 0
         if (p >= shown + 10) { shown = p - p % 10; print "setup: ARGoS build " shown "%"; fflush() }
       }'
}
if ! cmake --build "$work/build" -j "$(nproc)" 2>&1 | tee "$work/build.log" | progress; then
  tail -n 40 "$work/build.log"
  exit 1
fi
$SUDO cmake --install "$work/build" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
# The install adds the library directory to the loader's configuration but
# does not refresh its cache.
[ $ldsoconf = OFF ] || $SUDO ldconfig
LD_LIBRARY_PATH=$prefix/lib/argos3 "$prefix/bin/argos3" --version >/dev/null
echo "setup: ARGoS installed in $prefix"
