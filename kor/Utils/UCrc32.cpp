// CRC-32 of PNG and zlib (reflected polynomial 0xEDB88320). The public
// one-byte table is what callers that fold bytes themselves use. Bulk data
// goes through sixteen bytes per step with tables derived from it (built at
// compile time), or, where the processor has carry-less multiplication,
// through 128-bit folding, with a table-driven part beside it on long
// inputs, or through 512-bit folding where it multiplies in 512-bit
// registers; all paths give the same value.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kor/Utils/UCompressor.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KOR_CRC32_CLMUL 1
#include <immintrin.h>
// KOR_CRC32_NARROW leaves the 512-bit folding out, so that a test can check
// the forms other processors take on one that has it.
#ifndef KOR_CRC32_NARROW
#define KOR_CRC32_WIDE 1
#endif
#endif

namespace kor {

namespace {

constexpr uint32_t ByteRemainder(uint32_t n) {
  for (int k = 0; k < 8; ++k) n = (n & 1) ? (n >> 1) ^ 0xEDB88320u : n >> 1;
  return n;
}

}  // namespace

// Filled when the program is loaded, so that threads computing their first
// CRC at once never write it. A rebuild writes only entries that differ:
// building a filled table again only reads it.
#define KOR_CRC_ENTRIES4(n) \
  ByteRemainder(n), ByteRemainder((n) + 1), ByteRemainder((n) + 2), ByteRemainder((n) + 3)
#define KOR_CRC_ENTRIES16(n) \
  KOR_CRC_ENTRIES4(n), KOR_CRC_ENTRIES4((n) + 4), KOR_CRC_ENTRIES4((n) + 8), KOR_CRC_ENTRIES4((n) + 12)
#define KOR_CRC_ENTRIES64(n)                                                     \
  KOR_CRC_ENTRIES16(n), KOR_CRC_ENTRIES16((n) + 16), KOR_CRC_ENTRIES16((n) + 32), \
      KOR_CRC_ENTRIES16((n) + 48)
unsigned int g_crc32Table[256] = {KOR_CRC_ENTRIES64(0), KOR_CRC_ENTRIES64(64),
                                  KOR_CRC_ENTRIES64(128), KOR_CRC_ENTRIES64(192)};
unsigned char g_crc32TableReady = 1;
#undef KOR_CRC_ENTRIES64
#undef KOR_CRC_ENTRIES16
#undef KOR_CRC_ENTRIES4

void BuildCrc32Table() {
  for (unsigned int n = 0; n < 256; ++n) {
    unsigned int c = ByteRemainder(n);
    if (g_crc32Table[n] != c) g_crc32Table[n] = c;
  }
  if (g_crc32TableReady != 1) g_crc32TableReady = 1;
}

namespace {

// Entry [k][b]: the CRC register after byte b followed by k zero bytes.
struct SliceTables {
  uint32_t m_table[16][256];
  constexpr SliceTables() : m_table() {
    for (uint32_t n = 0; n < 256; ++n) m_table[0][n] = ByteRemainder(n);
    for (int k = 1; k < 16; ++k)
      for (int n = 0; n < 256; ++n)
        m_table[k][n] = (m_table[k - 1][n] >> 8) ^ m_table[0][m_table[k - 1][n] & 0xFF];
  }
};

constexpr SliceTables g_slices;

inline uint32_t Load32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One step of the tables over 16 bytes. The terms that wait for the
// register come last, so that the others are ready before it is.
inline uint32_t SliceStep(uint32_t c, const unsigned char* p) {
  const uint32_t(*t)[256] = g_slices.m_table;
  uint32_t a = Load32(p) ^ c;
  uint32_t b = Load32(p + 4);
  uint32_t d = Load32(p + 8);
  uint32_t e = Load32(p + 12);
  uint32_t later = (t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24]) ^
                   (t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^ t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24]) ^
                   (t[3][e & 0xFF] ^ t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^ t[0][e >> 24]);
  return later ^ ((t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF]) ^ (t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24]));
}

