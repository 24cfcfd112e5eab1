#include "lum/Image/LPngFilter.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#include <tmmintrin.h>
#endif

namespace lum {

namespace {

// The loops below are built twice, for any x86-64 and with AVX2's
// three-operand encoding (fewer register copies); they must be inlined
// whole into each build.
#if defined(__GNUC__) || defined(__clang__)
#define LUM_PNG_INLINE inline __attribute__((always_inline))
#else
#define LUM_PNG_INLINE inline
#endif

inline unsigned char Add(unsigned char value, int delta) {
  return static_cast<unsigned char>(value + delta);
}

inline int Magnitude(int value) { return value < 0 ? -value : value; }

// a is the byte to the left, b the one above, c the one above and left.
// Without branches: on real images the choice is close to random.
inline int PaethPredictor(int a, int b, int c) {
  int p = b - c;
  int q = a - c;
  int pa = Magnitude(p);
  int pb = Magnitude(q);
  int pc = Magnitude(p + q);
  int notA = -static_cast<int>((pa > pb) | (pa > pc));
  int notB = -static_cast<int>(pb > pc);
  int bOrC = (b & ~notB) | (c & notB);
  return (a & ~notA) | (bOrC & notA);
}

// ---------------------------------------------------------------------------
// Byte by byte: any step, and the bytes the faster loops leave over. Each
// starts at start, the bytes before it already restored.

void UnfilterSub(unsigned char* row, size_t length, size_t bpp, size_t start) {
  for (size_t i = start < bpp ? bpp : start; i < length; ++i) row[i] = Add(row[i], row[i - bpp]);
}

void UnfilterUp(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
  for (size_t i = start; i < length; ++i) row[i] = Add(row[i], prior[i]);
}

void UnfilterAverage(unsigned char* row, const unsigned char* prior, size_t length, size_t bpp, size_t start) {
  size_t i = start;
  for (; i < bpp && i < length; ++i) row[i] = Add(row[i], prior[i] >> 1);
  for (; i < length; ++i) row[i] = Add(row[i], (row[i - bpp] + prior[i]) >> 1);
}

void UnfilterPaeth(unsigned char* row, const unsigned char* prior, size_t length, size_t bpp, size_t start) {
  size_t i = start;
  for (; i < bpp && i < length; ++i) row[i] = Add(row[i], prior[i]);
  for (; i < length; ++i) row[i] = Add(row[i], PaethPredictor(row[i - bpp], prior[i], prior[i - bpp]));
}

// ---------------------------------------------------------------------------
// Up and Sub carry nothing from one 16-byte block to the next but Sub's last
// pixel, so they run a block at a time.

#if defined(__SSE2__)

size_t UnfilterUpBlocks(unsigned char* row, const unsigned char* prior, size_t length) {
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), sum);
  }
  return i;
}

// Each byte plus the bytes SHIFT, 2 SHIFT, ... before it inside the block.
template <int SHIFT>
inline __m128i SumEveryStep(__m128i x) {
  if constexpr (SHIFT >= 16) {
    return x;
  } else {
    return SumEveryStep<SHIFT * 2>(_mm_add_epi8(x, _mm_slli_si128(x, SHIFT)));
  }
}

// SSE2 alone: the previous block's last pixel enters at the front and the
// sums carry it along.
template <int BPP>
size_t UnfilterSubBlocks(unsigned char* row, size_t length) {
  __m128i last = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    last = SumEveryStep<BPP>(_mm_add_epi8(x, _mm_srli_si128(last, 16 - BPP)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), last);
  }
  return i;
}

#if defined(__GNUC__) || defined(__clang__)
#define LUM_PNG_SHUFFLE 1
// With a shuffle the block's own sums are made apart from the chain, which
// is then one shuffle and one add a block: the previous block's last pixel
// copied under every pixel of this one.
template <int BPP>
__attribute__((target("ssse3"))) size_t UnfilterSubBlocksShuffled(unsigned char* row, size_t length) {
  alignas(16) unsigned char order[16];
  for (int j = 0; j < 16; ++j) order[j] = static_cast<unsigned char>(16 - BPP + j % BPP);
  const __m128i lastPixel = _mm_load_si128(reinterpret_cast<const __m128i*>(order));
  __m128i last = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    __m128i sums = SumEveryStep<BPP>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
    last = _mm_add_epi8(sums, _mm_shuffle_epi8(last, lastPixel));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), last);
  }
  return i;
}

bool CanShuffle() {
  static const bool supported = __builtin_cpu_supports("ssse3");
  return supported;
}
#endif

template <int BPP>
size_t UnfilterSubPixels(unsigned char* row, size_t length) {
#ifdef LUM_PNG_SHUFFLE
  if (CanShuffle()) return UnfilterSubBlocksShuffled<BPP>(row, length);
#endif
  return UnfilterSubBlocks<BPP>(row, length);
}

#else

size_t UnfilterUpBlocks(unsigned char*, const unsigned char*, size_t) { return 0; }

template <int BPP>
size_t UnfilterSubPixels(unsigned char*, size_t) { return 0; }

#endif

void RestoreSub(unsigned char* row, size_t length, size_t bpp) {
  size_t done = 0;
  switch (bpp) {
    case 1: done = UnfilterSubPixels<1>(row, length); break;
    case 2: done = UnfilterSubPixels<2>(row, length); break;
    case 3: done = UnfilterSubPixels<3>(row, length); break;
    case 4: done = UnfilterSubPixels<4>(row, length); break;
    case 6: done = UnfilterSubPixels<6>(row, length); break;
    case 8: done = UnfilterSubPixels<8>(row, length); break;
    default: break;
  }
  UnfilterSub(row, length, bpp, done);
}

