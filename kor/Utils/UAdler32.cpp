// Adler-32 with the modulo deferred: up to 5552 bytes can be summed in 32
// bits before either sum can overflow, so each such run ends in one
// reduction instead of two per byte. Where the processor has AVX2, 32 bytes
// are summed per step.
#include <cstddef>
#include <cstdint>

#include "kor/Utils/UCompressor.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KOR_ADLER32_AVX2 1
#include <immintrin.h>
#endif

namespace kor {

namespace {

const uint32_t ADLER_BASE = 65521;
// The largest n with 255 n (n + 1) / 2 + (n + 1) (BASE - 1) <= 2^32 - 1.
const size_t ADLER_RUN = 5552;

void SumScalar(uint32_t& a, uint32_t& b, const unsigned char* p, size_t n) {
  while (n > 0) {
    size_t run = n < ADLER_RUN ? n : ADLER_RUN;
    n -= run;
    while (run >= 8) {
      a += p[0]; b += a;
      a += p[1]; b += a;
      a += p[2]; b += a;
      a += p[3]; b += a;
      a += p[4]; b += a;
      a += p[5]; b += a;
      a += p[6]; b += a;
      a += p[7]; b += a;
      p += 8;
      run -= 8;
    }
    while (run--) {
      a += *p++;
      b += a;
    }
    a %= ADLER_BASE;
    b %= ADLER_BASE;
  }
}

#ifdef KOR_ADLER32_AVX2

// For a run of k blocks of 32 bytes x[0..31] entering with sums (a, b):
//   a' = a + sum of x,  b' = b + 32 k a + sum over blocks of
//   (32 * bytes of the earlier blocks of the run + sum (32 - i) x[i]).
__attribute__((target("avx2"))) void SumAvx2(uint32_t& a, uint32_t& b, const unsigned char* p,
                                             size_t n) {
  const __m256i weights = _mm256_set_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                          18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i zero = _mm256_setzero_si256();
  while (n >= 32) {
    size_t blocks = (n < ADLER_RUN ? n : ADLER_RUN) / 32;
    n -= blocks * 32;
    __m256i byteSums = zero;     // sum of the bytes so far, per lane
    __m256i earlierSums = zero;  // the running byte sums before each block
    __m256i weighted = zero;
    for (size_t k = 0; k < blocks; ++k) {
      __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      earlierSums = _mm256_add_epi32(earlierSums, byteSums);
      byteSums = _mm256_add_epi32(byteSums, _mm256_sad_epu8(x, zero));
      weighted = _mm256_add_epi32(weighted,
                                  _mm256_madd_epi16(_mm256_maddubs_epi16(x, weights), ones));
      p += 32;
    }
    alignas(32) uint32_t lanes[3][8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), byteSums);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), earlierSums);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[2]), weighted);
    uint64_t sumBytes = 0, sumEarlier = 0, sumWeighted = 0;
    for (int i = 0; i < 8; ++i) {
      sumBytes += lanes[0][i];
      sumEarlier += lanes[1][i];
      sumWeighted += lanes[2][i];
    }
    uint64_t newB = b + 32 * static_cast<uint64_t>(blocks) * a + 32 * sumEarlier + sumWeighted;
    a = static_cast<uint32_t>((a + sumBytes) % ADLER_BASE);
    b = static_cast<uint32_t>(newB % ADLER_BASE);
  }
  SumScalar(a, b, p, n);
}

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

#endif

}  // namespace

unsigned int ComputeAdler32(const unsigned char* data, unsigned int length) {
  uint32_t a = 1, b = 0;
#ifdef KOR_ADLER32_AVX2
  static const bool wide = HasAvx2();
  if (wide) {
    SumAvx2(a, b, data, length);
    return (b << 16) | a;
  }
#endif
  SumScalar(a, b, data, length);
  return (b << 16) | a;
}

}  // namespace kor
