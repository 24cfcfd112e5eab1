#include "lum/Image/LGifLzw.h"

#include <cstring>

namespace lum {

LGifLzw::LGifLzw(const unsigned char* data, int size, int minimumCodeSize)
    : m_data(data),
      m_size(data && size > 0 ? size : 0),
      m_position(0),
      m_bits(0),
      m_bitCount(0),
      m_minimumCodeSize(minimumCodeSize),
      m_clearCode(0),
      m_codeWidth(0),
      m_nextCode(0),
      m_previousCode(-1),
      m_ended(!IsValidCodeSize(minimumCodeSize)),
      m_broken(m_ended),
      m_pendingStart(0),
      m_pendingEnd(0) {
  if (m_ended) return;
  m_clearCode = 1 << minimumCodeSize;
  for (int code = 0; code < m_clearCode; ++code) {
    m_prefix[code] = 0;
    m_suffix[code] = static_cast<unsigned char>(code);
    m_first[code] = static_cast<unsigned char>(code);
    m_length[code] = 1;
  }
  Reset();
}

bool LGifLzw::IsValidCodeSize(int minimumCodeSize) { return minimumCodeSize >= 1 && minimumCodeSize <= 8; }

void LGifLzw::Reset() {
  m_codeWidth = m_minimumCodeSize + 1;
  m_nextCode = m_clearCode + 2;
  m_previousCode = -1;
}

// The accumulator is topped up a byte at a time only when a code needs more
// bits than it holds, several bytes at once.
inline bool LGifLzw::NextCode(int& code) {
  if (m_bitCount < m_codeWidth) {
    while (m_bitCount <= 56 && m_position < m_size) {
      m_bits |= static_cast<uint64_t>(m_data[m_position++]) << m_bitCount;
      m_bitCount += 8;
    }
    if (m_bitCount < m_codeWidth) return false;
  }
  code = static_cast<int>(m_bits & ((1u << m_codeWidth) - 1));
  m_bits >>= m_codeWidth;
  m_bitCount -= m_codeWidth;
  return true;
}

inline void LGifLzw::WriteString(int code, unsigned char* end) const {
  unsigned char* at = end;
  while (code >= m_clearCode) {
    *--at = m_suffix[code];
    code = m_prefix[code];
  }
  *--at = static_cast<unsigned char>(code);
}

int LGifLzw::DrainPending(unsigned char* out, int count) {
  int available = m_pendingEnd - m_pendingStart;
  int taken = available < count ? available : count;
  if (taken > 0) std::memcpy(out, m_pending + m_pendingStart, static_cast<size_t>(taken));
  m_pendingStart += taken;
  return taken;
}

inline bool LGifLzw::IsKnown(int code) const {
  // A code may name the entry about to be made (the previous string plus
  // its own first byte), but nothing beyond it, and never without a
  // previous string.
  if (code >= m_clearCode && m_previousCode < 0) return false;
  return code < m_nextCode || (code == m_nextCode && m_nextCode < TABLE_SIZE);
}

inline void LGifLzw::AddEntry(int code) {
  // Once the table is full, codes keep their width and add nothing until
  // the next clear code.
  if (m_previousCode >= 0 && m_nextCode < TABLE_SIZE) {
    int entry = m_nextCode++;
    m_prefix[entry] = static_cast<uint16_t>(m_previousCode);
    m_first[entry] = m_first[m_previousCode];
    m_suffix[entry] = code == entry ? m_first[m_previousCode] : m_first[code];
    m_length[entry] = static_cast<uint16_t>(m_length[m_previousCode] + 1);
  }
  // Checked after every code, not only after a new entry: with a minimum
  // code size of 1 the first free entry is already 2^width.
  if (m_nextCode >= (1 << m_codeWidth) && m_codeWidth < MAXIMUM_CODE_WIDTH) ++m_codeWidth;
  m_previousCode = code;
}

int LGifLzw::Decode(unsigned char* out, int count) {
  int written = DrainPending(out, count);
  while (written < count && !m_ended) {
    int code;
    if (!NextCode(code) || code == m_clearCode + 1) {
      m_ended = true;
      break;
    }
    if (code == m_clearCode) {
      Reset();
      continue;
    }
    if (!IsKnown(code)) {
      m_ended = m_broken = true;
      break;
    }
    AddEntry(code);
    int length = m_length[code];
    if (length <= count - written) {
      WriteString(code, out + written + length);
      written += length;
    } else {
      WriteString(code, m_pending + length);
      m_pendingStart = 0;
      m_pendingEnd = length;
      written += DrainPending(out + written, count - written);
    }
  }
  return written;
}

}  // namespace lum
