#!/bin/sh
# Whole-process timings of a texture load: `mayahost load FILE` beside the
# floor (jngfloor: libjpeg decoding the colour stream into one RGBA buffer)
# and libmng (jnglibmng: the file read onto an RGBA canvas), on four large
# JNG files that ImageMagick writes: colour only, 8-bit and 16-bit deflated
# alpha (adaptive row filters, mostly Paeth), and JPEG alpha. Prints per file
# the median times, their ratios and each program's peak memory.
#
# Usage: scripts/bench-host.sh [--size PIXELS] [--rounds N] [--dir FOLDER]
#   --size    width and height of the files (4096)
#   --rounds  rounds of one run of each program per file (10)
#   --dir     where the files are made and kept between calls
#             (${TMPDIR:-/tmp}/bench-host-SIZE); delete it to make them anew
# Builds Release in build-release/ (or $BUILD_DIR) when needed.
set -e
cd "$(dirname "$0")/.."

SIZE=4096
ROUNDS=10
DIR=""
while [ $# -gt 0 ]; do
  case "$1" in
    --size) SIZE=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --dir) DIR=$2; shift 2 ;;
    *) echo "usage: scripts/bench-host.sh [--size PIXELS] [--rounds N] [--dir FOLDER]" >&2; exit 2 ;;
  esac
done
[ -n "$DIR" ] || DIR="${TMPDIR:-/tmp}/bench-host-$SIZE"
BUILD=${BUILD_DIR:-build-release}

# ImageMagick's own convert, ahead of any wrapper of that name earlier on PATH.
EXTRA=""
[ -x /usr/bin/convert ] || EXTRA="$EXTRA imagemagick"
[ -x /usr/bin/time ] || EXTRA="$EXTRA time"
# shellcheck disable=SC2086  # $EXTRA, $GEN and $LAUNCHER are word lists
scripts/install-deps.sh libbenchmark-dev libdeflate-dev libgif-dev libspng-dev $EXTRA >&2
CONVERT=${CONVERT:-/usr/bin/convert}
command -v hyperfine >/dev/null 2>&1 ||
  echo "hyperfine is not installed (Debian package hyperfine): timing with a loop of our own" >&2

# --- the programs, in Release
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/CMakeCache.txt" 2>/dev/null ||
   ! grep -q '^LUM_BUILD_BENCH:BOOL=ON$' "$BUILD/CMakeCache.txt"; then
  GEN=""
  command -v ninja >/dev/null 2>&1 && GEN="-G Ninja"
  LAUNCHER=""
  command -v ccache >/dev/null 2>&1 &&
    LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  # shellcheck disable=SC2086
  cmake -S . -B "$BUILD" $GEN -DCMAKE_BUILD_TYPE=Release -DLUM_BUILD_BENCH=ON -DLUM_BUILD_TESTS=OFF \
    $LAUNCHER >&2
fi
cmake --build "$BUILD" -j 2 --target mayahost Plugin_JNG jngfloor jnglibmng >&2

# --- the files, each written beside its final name and moved there whole
mkdir -p "$DIR"
make_file() {  # NAME CONVERT-ARGUMENTS...
  name=$1; shift
  [ -s "$DIR/$name" ] && return 0
  echo "writing $DIR/$name" >&2
  "$CONVERT" "$@" "$DIR/partial-$name"
  mv "$DIR/partial-$name" "$DIR/$name"
}
# A photograph-like picture (a smooth plasma fractal, 16 bits per sample)
# whose alpha is its own brightness: textured, as alpha channels of
# textures are, so that PNG's adaptive filters mostly choose Paeth.
make_file picture.miff -seed 7 -size "${SIZE}x$SIZE" plasma:fractal -blur 0x1 -depth 16 \
  \( +clone -colorspace gray \) -alpha off -compose copy_opacity -composite
PICTURE="$DIR/picture.miff"
# The alpha is written as a grey PNG stream (filter 5: adaptive rows) unless
# -compress JPEG asks for a JPEG one; -depth sets its sample depth.
make_file colour.jng "$PICTURE" -alpha off -depth 8 -quality 90
make_file alpha8.jng "$PICTURE" -depth 8 -quality 90 -define png:compression-filter=5
make_file alpha16.jng "$PICTURE" -depth 16 -quality 90 -define png:compression-filter=5
make_file alphajpeg.jng "$PICTURE" -depth 8 -quality 90 -compress JPEG

exec python3 bench/host-load-times.py --bin "$BUILD/bin" --rounds "$ROUNDS" \
  "$DIR/colour.jng" "$DIR/alpha8.jng" "$DIR/alpha16.jng" "$DIR/alphajpeg.jng"
