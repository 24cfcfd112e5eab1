#!/bin/sh
# Installs the Debian packages the build needs, skipping those already there.
# Usage: scripts/install-deps.sh [extra-package...]
set -e

# TurboJPEG is the system's JPEG library; libjpeg is only a peer and oracle
# of the sample generator, the tests and the benchmarks.
PACKAGES="cmake ninja-build g++ pkg-config
  libturbojpeg0-dev libonig-dev libogg-dev libvorbis-dev libjpeg62-turbo-dev
  libfreetype-dev fonts-dejavu-core fontconfig
  libgtest-dev zlib1g-dev libpng-dev libmng-dev libtiff-dev libstb-dev $*"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
echo "Installing:$missing"
# A new machine's package lists may be empty until the first update.
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