// ---------------------------------------------------------------------------
// Paeth by thresholds. Which of left (a), above (b) and upper left (c) is
// the predictor depends on a only through where a falls against bounds set
// by b and c: with s = b - c, the predictor is a unless a lies strictly
// between b and 3c - 2b; inside, it is b on b's side of (3c - b) / 2, else
// c. The bounds, and the byte each outcome gives, are computed for a chunk
// of bytes at once, leaving to the chain from byte to byte two comparisons
// and two selections.

#if defined(__SSE2__)

// A whole number of 8-byte groups and of pixels.
template <int BPP>
struct PaethChunk {
  enum { SIZE = BPP == 3 ? 72 : BPP == 6 ? 96 : 64 };
  // Each with room for a whole pixel word read at the last pixel.
  int16_t lowest[SIZE + 8];  // a - lowest below span: a is not the predictor
  int16_t span[SIZE + 8];
  int16_t upper[SIZE + 8];   // from this a up the predictor gives ifUpper
  int16_t ifUpper[SIZE + 8];
  int16_t ifLower[SIZE + 8];
  int16_t raw[SIZE + 8];
};

// The thresholds of eight bytes with above bytes b, upper-left bytes c and
// filtered bytes raw (widened to 16 bits), stored from j on in chunk.
template <class Chunk>
LUM_PNG_INLINE void StorePaethThresholds(__m128i b, __m128i c, __m128i raw, Chunk& chunk, int j) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i middle = _mm_sub_epi16(_mm_add_epi16(_mm_add_epi16(c, c), c), b);  // 3c - b
  __m128i far = _mm_sub_epi16(middle, b);                                     // 3c - 2b
  __m128i lower = _mm_min_epi16(b, far);
  __m128i span = _mm_max_epi16(_mm_sub_epi16(_mm_sub_epi16(_mm_max_epi16(b, far), lower), one), zero);
  __m128i rising = _mm_cmpgt_epi16(b, c);
  // b > c: b from a >= ceil(middle / 2); b < c: c from a > floor(middle / 2).
  __m128i upper = _mm_add_epi16(_mm_srai_epi16(_mm_add_epi16(middle, _mm_and_si128(rising, one)), 1),
                                _mm_andnot_si128(rising, one));
  __m128i upperByte = _mm_or_si128(_mm_and_si128(rising, b), _mm_andnot_si128(rising, c));
  __m128i lowerByte = _mm_or_si128(_mm_and_si128(rising, c), _mm_andnot_si128(rising, b));
  __m128i ifUpper = _mm_and_si128(_mm_add_epi16(raw, upperByte), low);
  __m128i ifLower = _mm_and_si128(_mm_add_epi16(raw, lowerByte), low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk.lowest + j), _mm_add_epi16(lower, one));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk.span + j), span);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk.upper + j), upper);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk.ifUpper + j), ifUpper);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk.ifLower + j), ifLower);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk.raw + j), raw);
}

// Eight bytes widened to 16-bit lanes.
inline __m128i LoadWidened(const unsigned char* bytes) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)), _mm_setzero_si128());
}

template <int BPP>
LUM_PNG_INLINE void PreparePaethChunk(const unsigned char* row, const unsigned char* prior, PaethChunk<BPP>& chunk) {
  for (int j = 0; j < PaethChunk<BPP>::SIZE; j += 8)
    StorePaethThresholds(LoadWidened(prior + j), LoadWidened(prior + j - BPP), LoadWidened(row + j), chunk, j);
}

// Conditional moves: the compiler's own choice, a branch, would be
// mispredicted about half the time on real images.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// otherwise, or choice when value compared with bound meets the condition
// of the move.
#define LUM_PNG_CHOOSE(name, Value, move)                                              \
  inline int name(Value value, Value bound, int choice, int otherwise) {              \
    __asm__("cmpl %[bound], %[value]\n\t" move " %[choice], %[otherwise]"             \
            : [otherwise] "+r"(otherwise)                                             \
            : [value] "r"(value), [bound] "r"(bound), [choice] "r"(choice)            \
            : "cc");                                                                  \
    return otherwise;                                                                 \
  }
LUM_PNG_CHOOSE(ChooseIfAtLeast, int, "cmovgel")
LUM_PNG_CHOOSE(ChooseIfBelow, unsigned, "cmovbl")
#undef LUM_PNG_CHOOSE
#else
inline int ChooseIfAtLeast(int value, int bound, int ifAtLeast, int otherwise) {
  return value >= bound ? ifAtLeast : otherwise;
}

inline int ChooseIfBelow(unsigned value, unsigned bound, int ifBelow, int otherwise) {
  return value < bound ? ifBelow : otherwise;
}
#endif

template <int BPP>
inline int PaethStep(int left, int raw, const PaethChunk<BPP>& chunk, int j) {
  int ifUpper = chunk.ifUpper[j], ifLower = chunk.ifLower[j], upper = chunk.upper[j];
  unsigned span = static_cast<unsigned>(chunk.span[j]), lowest = static_cast<unsigned>(chunk.lowest[j]);
  int inside = ChooseIfAtLeast(left, upper, ifUpper, ifLower);
  int own = (left + raw) & 0xFF;
  return ChooseIfBelow(static_cast<unsigned>(left) - lowest, span, inside, own);
}

#endif

// ---------------------------------------------------------------------------
// Pixel by pixel, for the steps the colour types produce. Average and Paeth
// carry a chain from each pixel to the next; the loops below keep it in
// registers, one lane (or one variable) per byte of the pixel. Each returns
// where the bytes it did not restore begin.

#if defined(__SSE2__)

// A pixel is loaded as a word of WIDTH bytes widened to 16-bit lanes; a
// 1-, 2-, 3- or 6-byte pixel brings the next pixel's first bytes along in
// lanes whose results are never stored.
template <int BPP>
struct PixelWord {
  enum { WIDTH = BPP <= 4 ? 4 : 8 };

