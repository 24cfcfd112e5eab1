// The variable-width LZW code of GIF image data: codes taken least
// significant bit first, a clear code that resets the string table, an end
// code, and a table of at most 4096 strings. The decoder hands out the
// colour indices a piece at a time, so that a caller can place each row as
// it completes.
#pragma once

#include <cstdint>

namespace lum {

class LGifLzw {
 public:
  enum { MAXIMUM_CODE_WIDTH = 12, TABLE_SIZE = 1 << MAXIMUM_CODE_WIDTH };

  // data holds the gathered sub-blocks and must outlive the decoder.
  // minimumCodeSize is the byte before the data; IsValidCodeSize tells
  // whether it can be decoded.
  LGifLzw(const unsigned char* data, int size, int minimumCodeSize);
  LGifLzw(const LGifLzw&) = delete;
  LGifLzw& operator=(const LGifLzw&) = delete;

  // 1 to 8: every index then fits a byte, and the first code width a code.
  static bool IsValidCodeSize(int minimumCodeSize);

  // Writes up to count indices to out and returns how many it wrote; fewer
  // only once the data has ended (end code, no more bits, or a broken code).
  int Decode(unsigned char* out, int count);

  // A code beyond the next free entry, or one that needs a previous string
  // where there is none, was met; decoding stopped there.
  bool IsBroken() const { return m_broken; }

 private:
  void Reset();
  bool NextCode(int& code);
  bool IsKnown(int code) const;
  // Makes the entry of the previous string plus the first byte of code's.
  void AddEntry(int code);
  // The string of code, last byte at end - 1; code is in the table.
  void WriteString(int code, unsigned char* end) const;
  int DrainPending(unsigned char* out, int count);

  const unsigned char* m_data;
  int m_size;
  int m_position;
  uint64_t m_bits;
  int m_bitCount;

  int m_minimumCodeSize;
  int m_clearCode;
  int m_codeWidth;
  int m_nextCode;
  int m_previousCode;
  bool m_ended;
  bool m_broken;

  uint16_t m_prefix[TABLE_SIZE];
  unsigned char m_suffix[TABLE_SIZE];
  unsigned char m_first[TABLE_SIZE];
  uint16_t m_length[TABLE_SIZE];

  // What of the last string did not fit the caller's room.
  unsigned char m_pending[TABLE_SIZE];
  int m_pendingStart;
  int m_pendingEnd;
};

}  // namespace lum