// The register c after the 8 bytes at p.
inline uint32_t SliceStep8(uint32_t c, const unsigned char* p) {
  const uint32_t(*t)[256] = g_slices.m_table;
  uint32_t a = Load32(p) ^ c;
  uint32_t b = Load32(p + 4);
  uint32_t later = t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
  return later ^ ((t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF]) ^ (t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24]));
}

// The CRC register (not inverted) after the bytes.
uint32_t UpdateBySlices(uint32_t c, const unsigned char* p, size_t n) {
  for (; n >= 16; p += 16, n -= 16) c = SliceStep(c, p);
  if (n >= 8) {
    c = SliceStep8(c, p);
    p += 8;
    n -= 8;
  }
  while (n--) c = g_slices.m_table[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c;
}

#ifdef KOR_CRC32_CLMUL

// Polynomials modulo the CRC polynomial, bit-reflected (bit 31 is x^0).
constexpr uint32_t X_TO_0 = 0x80000000u;

constexpr uint32_t TimesX(uint32_t v) { return (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1; }

constexpr uint32_t MultiplyModulo(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t term = X_TO_0; term != 0; term >>= 1, b = TimesX(b))
    if (a & term) product ^= b;
  return product;
}

constexpr uint32_t PowerOfX(uint64_t k) {
  uint32_t power = X_TO_0, square = TimesX(X_TO_0);
  for (; k != 0; k >>= 1, square = MultiplyModulo(square, square))
    if (k & 1) power = MultiplyModulo(power, square);
  return power;
}

// Folding a 128-bit block forward by `distance` bits: its low half (the
// earlier 64 bits of the stream) is multiplied by x^(distance+31), its high
// half by x^(distance-33); the extra x^33 comes from the reflected product.
#define KOR_FOLD_CONSTANTS(distance) \
  _mm_set_epi64x(PowerOfX((distance)-33), PowerOfX((distance) + 31))

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i block, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x00),
                       _mm_clmulepi64_si128(block, constants, 0x11));
}

// Entry [i][k]: x^(8 k 16^i - 33), which moves a CRC register over k 16^i
// zero bytes (the carry-less product and its remainder add the x^33).
struct ShiftTables {
  uint32_t m_table[8][16];
  constexpr ShiftTables() : m_table() {
    for (int i = 1; i < 8; ++i)
      for (int k = 1; k < 16; ++k) m_table[i][k] = PowerOfX((uint64_t(k) << (4 * i + 3)) - 33);
  }
};

constexpr ShiftTables g_shifts;

// The CRC register c followed by `length` zero bytes; length is a multiple
// of 16, one multiplication per non-zero hexadecimal digit of it.
__attribute__((target("pclmul,sse4.1"))) uint32_t ShiftOverZeros(uint32_t c, size_t length) {
  for (int digit = 1; digit < 8; ++digit) {
    unsigned k = (length >> (4 * digit)) & 15;
    if (k == 0) continue;
    __m128i product = _mm_clmulepi64_si128(_mm_cvtsi32_si128(static_cast<int>(c)),
                                           _mm_cvtsi32_si128(static_cast<int>(g_shifts.m_table[digit][k])), 0x00);
    // The product has 63 bits; its remainder is its CRC from a zero register.
    unsigned char bytes[8];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(bytes), product);
    c = SliceStep8(0, bytes);
  }
  return c;
}

// The four lanes of a 64-byte block folded into one, each moved at once
// by its distance from the end.
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldLanes(__m128i x0, __m128i x1, __m128i x2,
                                                                __m128i x3) {
  return _mm_xor_si128(_mm_xor_si128(Fold(x0, KOR_FOLD_CONSTANTS(384)), Fold(x1, KOR_FOLD_CONSTANTS(256))),
                       _mm_xor_si128(Fold(x2, KOR_FOLD_CONSTANTS(128)), x3));
}

// The register after a 128-bit block that is congruent to everything so
// far: its CRC from a zero register.
__attribute__((target("pclmul,sse4.1"))) inline uint32_t Reduce(__m128i x) {
  unsigned char bytes[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), x);
  return SliceStep(0, bytes);
}