  static __m128i Load(const unsigned char* bytes) {
    __m128i word;
    if (WIDTH == 8) {
      word = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
    } else {
      int32_t value;
      std::memcpy(&value, bytes, 4);
      word = _mm_cvtsi32_si128(value);
    }
    return _mm_unpacklo_epi8(word, _mm_setzero_si128());
  }

  // WIDTH 16-bit values.
  static __m128i Lanes(const int16_t* values) {
    if (WIDTH == 8) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(values));
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(values));
  }

  // Only the pixel's own bytes: a wider store would make the next load wait.
  static void Store(unsigned char* bytes, __m128i lanes) {
    __m128i packed = _mm_packus_epi16(lanes, lanes);
    if (BPP == 8) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(bytes), packed);
      return;
    }
    unsigned char word[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(word), packed);
    std::memcpy(bytes, word, BPP);
  }
};

inline __m128i Magnitude16(__m128i value) {
  return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

inline __m128i Select(__m128i mask, __m128i ifSet, __m128i otherwise) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, otherwise));
}

template <int BPP>
LUM_PNG_INLINE size_t UnfilterAveragePixels(unsigned char* row, const unsigned char* prior, size_t length,
                                            size_t start) {
  typedef PixelWord<BPP> Word;
  if (start + Word::WIDTH > length) return start;
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i left = start > 0 ? Word::Load(row + start - BPP) : _mm_setzero_si128();
  size_t i = start;
  for (; i + Word::WIDTH <= length; i += BPP) {
    __m128i predictor = _mm_srli_epi16(_mm_add_epi16(left, Word::Load(prior + i)), 1);
    left = _mm_and_si128(_mm_add_epi16(Word::Load(row + i), predictor), low);
    Word::Store(row + i, left);
  }
  return i;
}

// The pixel restored from its filtered bytes raw and its neighbours, all
// widened to 16-bit lanes.
LUM_PNG_INLINE __m128i PaethPixel(__m128i raw, __m128i left, __m128i above, __m128i upperLeft) {
  __m128i p = _mm_sub_epi16(above, upperLeft);
  __m128i q = _mm_sub_epi16(left, upperLeft);
  __m128i pa = Magnitude16(p);
  __m128i pb = Magnitude16(q);
  __m128i pc = Magnitude16(_mm_add_epi16(p, q));
  __m128i smallest = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
  __m128i predictor =
      Select(_mm_cmpeq_epi16(pa, smallest), left, Select(_mm_cmpeq_epi16(pb, smallest), above, upperLeft));
  return _mm_and_si128(_mm_add_epi16(raw, predictor), _mm_set1_epi16(0xFF));
}

template <int BPP>
LUM_PNG_INLINE size_t UnfilterPaethPixels(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
  typedef PixelWord<BPP> Word;
  // Even the pixel before start is read a whole word wide.
  if (start + Word::WIDTH > length) return start;
  __m128i upperLeft = start > 0 ? Word::Load(prior + start - BPP) : _mm_setzero_si128();
  __m128i left = start > 0 ? Word::Load(row + start - BPP) : _mm_setzero_si128();
  size_t i = start;
  for (; i + Word::WIDTH <= length; i += BPP) {
    __m128i above = Word::Load(prior + i);
    left = PaethPixel(Word::Load(row + i), left, above, upperLeft);
    Word::Store(row + i, left);
    upperLeft = above;
  }
  return i;
}

// Paeth rows a (against prior) and b below it, a pixel of each a step: b's
// pixel takes the bytes above it from the pixel of a just restored, in
// registers, and the two chains overlap where one alone would wait on every
// step. Returns where both stopped: the first pixel a whole word cannot
// take, or 0 for a row too short to begin.
template <int BPP>
LUM_PNG_INLINE size_t UnfilterPaethPixelPair(unsigned char* a, unsigned char* b, const unsigned char* prior,
                                             size_t length) {
  typedef PixelWord<BPP> Word;
  if (BPP + Word::WIDTH > length) return 0;
  const __m128i low = _mm_set1_epi16(0xFF);
  // Without a left pixel the predictor is the one above.
  __m128i upperLeftA = Word::Load(prior);
  __m128i leftA = _mm_and_si128(_mm_add_epi16(Word::Load(a), upperLeftA), low);
  Word::Store(a, leftA);
  __m128i leftB = _mm_and_si128(_mm_add_epi16(Word::Load(b), leftA), low);
  Word::Store(b, leftB);
  size_t i = BPP;
  for (; i + Word::WIDTH <= length; i += BPP) {
    __m128i aboveA = Word::Load(prior + i);
    __m128i pixelA = PaethPixel(Word::Load(a + i), leftA, aboveA, upperLeftA);
    Word::Store(a + i, pixelA);
    leftB = PaethPixel(Word::Load(b + i), leftB, pixelA, leftA);
    Word::Store(b + i, leftB);
    upperLeftA = aboveA;
    leftA = pixelA;
  }
  return i;
}

#else

template <int BPP>
size_t UnfilterAveragePixels(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
  int left[BPP] = {};
  for (int k = 0; start > 0 && k < BPP; ++k) left[k] = row[start - BPP + k];
  size_t i = start;
  for (; i + BPP <= length; i += BPP)
    for (int k = 0; k < BPP; ++k) left[k] = row[i + k] = Add(row[i + k], (left[k] + prior[i + k]) >> 1);
  return i;
}

template <int BPP>
size_t UnfilterPaethPixels(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
  int left[BPP] = {};
  int upperLeft[BPP] = {};
  for (int k = 0; start > 0 && k < BPP; ++k) {
    left[k] = row[start - BPP + k];
    upperLeft[k] = prior[start - BPP + k];
  }
  size_t i = start;
  for (; i + BPP <= length; i += BPP)
    for (int k = 0; k < BPP; ++k) {
      int above = prior[i + k];
      left[k] = row[i + k] = Add(row[i + k], PaethPredictor(left[k], above, upperLeft[k]));
      upperLeft[k] = above;
    }
  return i;
}

