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

template <int BPP>
LUM_PNG_INLINE void PreparePaethChunk(const unsigned char* row, const unsigned char* prior, PaethChunk<BPP>& chunk) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i low = _mm_set1_epi16(0xFF);
  for (int j = 0; j < PaethChunk<BPP>::SIZE; j += 8) {
    __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(prior + j)), zero);
    __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(prior + j - BPP)), zero);
    __m128i raw = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + j)), zero);
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

// Returns where the bytes it did not restore begin.
template <int BPP>
LUM_PNG_INLINE size_t UnfilterPaethByThresholds(unsigned char* row, const unsigned char* prior, size_t length) {
  typedef PaethChunk<BPP> Chunk;
  if (length < BPP + Chunk::SIZE) return 0;
  int left[BPP];
  for (int k = 0; k < BPP; ++k) left[k] = row[k] = Add(row[k], prior[k]);
  Chunk chunk;
  size_t i = BPP;
  for (; i + Chunk::SIZE <= length; i += Chunk::SIZE) {
    PreparePaethChunk<BPP>(row + i, prior + i, chunk);
    // Unrolled, the steps share one index.
#pragma GCC unroll 8
    for (int j = 0; j < Chunk::SIZE; j += BPP)
      for (int k = 0; k < BPP; ++k) {
        left[k] = PaethStep<BPP>(left[k], row[i + j + k], chunk, j + k);
        row[i + j + k] = static_cast<unsigned char>(left[k]);
      }
  }
  return i;
}

#else

template <int BPP>
size_t UnfilterPaethByThresholds(unsigned char*, const unsigned char*, size_t) { return 0; }

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
LUM_PNG_INLINE size_t UnfilterAveragePixels(unsigned char* row, const unsigned char* prior, size_t length) {
  typedef PixelWord<BPP> Word;
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i left = _mm_setzero_si128();
  size_t i = 0;
  for (; i + Word::WIDTH <= length; i += BPP) {
    __m128i predictor = _mm_srli_epi16(_mm_add_epi16(left, Word::Load(prior + i)), 1);
    left = _mm_and_si128(_mm_add_epi16(Word::Load(row + i), predictor), low);
    Word::Store(row + i, left);
  }
  return i;
}

template <int BPP>
LUM_PNG_INLINE size_t UnfilterPaethPixels(unsigned char* row, const unsigned char* prior, size_t length, size_t start) {
  typedef PixelWord<BPP> Word;
  // Even the pixel before start is read a whole word wide.
  if (start + Word::WIDTH > length) return start;
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i upperLeft = start > 0 ? Word::Load(prior + start - BPP) : _mm_setzero_si128();
  __m128i left = start > 0 ? Word::Load(row + start - BPP) : _mm_setzero_si128();
  size_t i = start;
  for (; i + Word::WIDTH <= length; i += BPP) {
    __m128i above = Word::Load(prior + i);
    __m128i p = _mm_sub_epi16(above, upperLeft);
    __m128i q = _mm_sub_epi16(left, upperLeft);
    __m128i pa = Magnitude16(p);
    __m128i pb = Magnitude16(q);
    __m128i pc = Magnitude16(_mm_add_epi16(p, q));
    __m128i smallest = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
    __m128i predictor =
        Select(_mm_cmpeq_epi16(pa, smallest), left, Select(_mm_cmpeq_epi16(pb, smallest), above, upperLeft));
    left = _mm_and_si128(_mm_add_epi16(Word::Load(row + i), predictor), low);
    Word::Store(row + i, left);
    upperLeft = above;
  }
  return i;
}

// Paeth by thresholds, a pixel per step: the chain from pixel to pixel is
// a subtraction, two comparisons and two selections.
template <int BPP>
LUM_PNG_INLINE size_t UnfilterPaethPixelsByThresholds(unsigned char* row, const unsigned char* prior, size_t length) {
  typedef PaethChunk<BPP> Chunk;
  typedef PixelWord<BPP> Word;
  if (length < BPP + Chunk::SIZE) return 0;
  const __m128i low = _mm_set1_epi16(0xFF);
  const __m128i zero = _mm_setzero_si128();
  __m128i left = _mm_add_epi16(Word::Load(row), Word::Load(prior));
  left = _mm_and_si128(left, low);
  Word::Store(row, left);
  Chunk chunk;
  size_t i = BPP;
  for (; i + Chunk::SIZE <= length; i += Chunk::SIZE) {
    PreparePaethChunk<BPP>(row + i, prior + i, chunk);
    for (int j = 0; j < Chunk::SIZE; j += BPP) {
      __m128i offset = _mm_sub_epi16(left, Word::Lanes(chunk.lowest + j));
      __m128i outside = _mm_cmpeq_epi16(_mm_subs_epu16(Word::Lanes(chunk.span + j), offset), zero);
      __m128i below = _mm_cmpgt_epi16(Word::Lanes(chunk.upper + j), left);
      __m128i inside = Select(below, Word::Lanes(chunk.ifLower + j), Word::Lanes(chunk.ifUpper + j));
      __m128i own = _mm_and_si128(_mm_add_epi16(left, Word::Lanes(chunk.raw + j)), low);
      left = Select(outside, own, inside);
      Word::Store(row + i + j, left);
    }
  }
  return i;
}

#else

template <int BPP>
size_t UnfilterAveragePixels(unsigned char* row, const unsigned char* prior, size_t length) {
  int left[BPP] = {};
  size_t i = 0;
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

template <int BPP>
size_t UnfilterPaethPixelsByThresholds(unsigned char*, const unsigned char*, size_t) {
  return 0;
}

#endif

template <int BPP>
LUM_PNG_INLINE void UnfilterPixels(int filterType, unsigned char* row, const unsigned char* prior, size_t length) {
  switch (filterType) {
    case ROW_FILTER_SUB: RestoreSub(row, length, BPP); break;
    case ROW_FILTER_UP: UnfilterUp(row, prior, length, UnfilterUpBlocks(row, prior, length)); break;
    case ROW_FILTER_AVERAGE:
      UnfilterAverage(row, prior, length, BPP, UnfilterAveragePixels<BPP>(row, prior, length));
      break;
    case ROW_FILTER_PAETH:
      // Thresholds cost work ahead of the chain that pays while pixels are
      // small: byte by byte for one byte, a pixel a step up to four (at two
      // bytes, as 16-bit grey has, a pixel a step beats two byte chains);
      // wider pixels compare the distances themselves, a pixel a step.
      // Rows shorter than a chunk of thresholds, and the bytes after the
      // last chunk, go a pixel a step.
      {
        size_t done = BPP <= 1   ? UnfilterPaethByThresholds<BPP>(row, prior, length)
                      : BPP <= 4 ? UnfilterPaethPixelsByThresholds<BPP>(row, prior, length)
                                 : 0;
        UnfilterPaeth(row, prior, length, BPP, UnfilterPaethPixels<BPP>(row, prior, length, done));
      }
      break;
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

}  // namespace lum
