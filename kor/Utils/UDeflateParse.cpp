// The encoder's LZ77 parse: greedy, one chunk at a time, with chains of
// earlier positions per 15-bit hash of three bytes. The chains store chunk
// positions as they are and take 0x8000 for "none", so position 32768 itself
// reads as the end of a chain; and after a match the loop mixes the byte
// that the insertions already mixed in once more, which puts the next two
// positions under other hashes. Both shape the stream, which is compared
// byte for byte, so both stay. The speed comes from how candidates are
// compared, never from which ones are examined.
#include <cstdint>
#include <cstring>

#include "kor/Utils/UCompressor.h"

namespace kor {

namespace {

enum {
  HASH_SIZE = 0x8000,
  HASH_MASK = 0x7FFF,
  NO_POSITION = 0x8000,
  WINDOW = 32768,
  MAX_MATCH = 258,
  MIN_MATCH = 3,
  // A match longer than this ends the search.
  GOOD_ENOUGH = 32,
  // Counted down before each candidate: at most 127 are examined.
  CHAIN_COUNTER = 128
};

inline uint64_t Load64(const unsigned char* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

// The number of equal bytes at a and b, at most limit; reads nothing at or
// beyond a + limit or b + limit.
inline int CommonLength(const unsigned char* a, const unsigned char* b, int limit) {
  int n = 0;
#if (defined(__GNUC__) || defined(__clang__)) && defined(__BYTE_ORDER__)
  for (; n + 8 <= limit; n += 8) {
    uint64_t difference = Load64(a + n) ^ Load64(b + n);
    if (difference == 0) continue;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return n + (__builtin_ctzll(difference) >> 3);
#else
    return n + (__builtin_clzll(difference) >> 3);
#endif
  }
#endif
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

struct Match {
  int length;
  int distance;
};

struct Chains {
  uint32_t head[HASH_SIZE];
  uint32_t previous[HASH_SIZE];

  void Insert(uint32_t hash, int position) {
    previous[position & HASH_MASK] = head[hash];
    head[hash] = static_cast<uint32_t>(position);
  }
};

// The longest match for position k among the candidates of hash: the
// nearest of equal length wins. maxLength is at least 3.
inline Match FindMatch(const unsigned char* data, int k, int maxLength, const Chains& chains,
                       uint32_t hash) {
  Match best = {0, 0};
  const unsigned char* here = data + k;
  // Only a candidate that also matches the byte at this index can beat the
  // best so far; it is below maxLength, so reading it stays inside.
  int decisive = MIN_MATCH - 1;
  int counter = CHAIN_COUNTER;
  uint32_t candidate = chains.head[hash];
  while (candidate != NO_POSITION && k - static_cast<int>(candidate) < WINDOW && --counter != 0) {
    const unsigned char* there = data + candidate;
    if (there[decisive] == here[decisive] && there[0] == here[0]) {
      int length = CommonLength(there, here, maxLength);
      if (length > best.length && length >= MIN_MATCH) {
        best = Match{length, k - static_cast<int>(candidate)};
        // Nothing later can be longer than maxLength.
        if (length > GOOD_ENOUGH || length >= maxLength) break;
        decisive = length;
      }
    }
    candidate = chains.previous[candidate & HASH_MASK];
  }
  return best;
}

inline uint32_t MixByte(uint32_t hash, unsigned char byte) {
  return ((hash << 5) ^ byte) & HASH_MASK;
}

}  // namespace

int CompressorPolicy_Deflate::ParseChunk(const unsigned char* data, int length, int* symbols) {
  if (length < 4) return 0;
  Chains chains;
  for (int i = 0; i < HASH_SIZE; ++i) chains.head[i] = chains.previous[i] = NO_POSITION;

  int count = 0;
  uint32_t hash = (static_cast<uint32_t>(data[0]) << 5) ^ data[1];
  int k = 0;
  while (k < length - 3) {
    hash = MixByte(hash, data[k + 2]);
    int maxLength = k + MAX_MATCH < length ? MAX_MATCH : length - 1 - k;
    Match match = FindMatch(data, k, maxLength, chains, hash);
    if (match.length == 0) {
      symbols[count++] = data[k];
      chains.Insert(hash, k);
      ++k;
      continue;
    }
    symbols[count++] = MATCH_BASE + match.length;
    symbols[count++] = match.distance;
    const int stop = k + match.length;
    for (int p = k; p < stop; ++p) {
      chains.Insert(hash, p);
      // Past the chunk's end no search follows, so what is mixed in there
      // cannot matter; nothing is read there.
      hash = MixByte(hash, p + 3 < length ? data[p + 3] : 0);
    }
    k = stop;
  }
  while (k < length) symbols[count++] = data[k++];
  symbols[count++] = END_OF_BLOCK;
  return count;
}

}  // namespace kor
