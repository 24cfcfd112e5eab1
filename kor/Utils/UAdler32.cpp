// Adler-32 with the modulo deferred: up to 5552 bytes can be summed in 32
// bits before either sum can overflow, so each such run ends in one
// reduction instead of two per byte. Where the processor has AVX2, 64 bytes
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

// The weight of each byte position of a 64-byte step, 64 for the first
// down to 1, in the lane order of the unpacked sums below: unpacking bytes
// to 16-bit lanes works within each 128-bit half, so the low unpack holds
// positions 0..7 and 16..23, the high one 8..15 and 24..31 (plus 32 for
// the second half of the step).
__attribute__((target("avx2"))) __m256i WeightedPositionSums(__m256i first0, __m256i first1, __m256i second0,
                                                             __m256i second1) {
  const __m256i low = _mm256_set_epi16(41, 42, 43, 44, 45, 46, 47, 48, 57, 58, 59, 60, 61, 62, 63, 64);
  const __m256i high = _mm256_set_epi16(33, 34, 35, 36, 37, 38, 39, 40, 49, 50, 51, 52, 53, 54, 55, 56);
  const __m256i half = _mm256_set1_epi16(32);
  return _mm256_add_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(first0, low), _mm256_madd_epi16(first1, high)),
      _mm256_add_epi32(_mm256_madd_epi16(second0, _mm256_sub_epi16(low, half)),
                       _mm256_madd_epi16(second1, _mm256_sub_epi16(high, half))));
}

// For a run of k steps of 64 bytes x[0..63] entering with sums (a, b):
//   a' = a + sum of x,  b' = b + 64 k a + 64 * (sum over steps of the bytes
//   of the earlier steps) + sum over positions j of (64 - j) * (the bytes at
//   position j, summed over the steps).
// The per-position sums are kept in 16-bit lanes and weighted once per run,
// so the loop itself multiplies nothing: the multiplier is the scarce unit.
struct RunSums {
  uint64_t bytes;
  uint64_t earlier;
  uint64_t weighted;
};

uint64_t AddLanes(__m256i lanes) __attribute__((target("avx2")));
uint64_t AddLanes(__m256i lanes) {
  alignas(32) uint32_t values[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(values), lanes);
  uint64_t sum = 0;
  for (uint32_t value : values) sum += value;
  return sum;
}

__attribute__((target("avx2"))) RunSums SumRunAvx2(const unsigned char* p, size_t steps) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i byteSums = zero;     // all bytes so far, in 64-bit lanes
  __m256i earlierSums = zero;  // byteSums before each step, added up
  __m256i first0 = zero, first1 = zero, second0 = zero, second1 = zero;
  // Unrolled, the compiler also stops copying each sum once per step.
#pragma GCC unroll 8
  for (const unsigned char* end = p + steps * 64; p != end; p += 64) {
    __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    earlierSums = _mm256_add_epi32(earlierSums, byteSums);
    byteSums = _mm256_add_epi32(byteSums, _mm256_add_epi32(_mm256_sad_epu8(x, zero), _mm256_sad_epu8(y, zero)));
    first0 = _mm256_add_epi16(first0, _mm256_unpacklo_epi8(x, zero));
    first1 = _mm256_add_epi16(first1, _mm256_unpackhi_epi8(x, zero));
    second0 = _mm256_add_epi16(second0, _mm256_unpacklo_epi8(y, zero));
    second1 = _mm256_add_epi16(second1, _mm256_unpackhi_epi8(y, zero));
  }
  return RunSums{AddLanes(byteSums), AddLanes(earlierSums),
                 AddLanes(WeightedPositionSums(first0, first1, second0, second1))};
}

__attribute__((target("avx2"))) void SumAvx2(uint32_t& a, uint32_t& b, const unsigned char* p,
                                             size_t n) {
  // 255 * steps stays below 2^15 in each 16-bit lane (the weighting
  // multiplies signed words). The sums of a run are added up in 64 bits,
  // so the run may be longer than ADLER_RUN.
  const size_t RUN_STEPS = 128;
  // Loads that straddle two cache lines cost two: start on a whole line.
  size_t head = (64 - reinterpret_cast<uintptr_t>(p) % 64) % 64;
  if (n >= 64 + head) {
    SumScalar(a, b, p, head);
    p += head;
    n -= head;
  }
  while (n >= 64) {
    size_t steps = n / 64 < RUN_STEPS ? n / 64 : RUN_STEPS;
    RunSums sums = SumRunAvx2(p, steps);
    p += steps * 64;
    n -= steps * 64;
    uint64_t newB = b + 64 * static_cast<uint64_t>(steps) * a + 64 * sums.earlier + sums.weighted;
    a = static_cast<uint32_t>((a + sums.bytes) % ADLER_BASE);
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
