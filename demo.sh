#!/bin/sh
# Builds the plug-in and the host stand-in, then has the host read the sample
# JNG (a shaded ring on a transparent background) through the plug-in and
# write what it received as demo-out.png.
set -e
cd "$(dirname "$0")"
scripts/install-deps.sh

GEN=""
command -v ninja >/dev/null 2>&1 && GEN="-G Ninja"
cmake -S . -B build $GEN -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target Plugin_JNG mayahost

build/bin/mayahost info
build/bin/mayahost load samples/ring.jng -o demo-out.png
echo "The host's image, top row first, is in $(pwd)/demo-out.png"
