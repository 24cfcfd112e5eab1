// The deflate encoder's bit writer. A stream fills each byte from its least
// significant bit; numbers go out least significant bit first and Huffman
// codes most significant bit first, so codes are reversed once per table
// (through the byte-reversal table) and everything is then appended alike.
//
// Writing sets or clears exactly the bits it covers: bits of the current byte
// above the write position keep what the buffer held. That matters where a
// failed block is rewound and stored blocks skip to a byte boundary over bits
// the failed block had written.
#pragma once

#include <cstdint>

namespace kor {

// Entry i is i with its 8 bits in reverse order.
extern const unsigned char g_deflateByteReversal[256];

// code (length bits, most significant first) in the order it is written.
inline uint32_t ReverseDeflateCode(uint32_t code, unsigned length) {
  uint32_t reversed = (static_cast<uint32_t>(g_deflateByteReversal[code & 0xFF]) << 8) |
                      g_deflateByteReversal[(code >> 8) & 0xFF];
  return reversed >> (16 - length);
}

// A bit position in the output: a byte and the bit 0 to 7 within it.
struct UBitPosition {
  unsigned char* m_byte;
  unsigned m_bit;
};

// Appends bits from a position on, holding up to 63 in a register and
// storing whole 32-bit groups, so it never touches a byte beyond the last
// one it has written to.
class UDeflateBitWriter {
 public:
  explicit UDeflateBitWriter(UBitPosition start)
      : m_next(start.m_byte),
        m_bits(*start.m_byte & ((1u << start.m_bit) - 1)),
        m_count(start.m_bit) {}

  // The count (at most 32) low bits of value, least significant first.
  void Put(uint32_t value, unsigned count) {
    m_bits |= static_cast<uint64_t>(value) << m_count;
    m_count += count;
    if (m_count >= 32) {
      for (int i = 0; i < 4; ++i) m_next[i] = static_cast<unsigned char>(m_bits >> (8 * i));
      m_next += 4;
      m_bits >>= 32;
      m_count -= 32;
    }
  }

  // Whole bytes from start to the write position.
  int BytesSince(const unsigned char* start) const {
    return static_cast<int>(m_next - start) + static_cast<int>(m_count >> 3);
  }

  // Stores the pending bits and returns the write position.
  UBitPosition Finish() {
    for (; m_count >= 8; m_count -= 8, m_bits >>= 8) *m_next++ = static_cast<unsigned char>(m_bits);
    if (m_count > 0) {
      unsigned mask = (1u << m_count) - 1;
      *m_next = static_cast<unsigned char>((*m_next & ~mask) | (m_bits & mask));
    }
    UBitPosition end = {m_next, m_count};
    m_bits = 0;
    m_count = 0;
    return end;
  }

 private:
  unsigned char* m_next;
  uint64_t m_bits;
  unsigned m_count;
};

}  // namespace kor
