#!/bin/sh
# Builds one libFuzzer target with clang and runs it on a seed corpus.
# Usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#   e.g. scripts/fuzz.sh fuzz_inflate 600
# The corpus grows in fuzz/corpus-TARGET/ and findings land in fuzz/ as
# crash-*, leak-* or timeout-* (both are git-ignored). FUZZ_BUILD_DIR names
# another build folder (default build-fuzz), so that two runs can build at once.
set -e
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
TARGET=$1
SECONDS_TO_RUN=$2
shift 2
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}

scripts/install-deps.sh clang libclang-rt-14-dev python3

GEN=""
command -v ninja >/dev/null 2>&1 && GEN="-G Ninja"
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" $GEN -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUM_BUILD_FUZZ=ON -DLUM_BUILD_TESTS=OFF
cmake --build "$BUILD_DIR" -j 2 --target "$TARGET"

CORPUS=fuzz/corpus-$TARGET
mkdir -p "$CORPUS"

# Seeds: small inputs deflated by zlib in every way it knows.
seed_fuzz_inflate() {
  python3 - "$CORPUS" <<'PY'
import os, random, sys, zlib
out = sys.argv[1]
random.seed(1)
texts = [b"", b"a", b"abcabcabcabc" * 5, bytes(range(256)), b"\0" * 300,
         bytes(random.getrandbits(8) for _ in range(400)),
         b"the quick brown fox jumps over the lazy dog. " * 12]
for path in ("kor/Utils/UCompressor.h", "README.md"):
    if os.path.exists(path):
        texts.append(open(path, "rb").read()[:3000])
n = 0
for text in texts:
    for level in (0, 1, 6, 9):
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED, zlib.Z_HUFFMAN_ONLY,
                         zlib.Z_RLE, zlib.Z_FIXED):
            c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
            data = c.compress(text) + c.flush()
            with open(os.path.join(out, "seed-%03d" % n), "wb") as f:
                f.write(data)
            n += 1
PY
}

# Seeds: small archives with stored, deflated, nested and commented members.
seed_fuzz_archive() {
  python3 - "$CORPUS" <<'PY'
import io, os, sys, zipfile
out = sys.argv[1]
def archive(members, comment=b"", method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in members:
            z.writestr(name, data)
        z.comment = comment
    return buffer.getvalue()
inner = archive([("readme.txt", b"inside " * 20)])
seeds = [archive([("a.txt", b"hello")], method=zipfile.ZIP_STORED),
         archive([("a.txt", b"hello " * 50), ("dir/b.bin", bytes(range(256)))]),
         archive([("inner.zip", inner)], method=zipfile.ZIP_STORED),
         archive([("a.txt", b"x")], comment=b"c" * 100)]
for n, data in enumerate(seeds):
    with open(os.path.join(out, "seed-%d" % n), "wb") as f:
        f.write(data)
PY
}

# Seeds: the small files of the target's format among the shared test
# files beside the repository (and the repository's own fixtures).
seed_from_files() {
  for pattern in "$@"; do
    find ../shared/testdata tests -type f -iname "$pattern" -size -64k 2>/dev/null
  done | while read -r file; do
    cp "$file" "$CORPUS/seed-$(printf '%s' "$file" | cksum | cut -d' ' -f1)"
  done
}
seed_fuzz_tga() { seed_from_files '*.tga'; }
seed_fuzz_bmp() { seed_from_files '*.bmp'; }
seed_fuzz_ico() { seed_from_files '*.ico' '*.cur'; }
seed_fuzz_gif() { seed_from_files '*.gif'; }
seed_fuzz_hdr() { seed_from_files '*.hdr' '*.pic'; }
seed_fuzz_png() { seed_from_files '*.png'; }
seed_fuzz_jng() { seed_from_files '*.jng'; }
seed_fuzz_jpeg() { seed_from_files '*.jpg' '*.jpeg'; }
seed_fuzz_wav() { seed_from_files '*.wav'; }
seed_fuzz_aiff() { seed_from_files '*.aiff' '*.aif'; }
seed_fuzz_ogg() { seed_from_files '*.ogg'; }

if command -v "seed_$TARGET" >/dev/null 2>&1 && [ -z "$(ls -A "$CORPUS")" ]; then
  "seed_$TARGET"
fi

ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  "$BUILD_DIR/bin/$TARGET" -max_total_time="$SECONDS_TO_RUN" -print_final_stats=1 \
  -artifact_prefix=fuzz/ "$@" "$CORPUS"