#endif

// ---------------------------------------------------------------------------
// Chains by chunks. A chain restores a row a chunk of SIZE bytes at a time
// and keeps its left pixel in registers: Begin restores the first pixel,
// Prepare works out for the chunk at row (against prior) all that does not
// wait for the left pixel, Step restores the chunk's pixel at j, and Finish
// the bytes from start on that no whole chunk covers.

#if defined(__SSE2__)

// What the Paeth chains share: the thresholds of the chunk.
template <int STEP>
struct PaethChain {
  enum { BPP = STEP, SIZE = PaethChunk<STEP>::SIZE };
  PaethChunk<BPP> chunk;

  LUM_PNG_INLINE void Prepare(const unsigned char* row, const unsigned char* prior) {
    PreparePaethChunk<BPP>(row, prior, chunk);
  }
  static LUM_PNG_INLINE void Finish(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
    UnfilterPaeth(row, prior, length, BPP, UnfilterPaethPixels<BPP>(row, prior, length, start));
  }
};

// Paeth by thresholds, one chain per byte of the pixel, in general registers.
template <int STEP>
struct PaethByteChain : PaethChain<STEP> {
  int left[STEP];

  LUM_PNG_INLINE void Begin(unsigned char* row, const unsigned char* prior) {
    for (int k = 0; k < STEP; ++k) left[k] = row[k] = Add(row[k], prior[k]);
  }
  LUM_PNG_INLINE void Step(unsigned char* row, int j) {
    for (int k = 0; k < STEP; ++k) {
      left[k] = PaethStep<STEP>(left[k], this->chunk.raw[j + k], this->chunk, j + k);
      row[j + k] = static_cast<unsigned char>(left[k]);
    }
  }
};

// One step of the thresholds chain over the lanes of a Word, the chunk's
// from j on: a subtraction, two comparisons and two selections.
template <class Word, class Chunk>
LUM_PNG_INLINE __m128i PaethLaneStep(__m128i left, const Chunk& chunk, int j) {
  __m128i offset = _mm_sub_epi16(left, Word::Lanes(chunk.lowest + j));
  __m128i outside = _mm_cmpeq_epi16(_mm_subs_epu16(Word::Lanes(chunk.span + j), offset), _mm_setzero_si128());
  __m128i below = _mm_cmpgt_epi16(Word::Lanes(chunk.upper + j), left);
  __m128i inside = Select(below, Word::Lanes(chunk.ifLower + j), Word::Lanes(chunk.ifUpper + j));
  __m128i own = _mm_and_si128(_mm_add_epi16(left, Word::Lanes(chunk.raw + j)), _mm_set1_epi16(0xFF));
  return Select(outside, own, inside);
}

// Paeth by thresholds a pixel a step.
template <int STEP>
struct PaethPixelChain : PaethChain<STEP> {
  typedef PixelWord<STEP> Word;
  __m128i left;

  LUM_PNG_INLINE void Begin(unsigned char* row, const unsigned char* prior) {
    left = _mm_and_si128(_mm_add_epi16(Word::Load(row), Word::Load(prior)), _mm_set1_epi16(0xFF));
    Word::Store(row, left);
  }
  LUM_PNG_INLINE void Step(unsigned char* row, int j) {
    left = PaethLaneStep<Word>(left, this->chunk, j);
    Word::Store(row + j, left);
  }
};

// Thresholds cost work ahead of the chain that pays while pixels are small:
// byte by byte for one byte, a pixel a step up to four (at two bytes, as
// 16-bit grey has, a pixel a step beats two byte chains).
template <int BPP>
struct PaethChainOf {
  typedef PaethPixelChain<BPP> Type;
};
template <>
struct PaethChainOf<1> {
  typedef PaethByteChain<1> Type;
};

// Average a pixel a step over the chunk's bytes widened ahead: inside a
// chunk no load reaches past it, so a chain may run just behind another
// row's.
template <int STEP>
struct AverageChain {
  enum { BPP = STEP, SIZE = PaethChunk<STEP>::SIZE };
  typedef PixelWord<STEP> Word;
  int16_t above[SIZE + 8];
  int16_t raw[SIZE + 8];
  __m128i left;

  LUM_PNG_INLINE void Begin(unsigned char* row, const unsigned char* prior) {
    left = _mm_and_si128(_mm_add_epi16(Word::Load(row), _mm_srli_epi16(Word::Load(prior), 1)), _mm_set1_epi16(0xFF));
    Word::Store(row, left);
  }
  LUM_PNG_INLINE void Prepare(const unsigned char* row, const unsigned char* prior) {
    const __m128i zero = _mm_setzero_si128();
    for (int j = 0; j < SIZE; j += 8) {
      __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(prior + j)), zero);
      __m128i x = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + j)), zero);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(above + j), b);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(raw + j), x);
    }
  }
  LUM_PNG_INLINE void Step(unsigned char* row, int j) {
    __m128i predictor = _mm_srli_epi16(_mm_add_epi16(left, Word::Lanes(above + j)), 1);
    left = _mm_and_si128(_mm_add_epi16(Word::Lanes(raw + j), predictor), _mm_set1_epi16(0xFF));
    Word::Store(row + j, left);
  }
  static LUM_PNG_INLINE void Finish(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
    UnfilterAverage(row, prior, length, BPP, UnfilterAveragePixels<BPP>(row, prior, length, start));
  }
};

template <class Chain>
LUM_PNG_INLINE void StepThroughChunk(Chain& chain, unsigned char* row) {
  // Unrolled, the steps share one index.
#pragma GCC unroll 8
  for (int j = 0; j < Chain::SIZE; j += Chain::BPP) chain.Step(row, j);
}

