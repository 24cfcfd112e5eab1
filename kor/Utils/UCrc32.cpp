// CRC-32 of PNG and zlib (reflected polynomial 0xEDB88320). The public
// one-byte table is what callers that fold bytes themselves use. Bulk data
// goes through sixteen bytes per step with tables derived from it (built at
// compile time), or, where the processor has carry-less multiplication,
// through 128-bit folding; all paths give the same value.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kor/Utils/UCompressor.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KOR_CRC32_CLMUL 1
#include <immintrin.h>
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

// The CRC register (not inverted) after the bytes.
uint32_t UpdateBySlices(uint32_t c, const unsigned char* p, size_t n) {
  const uint32_t(*t)[256] = g_slices.m_table;
  while (n >= 16) {
    uint32_t a = Load32(p) ^ c;
    uint32_t b = Load32(p + 4);
    uint32_t d = Load32(p + 8);
    uint32_t e = Load32(p + 12);
    c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
        t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
        t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^ t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24] ^
        t[3][e & 0xFF] ^ t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^ t[0][e >> 24];
    p += 16;
    n -= 16;
  }
  while (n--) c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c;
}

#ifdef KOR_CRC32_CLMUL

// x^k modulo the polynomial, bit-reflected (bit 31 is x^0).
constexpr uint32_t PowerOfX(unsigned k) {
  uint32_t v = 0x80000000u;
  while (k--) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
  return v;
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

// n >= 64.
__attribute__((target("pclmul,sse4.1"))) uint32_t UpdateByFolding(uint32_t c,
                                                                  const unsigned char* p,
                                                                  size_t n) {
  const __m128i by512 = KOR_FOLD_CONSTANTS(512);
  const __m128i by128 = KOR_FOLD_CONSTANTS(128);
  const __m128i* q = reinterpret_cast<const __m128i*>(p);
  __m128i x0 = _mm_xor_si128(_mm_loadu_si128(q), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x1 = _mm_loadu_si128(q + 1);
  __m128i x2 = _mm_loadu_si128(q + 2);
  __m128i x3 = _mm_loadu_si128(q + 3);
  q += 4;
  n -= 64;
  while (n >= 64) {
    x0 = _mm_xor_si128(Fold(x0, by512), _mm_loadu_si128(q));
    x1 = _mm_xor_si128(Fold(x1, by512), _mm_loadu_si128(q + 1));
    x2 = _mm_xor_si128(Fold(x2, by512), _mm_loadu_si128(q + 2));
    x3 = _mm_xor_si128(Fold(x3, by512), _mm_loadu_si128(q + 3));
    q += 4;
    n -= 64;
  }
  x1 = _mm_xor_si128(Fold(x0, by128), x1);
  x2 = _mm_xor_si128(Fold(x1, by128), x2);
  x3 = _mm_xor_si128(Fold(x2, by128), x3);
  while (n >= 16) {
    x3 = _mm_xor_si128(Fold(x3, by128), _mm_loadu_si128(q));
    ++q;
    n -= 16;
  }
  // The folded block is congruent to everything so far: its CRC from a
  // zero register, followed by the tail, is the result.
  unsigned char folded[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x3);
  c = UpdateBySlices(0, folded, 16);
  return UpdateBySlices(c, reinterpret_cast<const unsigned char*>(q), n);
}

bool HasCarrylessMultiply() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

#endif

}  // namespace

unsigned int UpdateCrc32(unsigned int crc, const unsigned char* data, unsigned int length) {
  if (!g_crc32TableReady) BuildCrc32Table();
  uint32_t c = ~static_cast<uint32_t>(crc);
#ifdef KOR_CRC32_CLMUL
  static const bool folding = HasCarrylessMultiply();
  if (folding && length >= 64) return ~UpdateByFolding(c, data, length);
#endif
  return ~UpdateBySlices(c, data, length);
}

}  // namespace kor
