// Adler-32 with the modulo deferred: up to 5552 bytes can be summed in 32
// bits before either sum can overflow, so each such run ends in one
// reduction instead of two per byte. Where the processor has AVX2, 64 bytes
// are summed per step, and only every 4 MiB is reduced.
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// For a block of k steps of 64 bytes x[0..63] entering with sums (a, b):
//   a' = a + sum of x,  b' = b + 64 k a + 64 * (sum over steps of the bytes
//   of the earlier steps) + sum over positions j of (64 - j) * (the bytes at
//   position j, summed over the steps).
// The per-position sums are kept in 16-bit lanes over runs of up to
// RUN_STEPS and weighted once per run, so the loop itself multiplies
// nothing: the multiplier is the scarce unit. Everything else is added up
// in 64-bit lanes, and only a whole block is reduced modulo the base.
struct BlockSums {
  uint64_t bytes;
  uint64_t earlier;
  uint64_t weighted;
};

// 255 * RUN_STEPS stays below 2^15 in each 16-bit lane (the weighting
// multiplies signed words).
const size_t RUN_STEPS = 128;
// The sums of a block of fewer steps than this stay far below 2^64.
const size_t BLOCK_STEPS = 65536;

uint64_t AddLanes(__m256i lanes) __attribute__((target("avx2")));
uint64_t AddLanes(__m256i lanes) {
  alignas(32) uint64_t values[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(values), lanes);
  return values[0] + values[1] + values[2] + values[3];
}

// Each 16-bit lane of a 32-byte load holds an even and an odd position.
// Adding the loads as they are sums the even bytes plus 256 times the odd
// ones, modulo 2^16; the odd bytes shifted down are summed apart, and the
// even sums come back as the difference. Three operations per load, where
// widening each half takes four.
struct PairSums {
  __m256i whole;
  __m256i odd;
};

__attribute__((target("avx2"))) inline void AddPairs(PairSums& sums, __m256i x) {
  sums.whole = _mm256_add_epi16(sums.whole, x);
  sums.odd = _mm256_add_epi16(sums.odd, _mm256_srli_epi16(x, 8));
}

// The position sums weighted, in 32-bit lanes; the first position of the
// load weighs `first` (64 for a step's first load, 32 for its second).
__attribute__((target("avx2"))) inline __m256i WeightPairs(const PairSums& sums, int first) {
  const __m256i down = _mm256_set_epi16(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
  __m256i evenWeights = _mm256_sub_epi16(_mm256_set1_epi16(static_cast<short>(first)), down);
  __m256i oddWeights = _mm256_sub_epi16(evenWeights, _mm256_set1_epi16(1));
  __m256i even = _mm256_sub_epi16(sums.whole, _mm256_slli_epi16(sums.odd, 8));
  return _mm256_add_epi32(_mm256_madd_epi16(even, evenWeights), _mm256_madd_epi16(sums.odd, oddWeights));
}

struct StepSums {
  __m256i bytes;    // all bytes so far, in 64-bit lanes
  __m256i earlier;  // bytes before each step, added up
  PairSums first;   // the position sums of the run's first loads
  PairSums second;  // and of its second loads
};

__attribute__((target("avx2"))) inline void AddStep(StepSums& sums, const unsigned char* p) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  sums.earlier = _mm256_add_epi64(sums.earlier, sums.bytes);
  sums.bytes = _mm256_add_epi64(sums.bytes, _mm256_add_epi64(_mm256_sad_epu8(x, zero), _mm256_sad_epu8(y, zero)));
  AddPairs(sums.first, x);
  AddPairs(sums.second, y);
}

// Adds the run's weighted position sums to `weighted` and starts a new run.
__attribute__((target("avx2"))) inline void EndRun(StepSums& sums, __m256i& weighted) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i run = _mm256_add_epi32(WeightPairs(sums.first, 64), WeightPairs(sums.second, 32));
  weighted = _mm256_add_epi64(weighted, _mm256_add_epi64(_mm256_unpacklo_epi32(run, zero),
                                                         _mm256_unpackhi_epi32(run, zero)));
  sums.first = sums.second = PairSums{zero, zero};
}

// The sums of `steps` steps from p, then of one more from `last` unless it
// is null; steps < BLOCK_STEPS.
__attribute__((target("avx2"))) BlockSums SumBlockAvx2(const unsigned char* p, size_t steps,
                                                       const unsigned char* last) {
  const __m256i zero = _mm256_setzero_si256();
  StepSums sums = {zero, zero, {zero, zero}, {zero, zero}};
  __m256i weighted = zero;
  while (steps > 0) {
    size_t run = steps < RUN_STEPS ? steps : RUN_STEPS;
    steps -= run;
    // Unrolled, the compiler also stops copying each sum once per step.
#pragma GCC unroll 8
    for (const unsigned char* end = p + run * 64; p != end; p += 64) AddStep(sums, p);
    EndRun(sums, weighted);
  }
  if (last) {
    AddStep(sums, last);
    EndRun(sums, weighted);
  }
  return BlockSums{AddLanes(sums.bytes), AddLanes(sums.earlier), AddLanes(weighted)};
}

inline void AddBlock(uint32_t& a, uint32_t& b, const BlockSums& sums, size_t steps) {
  uint64_t newB = b + 64 * static_cast<uint64_t>(steps) * a + 64 * sums.earlier + sums.weighted;
  a = static_cast<uint32_t>((a + sums.bytes) % ADLER_BASE);
  b = static_cast<uint32_t>(newB % ADLER_BASE);
}

// n >= 64: shorter inputs are summed faster by bytes.
__attribute__((target("avx2"))) void SumAvx2(uint32_t& a, uint32_t& b, const unsigned char* p,
                                             size_t n) {
  for (; n >= 64 * BLOCK_STEPS; p += 64 * BLOCK_STEPS, n -= 64 * BLOCK_STEPS)
    AddBlock(a, b, SumBlockAvx2(p, BLOCK_STEPS, nullptr), BLOCK_STEPS);
  // The last bytes make one step with zeros after them. The zeros leave a
  // alone and add a to b once each, which is taken back.
  size_t steps = n / 64, rest = n % 64;
  alignas(32) unsigned char last[64] = {};
  std::memcpy(last, p + 64 * steps, rest);
  AddBlock(a, b, SumBlockAvx2(p, steps, rest ? last : nullptr), steps + (rest != 0));
  b = static_cast<uint32_t>((b + (64 - rest) % 64 * static_cast<uint64_t>(ADLER_BASE - a)) % ADLER_BASE);
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
  if (wide && length >= 64) {
    SumAvx2(a, b, data, length);
    return (b << 16) | a;
  }
#endif
  SumScalar(a, b, data, length);
  return (b << 16) | a;
}

}  // namespace kor
