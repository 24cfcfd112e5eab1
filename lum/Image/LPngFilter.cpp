#include "lum/Image/LPngFilter.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lum {

namespace {

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

void UnfilterSub(unsigned char* row, size_t length, size_t bpp) {
  for (size_t i = bpp; i < length; ++i) row[i] = Add(row[i], row[i - bpp]);
}

void UnfilterUp(unsigned char* row, const unsigned char* prior, size_t length) {
  for (size_t i = 0; i < length; ++i) row[i] = Add(row[i], prior[i]);
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
size_t UnfilterAveragePixels(unsigned char* row, const unsigned char* prior, size_t length) {
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
size_t UnfilterPaethPixels(unsigned char* row, const unsigned char* prior, size_t length) {
  typedef PixelWord<BPP> Word;
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i upperLeft = _mm_setzero_si128();
  __m128i left = _mm_setzero_si128();
  size_t i = 0;
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
size_t UnfilterPaethPixels(unsigned char* row, const unsigned char* prior, size_t length) {
  int left[BPP] = {};
  int upperLeft[BPP] = {};
  size_t i = 0;
  for (; i + BPP <= length; i += BPP)
    for (int k = 0; k < BPP; ++k) {
      int above = prior[i + k];
      left[k] = row[i + k] = Add(row[i + k], PaethPredictor(left[k], above, upperLeft[k]));
      upperLeft[k] = above;
    }
  return i;
}

#endif

template <int BPP>
void UnfilterPixels(int filterType, unsigned char* row, const unsigned char* prior, size_t length) {
  switch (filterType) {
    case ROW_FILTER_SUB: UnfilterSub(row, length, BPP); break;
    case ROW_FILTER_UP: UnfilterUp(row, prior, length); break;
    case ROW_FILTER_AVERAGE:
      UnfilterAverage(row, prior, length, BPP, UnfilterAveragePixels<BPP>(row, prior, length));
      break;
    case ROW_FILTER_PAETH:
      UnfilterPaeth(row, prior, length, BPP, UnfilterPaethPixels<BPP>(row, prior, length));
      break;
    default: break;
  }
}

void UnfilterBytes(int filterType, unsigned char* row, const unsigned char* prior, size_t length, size_t bpp) {
  switch (filterType) {
    case ROW_FILTER_SUB: UnfilterSub(row, length, bpp); break;
    case ROW_FILTER_UP: UnfilterUp(row, prior, length); break;
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
    case ROW_FILTER_PAETH: UnfilterSub(row, length, bpp); break;
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
    case 1: UnfilterPixels<1>(filterType, row, prior, length); break;
    case 2: UnfilterPixels<2>(filterType, row, prior, length); break;
    case 3: UnfilterPixels<3>(filterType, row, prior, length); break;
    case 4: UnfilterPixels<4>(filterType, row, prior, length); break;
    case 6: UnfilterPixels<6>(filterType, row, prior, length); break;
    case 8: UnfilterPixels<8>(filterType, row, prior, length); break;
    default: UnfilterBytes(filterType, row, prior, length, bpp); break;
  }
}

}  // namespace lum