// n >= 16.
__attribute__((target("pclmul,sse4.1"))) uint32_t UpdateByFolding(uint32_t c,
                                                                  const unsigned char* p,
                                                                  size_t n) {
  const __m128i* q = reinterpret_cast<const __m128i*>(p);
  __m128i x = _mm_xor_si128(_mm_loadu_si128(q), _mm_cvtsi32_si128(static_cast<int>(c)));
  if (n >= 64) {
    const __m128i by512 = KOR_FOLD_CONSTANTS(512);
    __m128i x1 = _mm_loadu_si128(q + 1);
    __m128i x2 = _mm_loadu_si128(q + 2);
    __m128i x3 = _mm_loadu_si128(q + 3);
    q += 4;
    n -= 64;
    while (n >= 64) {
      x = _mm_xor_si128(Fold(x, by512), _mm_loadu_si128(q));
      x1 = _mm_xor_si128(Fold(x1, by512), _mm_loadu_si128(q + 1));
      x2 = _mm_xor_si128(Fold(x2, by512), _mm_loadu_si128(q + 2));
      x3 = _mm_xor_si128(Fold(x3, by512), _mm_loadu_si128(q + 3));
      q += 4;
      n -= 64;
    }
    x = FoldLanes(x, x1, x2, x3);
  } else {
    ++q;
    n -= 16;
  }
  const __m128i by128 = KOR_FOLD_CONSTANTS(128);
  while (n >= 16) {
    x = _mm_xor_si128(Fold(x, by128), _mm_loadu_si128(q));
    ++q;
    n -= 16;
  }
  return UpdateBySlices(Reduce(x), reinterpret_cast<const unsigned char*>(q), n);
}

inline uint32_t UpdateByFoldingOrSlices(uint32_t c, const unsigned char* p, size_t n) {
  return n >= 16 ? UpdateByFolding(c, p, n) : UpdateBySlices(c, p, n);
}

// Folding is bound by the carry-less multiplier, while the integer units
// stand idle: so one 16-byte table step runs beside every 256 folded bytes,
// over the last part of the input, and its register is joined to the
// folded part's at the end. Beside one wider step, or one per 64 or 128
// bytes, the loop issues more instructions than the processor retires and
// loses. Three-operand (AVX) encodings save the copies that two-operand
// ones need.
const size_t FOLDED_PER_SLICE = 256;
// Below this, joining the two registers costs more than the slicing saves.
const size_t FOLDING_AND_SLICING_FROM = 16384;

// n >= 2 (FOLDED_PER_SLICE + 16) + 64.
__attribute__((target("pclmul,avx"))) uint32_t UpdateByFoldingAndSlicing(uint32_t c, const unsigned char* p,
                                                                        size_t n) {
  const size_t steps = n / (FOLDED_PER_SLICE + 16) - 1;
  const __m128i* q = reinterpret_cast<const __m128i*>(p);
  const unsigned char* sliced = p + 64 + FOLDED_PER_SLICE * steps;
  const __m128i by512 = KOR_FOLD_CONSTANTS(512);
  __m128i x0 = _mm_xor_si128(_mm_loadu_si128(q), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x1 = _mm_loadu_si128(q + 1);
  __m128i x2 = _mm_loadu_si128(q + 2);
  __m128i x3 = _mm_loadu_si128(q + 3);
  uint32_t d = 0;
  for (size_t i = 0; i < steps; ++i) {
    for (size_t k = 0; k < FOLDED_PER_SLICE / 64; ++k) {
      q += 4;
      x0 = _mm_xor_si128(Fold(x0, by512), _mm_loadu_si128(q));
      x1 = _mm_xor_si128(Fold(x1, by512), _mm_loadu_si128(q + 1));
      x2 = _mm_xor_si128(Fold(x2, by512), _mm_loadu_si128(q + 2));
      x3 = _mm_xor_si128(Fold(x3, by512), _mm_loadu_si128(q + 3));
    }
    d = SliceStep(d, sliced + 16 * i);
  }
  c = ShiftOverZeros(Reduce(FoldLanes(x0, x1, x2, x3)), 16 * steps) ^ d;
  const unsigned char* rest = sliced + 16 * steps;
  return UpdateByFoldingOrSlices(c, rest, n - static_cast<size_t>(rest - p));
}

#ifdef KOR_CRC32_WIDE

// Where the processor multiplies four 128-bit lanes at once, 256 bytes
// fold per step in four 512-bit registers, and nothing runs beside them:
// at four times the folds per instruction the loads, not the multiplier,
// set the pace. Below this the set-up and the joining of the lanes cost
// more than the narrow loop spends.
const size_t WIDE_FOLDING_FROM = 1024;

#define KOR_WIDE_FOLD_TARGET __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

KOR_WIDE_FOLD_TARGET inline __m512i WideFold(__m512i block, __m512i constants) {
  return _mm512_xor_si512(_mm512_clmulepi64_epi128(block, constants, 0x00),
                          _mm512_clmulepi64_epi128(block, constants, 0x11));
}

// The forms that merge into an undefined register are avoided: GCC 12 warns
// on them.
KOR_WIDE_FOLD_TARGET inline __m512i WideFoldConstants(__m128i constants) {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, constants);
}