// The whole row, when it holds at least one chunk after its first pixel.
template <class Chain>
LUM_PNG_INLINE bool RunChain(unsigned char* row, const unsigned char* prior, size_t length) {
  if (length < Chain::BPP + Chain::SIZE) return false;
  Chain chain;
  chain.Begin(row, prior);
  size_t i = Chain::BPP;
  for (; i + Chain::SIZE <= length; i += Chain::SIZE) {
    chain.Prepare(row + i, prior + i);
    StepThroughChunk(chain, row + i);
  }
  Chain::Finish(row, prior, length, i);
  return true;
}

// Row a (against prior) and row b below it together, b's chain a chunk
// behind a's, where the bytes above it are final: the processor overlaps
// two independent chains where one alone keeps it waiting on each step.
template <class ChainA, class ChainB>
LUM_PNG_INLINE bool RunChainPair(unsigned char* a, unsigned char* b, const unsigned char* prior, size_t length) {
  enum { BPP = ChainA::BPP, SIZE = ChainA::SIZE };
  static_assert(BPP == int(ChainB::BPP) && SIZE == int(ChainB::SIZE), "chains of one step and chunk");
  if (length < BPP + SIZE) return false;
  ChainA first;
  ChainB second;
  first.Begin(a, prior);
  first.Prepare(a + BPP, prior + BPP);
  StepThroughChunk(first, a + BPP);
  second.Begin(b, a);
  size_t i = BPP + SIZE;
  for (; i + SIZE <= length; i += SIZE) {
    first.Prepare(a + i, prior + i);
    second.Prepare(b + i - SIZE, a + i - SIZE);
#pragma GCC unroll 8
    for (int j = 0; j < SIZE; j += BPP) {
      first.Step(a + i, j);
      second.Step(b + i - SIZE, j);
    }
  }
  ChainA::Finish(a, prior, length, i);
  second.Prepare(b + i - SIZE, a + i - SIZE);
  StepThroughChunk(second, b + i - SIZE);
  ChainB::Finish(b, a, length, i);
  return true;
}

// ---------------------------------------------------------------------------
// Paeth rows in lanes. With pixels of 1, 2 or 4 bytes, 8, 4 or 2 rows in
// turn fill the eight 16-bit lanes of one step of the thresholds chain: each
// step restores a pixel of every row, and the chain's wait is shared by all
// of them. Each row runs behind the row above it, where the bytes above are
// final; a row before its first chunk or after its last is fed zeros, on
// which a step leaves its lanes as they are.

// Units of BYTES bytes from the low (or high) halves of x and y in turn.
template <int BYTES>
inline __m128i UnpackLow(__m128i x, __m128i y) {
  if constexpr (BYTES == 1) return _mm_unpacklo_epi8(x, y);
  else if constexpr (BYTES == 2) return _mm_unpacklo_epi16(x, y);
  else if constexpr (BYTES == 4) return _mm_unpacklo_epi32(x, y);
  else return _mm_unpacklo_epi64(x, y);
}

template <int BYTES>
inline __m128i UnpackHigh(__m128i x, __m128i y) {
  if constexpr (BYTES == 2) return _mm_unpackhi_epi16(x, y);
  else if constexpr (BYTES == 4) return _mm_unpackhi_epi32(x, y);
  else return _mm_unpackhi_epi64(x, y);
}

// ROWS vectors of units of UNIT 16-bit lanes into as many vectors that hold,
// one after the other, the first unit of every input in order, then the
// second, and so on. With ROWS units to a vector this is a transposition,
// which applied twice gives the inputs back.
template <int ROWS, int UNIT>
LUM_PNG_INLINE void TransposeUnits(const __m128i* in, __m128i* out) {
  if constexpr (ROWS == 1) {
    out[0] = in[0];
  } else {
    __m128i low[ROWS / 2], high[ROWS / 2];
#pragma GCC unroll 8
    for (int r = 0; r < ROWS / 2; ++r) {
      low[r] = UnpackLow<2 * UNIT>(in[2 * r], in[2 * r + 1]);
      high[r] = UnpackHigh<2 * UNIT>(in[2 * r], in[2 * r + 1]);
    }
    TransposeUnits<ROWS / 2, UNIT * 2>(low, out);
    TransposeUnits<ROWS / 2, UNIT * 2>(high, out + ROWS / 2);
  }
}

// The first eight bytes of each of 8 / UNIT vectors, units of UNIT bytes,
// into half as many vectors: the first unit of every input in order, then
// the second, and so on. Done again on the halves of its output it gives the
// inputs back.
template <int UNIT>
LUM_PNG_INLINE void TransposeEights(const __m128i* eights, __m128i* out) {
  enum { ROWS = 8 / UNIT };
  __m128i merged[ROWS / 2];
#pragma GCC unroll 8
  for (int r = 0; r < ROWS / 2; ++r) merged[r] = UnpackLow<UNIT>(eights[2 * r], eights[2 * r + 1]);
  TransposeUnits<ROWS / 2, UNIT>(merged, out);
}

template <int STEP>
struct PaethLanes {
  enum { BPP = STEP, ROWS = 8 / STEP, SIZE = 64, STEPS = SIZE / STEP };
  typedef PixelWord<8> Word;
  // Step p's lanes from 8 p on.
  int16_t lowest[STEPS * 8];
  int16_t span[STEPS * 8];
  int16_t upper[STEPS * 8];
  int16_t ifUpper[STEPS * 8];
  int16_t ifLower[STEPS * 8];
  int16_t raw[STEPS * 8];
};

