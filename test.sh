#!/bin/sh
# Builds everything and runs every test: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. The sanitizer build is
# optimised as a release is, so that it sees what inlining does across the
# plug-in's boundary (a block freed by an allocator that did not make it).
set -e
cd "$(dirname "$0")"
scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 2)
GEN=""
command -v ninja >/dev/null 2>&1 && GEN="-G Ninja"

run_suite() {
  dir=$1; shift
  cmake -S . -B "$dir" $GEN "$@"
  cmake --build "$dir" -j "$JOBS"
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:alloc_dealloc_mismatch=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUM_SANITIZE=ON
echo "All tests passed (plain and sanitizer builds)."