template <int LANE>
KOR_WIDE_FOLD_TARGET inline __m128i Lane(__m512i z) {
  return _mm512_maskz_extracti32x4_epi32(0xF, z, LANE);
}

// n >= 256.
KOR_WIDE_FOLD_TARGET uint32_t UpdateByWideFolding(uint32_t c, const unsigned char* p, size_t n) {
  const __m512i by2048 = WideFoldConstants(KOR_FOLD_CONSTANTS(2048));
  __m512i z0 = _mm512_xor_si512(_mm512_loadu_si512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(c))));
  __m512i z1 = _mm512_loadu_si512(p + 64);
  __m512i z2 = _mm512_loadu_si512(p + 128);
  __m512i z3 = _mm512_loadu_si512(p + 192);
  p += 256;
  n -= 256;
  for (; n >= 256; p += 256, n -= 256) {
    z0 = _mm512_xor_si512(WideFold(z0, by2048), _mm512_loadu_si512(p));
    z1 = _mm512_xor_si512(WideFold(z1, by2048), _mm512_loadu_si512(p + 64));
    z2 = _mm512_xor_si512(WideFold(z2, by2048), _mm512_loadu_si512(p + 128));
    z3 = _mm512_xor_si512(WideFold(z3, by2048), _mm512_loadu_si512(p + 192));
  }
  // The four registers into the last one, then its four lanes into one.
  __m512i z = _mm512_xor_si512(
      _mm512_xor_si512(WideFold(z0, WideFoldConstants(KOR_FOLD_CONSTANTS(1536))),
                       WideFold(z1, WideFoldConstants(KOR_FOLD_CONSTANTS(1024)))),
      _mm512_xor_si512(WideFold(z2, WideFoldConstants(KOR_FOLD_CONSTANTS(512))), z3));
  __m128i x = FoldLanes(Lane<0>(z), Lane<1>(z), Lane<2>(z), Lane<3>(z));
  return UpdateByFoldingOrSlices(Reduce(x), p, n);
}

#undef KOR_WIDE_FOLD_TARGET

bool HasWideCarrylessMultiply() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq") &&
         __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

#endif

bool HasCarrylessMultiply(bool withAvx) {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1") &&
         (!withAvx || __builtin_cpu_supports("avx"));
}

#endif

}  // namespace

unsigned int UpdateCrc32(unsigned int crc, const unsigned char* data, unsigned int length) {
  if (!g_crc32TableReady) BuildCrc32Table();
  uint32_t c = ~static_cast<uint32_t>(crc);
#ifdef KOR_CRC32_CLMUL
  static const bool folding = HasCarrylessMultiply(false);
  static const bool foldingWithAvx = HasCarrylessMultiply(true);
#ifdef KOR_CRC32_WIDE
  static const bool wideFolding = HasWideCarrylessMultiply();
  if (wideFolding && length >= WIDE_FOLDING_FROM) return ~UpdateByWideFolding(c, data, length);
#endif
  if (foldingWithAvx && length >= FOLDING_AND_SLICING_FROM) return ~UpdateByFoldingAndSlicing(c, data, length);
  if (folding) return ~UpdateByFoldingOrSlices(c, data, length);
#endif
  return ~UpdateBySlices(c, data, length);
}

}  // namespace kor