// Where each row of a group is in one round: row r works on its chunk
// round - LAG r, when it has one. Two chunks apart, a round's thresholds
// depend only on rows restored two rounds before, so they are worked out
// while the chain runs through the round before.
template <int ROWS>
struct PaethLanePlaces {
  enum { LAG = 2 };
  bool active[ROWS];
  size_t at[ROWS];  // from the row's first byte

  PaethLanePlaces(size_t round, size_t chunks, size_t bpp, size_t size) {
    for (int r = 0; r < ROWS; ++r) {
      active[r] = round >= static_cast<size_t>(LAG * r) && round - LAG * r < chunks;
      at[r] = active[r] ? bpp + (round - LAG * r) * size : 0;
    }
  }
};

// The thresholds of the group's bytes j to j + 7 of every row into lanes.
template <int STEP>
LUM_PNG_INLINE void PreparePaethLanes(unsigned char* const* rows, const unsigned char* const* above,
                                      const PaethLanePlaces<8 / STEP>& places, PaethLanes<STEP>& lanes, int j) {
  enum { ROWS = 8 / STEP };
  const __m128i zero = _mm_setzero_si128();
  __m128i b[ROWS], c[ROWS], raw[ROWS], bt[ROWS / 2], ct[ROWS / 2], rawt[ROWS / 2];
#pragma GCC unroll 8
  for (int r = 0; r < ROWS; ++r) {
    bool active = places.active[r];
    size_t at = places.at[r] + j;
    b[r] = active ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(above[r] + at)) : zero;
    c[r] = active ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(above[r] + at - STEP)) : zero;
    raw[r] = active ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[r] + at)) : zero;
  }
  TransposeEights<STEP>(b, bt);
  TransposeEights<STEP>(c, ct);
  TransposeEights<STEP>(raw, rawt);
#pragma GCC unroll 4
  for (int q = 0; q < ROWS / 2; ++q) {
    int p = j / STEP + 2 * q;
    StorePaethThresholds(_mm_unpacklo_epi8(bt[q], zero), _mm_unpacklo_epi8(ct[q], zero),
                         _mm_unpacklo_epi8(rawt[q], zero), lanes, p * 8);
    StorePaethThresholds(_mm_unpackhi_epi8(bt[q], zero), _mm_unpackhi_epi8(ct[q], zero),
                         _mm_unpackhi_epi8(rawt[q], zero), lanes, p * 8 + 8);
  }
}

// rows[r] is row r's first byte, above[r] the row above it (above[0] the
// pass's row before the group, above[r] = rows[r - 1] after); each row holds
// chunks whole chunks after its first pixel.
template <int STEP>
LUM_PNG_INLINE void RunPaethLanes(unsigned char* const* rows, const unsigned char* const* above, size_t chunks) {
  typedef PaethLanes<STEP> Lanes;
  typedef PaethLanePlaces<Lanes::ROWS> Places;
  enum { BPP = Lanes::BPP, ROWS = Lanes::ROWS, SIZE = Lanes::SIZE };
  alignas(16) int16_t first[8];
  for (int r = 0; r < ROWS; ++r)
    for (int k = 0; k < BPP; ++k) first[r * BPP + k] = rows[r][k] = Add(rows[r][k], above[r][k]);
  __m128i left = _mm_load_si128(reinterpret_cast<const __m128i*>(first));
  const size_t rounds = chunks + Places::LAG * (ROWS - 1);
  Lanes lanes[2];
  Places now(0, chunks, BPP, SIZE);
  for (int j = 0; j < SIZE; j += 8) PreparePaethLanes<STEP>(rows, above, now, lanes[0], j);
  for (size_t round = 0; round < rounds; ++round) {
    Lanes& current = lanes[round & 1];
    Lanes& following = lanes[(round + 1) & 1];
    Places next(round + 1, chunks, BPP, SIZE);
    for (int j = 0; j < SIZE; j += 8) {
      if (round + 1 < rounds) PreparePaethLanes<STEP>(rows, above, next, following, j);
      __m128i steps[ROWS], eights[ROWS], bytes[ROWS / 2];
#pragma GCC unroll 8
      for (int m = 0; m < ROWS; ++m) {
        left = PaethLaneStep<typename Lanes::Word>(left, current, (j / BPP + m) * 8);
        steps[m] = left;
      }
#pragma GCC unroll 4
      for (int q = 0; q < ROWS / 2; ++q) {
        eights[2 * q] = _mm_packus_epi16(steps[2 * q], steps[2 * q + 1]);
        eights[2 * q + 1] = _mm_srli_si128(eights[2 * q], 8);
      }
      TransposeEights<BPP>(eights, bytes);
#pragma GCC unroll 4
      for (int q = 0; q < ROWS / 2; ++q) {
        if (now.active[2 * q])
          _mm_storel_epi64(reinterpret_cast<__m128i*>(rows[2 * q] + now.at[2 * q] + j), bytes[q]);
        if (now.active[2 * q + 1])
          _mm_storel_epi64(reinterpret_cast<__m128i*>(rows[2 * q + 1] + now.at[2 * q + 1] + j),
                           _mm_unpackhi_epi64(bytes[q], bytes[q]));
      }
    }
    now = next;
  }
}

// The group's rows from rows on, stride apart, the first against prior;
// false when the rows are too short for the lanes to pay.
template <int STEP>
LUM_PNG_INLINE bool UnfilterPaethGroup(unsigned char* rows, const unsigned char* prior, size_t length,
                                       size_t stride) {
  typedef PaethLanes<STEP> Lanes;
  enum { ROWS = Lanes::ROWS };
  // Each row waits a chunk for the one above: with fewer chunks than rows
  // most lanes idle.
  size_t chunks = length < STEP ? 0 : (length - STEP) / Lanes::SIZE;
  if (chunks < ROWS) return false;
  unsigned char* row[ROWS];
  const unsigned char* above[ROWS];
  for (int r = 0; r < ROWS; ++r) {
    row[r] = rows + r * stride + 1;
    above[r] = r == 0 ? prior : row[r - 1];
  }
  RunPaethLanes<STEP>(row, above, chunks);
  for (int r = 0; r < ROWS; ++r) PaethChain<STEP>::Finish(row[r], above[r], length, STEP + chunks * Lanes::SIZE);
  return true;
}

