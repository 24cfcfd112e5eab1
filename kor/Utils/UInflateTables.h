// The decoder's shared parts: the format of its lookup tables, the bit
// reader and the tables of one call. UInflateTables.cpp builds the tables,
// UInflate.cpp decodes with them.
#pragma once

#include <cstdint>
#include <cstring>

#include "kor/Utils/UCompressor.h"

// The hot loop's helpers must be inlined into each of its variants.
#if defined(__GNUC__) || defined(__clang__)
#define KOR_HOT_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define KOR_HOT_INLINE __forceinline
#else
#define KOR_HOT_INLINE inline
#endif

namespace kor {
namespace inflate {

// A lookup entry: bits 0-7 the bits the entry consumes (the code length,
// plus the extra bits of a length or distance), 8-11 the code length of a
// length or distance, or the index bits of a subtable, 12-15 the kind, 16-31
// the value (literal byte, length or distance base, subtable offset,
// code-length symbol). Zero is a code without symbol.
enum : uint32_t {
  // A literal entry counts its bytes in bits 8-11: one, or two whose second
  // is in bits 24-31.
  ENTRY_ONE_LITERAL = 0x100,
  ENTRY_SUBTABLE = 0x1000,
  ENTRY_END = 0x2000,
  ENTRY_MATCH = 0x4000,    // a length, or a distance in the distance table
  ENTRY_LITERAL = 0x8000,  // a literal, or a code-length symbol
};

enum {
  LITERAL_BITS = 11,
  DISTANCE_BITS = 8,
  CODE_LENGTH_BITS = 7,
  // A subtable per main-table prefix of codes longer than the main bits; at
  // most one per long code and at most 2^(15 - main bits) entries each.
  LITERAL_TABLE_SIZE = (1 << LITERAL_BITS) + 288 * (1 << (15 - LITERAL_BITS)),
  DISTANCE_TABLE_SIZE = (1 << DISTANCE_BITS) + 32 * (1 << (15 - DISTANCE_BITS)),
  CODE_LENGTH_TABLE_SIZE = 1 << CODE_LENGTH_BITS,
  LITERAL_MASK = (1 << LITERAL_BITS) - 1,
};

KOR_HOT_INLINE uint64_t Load64(const unsigned char* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  return value;
}

// Bits are taken from the least significant end. Past the end of the input
// the buffer is padded with zero bytes that are counted, so that a stream
// which needs them is recognised as cut short.
struct BitReader {
  const unsigned char* m_next;
  const unsigned char* m_end;
  uint64_t m_bits;
  unsigned m_count;
  unsigned m_padding;

  // Leaves at least 56 bits in the buffer.
  void Refill() {
    if (m_end - m_next >= 8) {
      m_bits |= Load64(m_next) << m_count;
      m_next += (63 - m_count) >> 3;
      m_count |= 56;
      return;
    }
    while (m_count <= 56) {
      if (m_next < m_end) m_bits |= static_cast<uint64_t>(*m_next++) << m_count;
      else ++m_padding;
      m_count += 8;
    }
  }
  // Reads n (at most 32) bits; the buffer must hold them.
  uint32_t Take(unsigned n) {
    uint32_t value = static_cast<uint32_t>(m_bits & ((uint64_t(1) << n) - 1));
    m_bits >>= n;
    m_count -= n;
    return value;
  }
  void Drop(unsigned n) {
    m_bits >>= n;
    m_count -= n;
  }
  // True once bits beyond the input have been consumed.
  bool Overrun() const { return m_count < 8 * m_padding; }
};

// The lookup tables of one call, built per block from the code lengths.
struct Workspace {
  uint32_t m_literal[LITERAL_TABLE_SIZE];
  uint32_t m_distance[DISTANCE_TABLE_SIZE];
  uint32_t m_codeLength[CODE_LENGTH_TABLE_SIZE];
  // False when every literal entry holds one literal: the decoder then
  // stores and counts them as single bytes.
  bool m_literalPairs;
};

// The entry of a code that the main-table entry link continues in a
// subtable, for the same bits.
KOR_HOT_INLINE uint32_t SubtableEntry(const uint32_t* table, int mainBits, uint32_t link,
                                      uint64_t bits) {
  return table[(link >> 16) + ((bits >> mainBits) & ((1u << ((link >> 8) & 15)) - 1))];
}

// The entry for the bits at the bottom of the buffer (at least 15 of them).
KOR_HOT_INLINE uint32_t LookUp(const uint32_t* table, int mainBits, uint64_t bits) {
  uint32_t entry = table[bits & ((1u << mainBits) - 1)];
  if (entry & ENTRY_SUBTABLE) entry = SubtableEntry(table, mainBits, entry, bits);
  return entry;
}

// The length or distance of a match entry: its base plus the extra bits that
// follow the code.
KOR_HOT_INLINE unsigned MatchValue(uint32_t entry, uint64_t bits) {
  uint64_t consumed = bits & ((uint64_t(1) << (entry & 0xFF)) - 1);
  return (entry >> 16) + static_cast<unsigned>(consumed >> ((entry >> 8) & 15));
}
// The fixed code's tables, the same for every stream and built once.
const Workspace& FixedTables();

// Reads a dynamic block's header, rebuilds the policy's slots from it and
// the workspace's literal/length and distance tables from them. False for a
// malformed header.
bool ReadDynamicHeader(BitReader& reader, DecompressorPolicy_Deflate& policy, Workspace& workspace);

}  // namespace inflate
}  // namespace kor
