#!/usr/bin/env bash
# Installs what the build and the tests need, when missing: the Debian
# packages of scripts/packages.txt, then ARGoS 3 when CMake would not find it
# and a source archive of it is at hand (scripts/setup-argos.sh). Without an
# archive the project builds on its ARGoS stand-in.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev)
[ -f scripts/packages.txt ] && mapfile -t -O ${#packages[@]} packages < <(grep -v '^#' scripts/packages.txt | grep .)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

scripts/setup-argos.sh