template <int BPP>
LUM_PNG_INLINE void RestorePaeth(unsigned char* row, const unsigned char* prior, size_t length) {
  // Wider pixels compare the distances themselves, a pixel a step.
  if constexpr (BPP <= 4) {
    if (RunChain<typename PaethChainOf<BPP>::Type>(row, prior, length)) return;
  }
  UnfilterPaeth(row, prior, length, BPP, UnfilterPaethPixels<BPP>(row, prior, length, 0));
}

// Only Paeth and Average carry a chain worth overlapping; false leaves both
// rows as they were.
template <int BPP>
LUM_PNG_INLINE bool UnfilterRowPair(int typeA, int typeB, unsigned char* a, unsigned char* b,
                                    const unsigned char* prior, size_t length) {
  typedef typename PaethChainOf<BPP>::Type Paeth;
  typedef AverageChain<BPP> Average;
  bool paethA = typeA == ROW_FILTER_PAETH, paethB = typeB == ROW_FILTER_PAETH;
  if (!(paethA || typeA == ROW_FILTER_AVERAGE) || !(paethB || typeB == ROW_FILTER_AVERAGE)) return false;
  // Rows shorter than a chunk pair their Paeth rows a pixel apart.
  if (paethA && paethB && length < BPP + Paeth::SIZE) {
    const size_t start = UnfilterPaethPixelPair<BPP>(a, b, prior, length);
    if (start == 0) return false;
    UnfilterPaeth(a, prior, length, BPP, start);
    UnfilterPaeth(b, a, length, BPP, start);
    return true;
  }
  // At three bytes Average's chain is short enough that widening its
  // chunks ahead costs more than the overlap gains.
  if (BPP == 3 && !(paethA && paethB)) return false;
  if (paethA) {
    return paethB ? RunChainPair<Paeth, Paeth>(a, b, prior, length) : RunChainPair<Paeth, Average>(a, b, prior, length);
  }
  return paethB ? RunChainPair<Average, Paeth>(a, b, prior, length)
                : RunChainPair<Average, Average>(a, b, prior, length);
}

#else

template <int BPP>
void RestorePaeth(unsigned char* row, const unsigned char* prior, size_t length) {
  UnfilterPaeth(row, prior, length, BPP, UnfilterPaethPixels<BPP>(row, prior, length, 0));
}

template <int BPP>
bool UnfilterRowPair(int, int, unsigned char*, unsigned char*, const unsigned char*, size_t) {
  return false;
}

template <int STEP>
bool UnfilterPaethGroup(unsigned char*, const unsigned char*, size_t, size_t) {
  return false;
}

#endif


template <int BPP>
LUM_PNG_INLINE void UnfilterPixels(int filterType, unsigned char* row, const unsigned char* prior, size_t length) {
  switch (filterType) {
    case ROW_FILTER_SUB: RestoreSub(row, length, BPP); break;
    case ROW_FILTER_UP: UnfilterUp(row, prior, length, UnfilterUpBlocks(row, prior, length)); break;
    case ROW_FILTER_AVERAGE:
      UnfilterAverage(row, prior, length, BPP, UnfilterAveragePixels<BPP>(row, prior, length, 0));
      break;
    case ROW_FILTER_PAETH: RestorePaeth<BPP>(row, prior, length); break;
    default: break;
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
template <int BPP>
__attribute__((target("avx2"))) void UnfilterPixelsAvx2(int filterType, unsigned char* row,
                                                       const unsigned char* prior, size_t length) {
  UnfilterPixels<BPP>(filterType, row, prior, length);
}

bool HasAvx2() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported;
}
#endif

template <int BPP>
void UnfilterPixelsOnThisCpu(int filterType, unsigned char* row, const unsigned char* prior, size_t length) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (HasAvx2()) return UnfilterPixelsAvx2<BPP>(filterType, row, prior, length);
#endif
  UnfilterPixels<BPP>(filterType, row, prior, length);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
template <int BPP>
__attribute__((target("avx2"))) bool UnfilterRowPairAvx2(int typeA, int typeB, unsigned char* a, unsigned char* b,
                                                         const unsigned char* prior, size_t length) {
  return UnfilterRowPair<BPP>(typeA, typeB, a, b, prior, length);
}
#endif

template <int BPP>
bool UnfilterRowPairOnThisCpu(int typeA, int typeB, unsigned char* a, unsigned char* b, const unsigned char* prior,
                              size_t length) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (HasAvx2()) return UnfilterRowPairAvx2<BPP>(typeA, typeB, a, b, prior, length);
#endif
  return UnfilterRowPair<BPP>(typeA, typeB, a, b, prior, length);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
template <int STEP>
__attribute__((target("avx2"))) bool UnfilterPaethGroupAvx2(unsigned char* rows, const unsigned char* prior,
                                                            size_t length, size_t stride) {
  return UnfilterPaethGroup<STEP>(rows, prior, length, stride);
}
#endif

template <int STEP>
bool UnfilterPaethGroupOnThisCpu(unsigned char* rows, const unsigned char* prior, size_t length, size_t stride) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (HasAvx2()) return UnfilterPaethGroupAvx2<STEP>(rows, prior, length, stride);
#endif
  return UnfilterPaethGroup<STEP>(rows, prior, length, stride);
}

// The shortest chunk that rows run together by.
const size_t CHUNK_BYTES = 64;

