#!/bin/sh
# Builds lumbench in Release (build-bench/) and runs it; arguments pass
# through to Google Benchmark, e.g.
#   scripts/bench.sh --benchmark_filter=Inflate
#   scripts/bench.sh --benchmark_format=json > run.json && scripts/bench-ratios.py run.json
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh libbenchmark-dev libdeflate-dev libgif-dev libspng-dev >&2

GEN=""
command -v ninja >/dev/null 2>&1 && GEN="-G Ninja"
cmake -S . -B build-bench $GEN -DLUM_BUILD_BENCH=ON -DLUM_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release >&2
cmake --build build-bench -j 2 --target lumbench >&2
exec build-bench/bin/lumbench "$@"