// Rows shorter than a chunk after their first pixel, and rows of wider
// pixels, are never restored together by chunks.
bool RowsRunTogether(size_t length, size_t bpp) { return bpp <= 4 && length >= bpp + CHUNK_BYTES; }

// How many Paeth rows in turn fill the lanes at bpp, 0 when they can't.
size_t PaethGroupRows(size_t bpp) { return bpp == 1 || bpp == 2 || bpp == 4 ? 8 / bpp : 0; }

// The group of PaethGroupRows rows from rows on, when all of them are Paeth
// rows long enough to pay.
bool UnfilterPaethGroupOfStep(unsigned char* rows, const unsigned char* prior, size_t length, size_t stride,
                              size_t bpp) {
  for (size_t r = 0; r < PaethGroupRows(bpp); ++r)
    if (rows[r * stride] != ROW_FILTER_PAETH) return false;
  switch (bpp) {
    case 1: return UnfilterPaethGroupOnThisCpu<1>(rows, prior, length, stride);
    case 2: return UnfilterPaethGroupOnThisCpu<2>(rows, prior, length, stride);
    case 4: return UnfilterPaethGroupOnThisCpu<4>(rows, prior, length, stride);
    default: return false;
  }
}

// Wider pixels make shorter chains, which one row at a time already overlaps.
bool UnfilterRowPairOfStep(int typeA, int typeB, unsigned char* a, unsigned char* b, const unsigned char* prior,
                           size_t length, size_t bpp) {
  switch (bpp) {
    case 1: return UnfilterRowPairOnThisCpu<1>(typeA, typeB, a, b, prior, length);
    case 2: return UnfilterRowPairOnThisCpu<2>(typeA, typeB, a, b, prior, length);
    case 3: return UnfilterRowPairOnThisCpu<3>(typeA, typeB, a, b, prior, length);
    case 4: return UnfilterRowPairOnThisCpu<4>(typeA, typeB, a, b, prior, length);
    default: return false;
  }
}

void UnfilterBytes(int filterType, unsigned char* row, const unsigned char* prior, size_t length, size_t bpp) {
  switch (filterType) {
    case ROW_FILTER_SUB: UnfilterSub(row, length, bpp, 0); break;
    case ROW_FILTER_UP: UnfilterUp(row, prior, length, 0); break;
    case ROW_FILTER_AVERAGE: UnfilterAverage(row, prior, length, bpp, 0); break;
    case ROW_FILTER_PAETH: UnfilterPaeth(row, prior, length, bpp, 0); break;
    default: break;
  }
}

// Without a row above, Up adds nothing, Average adds half the left byte
// and Paeth's predictor is always the left byte.
void UnfilterFirstRow(int filterType, unsigned char* row, size_t length, size_t bpp) {
  switch (filterType) {
    case ROW_FILTER_SUB:
    case ROW_FILTER_PAETH: RestoreSub(row, length, bpp); break;
    case ROW_FILTER_AVERAGE:
      for (size_t i = bpp; i < length; ++i) row[i] = Add(row[i], row[i - bpp] >> 1);
      break;
    default: break;
  }
}

}  // namespace

void UnfilterPngRow(int filterType, unsigned char* row, const unsigned char* prior, size_t length,
                    size_t bpp) {
  if (filterType == ROW_FILTER_NONE || length == 0) return;
  if (bpp == 0) bpp = 1;
  if (prior == nullptr) {
    UnfilterFirstRow(filterType, row, length, bpp);
    return;
  }
  switch (bpp) {
    case 1: UnfilterPixelsOnThisCpu<1>(filterType, row, prior, length); break;
    case 2: UnfilterPixelsOnThisCpu<2>(filterType, row, prior, length); break;
    case 3: UnfilterPixelsOnThisCpu<3>(filterType, row, prior, length); break;
    case 4: UnfilterPixelsOnThisCpu<4>(filterType, row, prior, length); break;
    case 6: UnfilterPixelsOnThisCpu<6>(filterType, row, prior, length); break;
    case 8: UnfilterPixelsOnThisCpu<8>(filterType, row, prior, length); break;
    default: UnfilterBytes(filterType, row, prior, length, bpp); break;
  }
}

void UnfilterPngRows(unsigned char* rows, const unsigned char* prior, size_t rowCount, size_t length, size_t stride,
                     size_t bpp) {
  if (bpp == 0) bpp = 1;
  // Small images should not pay for asking for groups.
  const bool together = RowsRunTogether(length, bpp);
  const size_t groupRows = PaethGroupRows(bpp);
  size_t j = 0;
  while (j < rowCount) {
    unsigned char* row = rows + j * stride;
    if (together && prior != nullptr && groupRows > 0 && rowCount - j >= groupRows &&
        UnfilterPaethGroupOfStep(row, prior, length, stride, bpp)) {
      prior = row + (groupRows - 1) * stride + 1;
      j += groupRows;
      continue;
    }
    if (prior != nullptr && j + 1 < rowCount &&
        UnfilterRowPairOfStep(row[0], row[stride], row + 1, row + stride + 1, prior, length, bpp)) {
      prior = row + stride + 1;
      j += 2;
      continue;
    }
    UnfilterPngRow(row[0], row + 1, prior, length, bpp);
    prior = row + 1;
    ++j;
  }
}

size_t PngRowBatch(size_t length, size_t bpp, size_t budget) {
  const size_t LONGEST_RUN = 8;
  // Rows shorter than a chunk go eight at a time, where pairs of Paeth rows
  // form. Longer rows that never run together are best restored one at a
  // time, each placed while the next is restored.
  if (!RowsRunTogether(length, bpp)) return length < bpp + CHUNK_BYTES ? LONGEST_RUN : 1;
  size_t rows = budget / (length + 1) / LONGEST_RUN * LONGEST_RUN;
  return rows > LONGEST_RUN ? rows : LONGEST_RUN;
}

}  // namespace lum
