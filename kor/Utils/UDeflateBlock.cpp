// The dynamic block: symbol frequencies, code lengths limited to 15 bits, the
// code-length header with its own code of at most 7 bits, then the symbols.
// Every header item and every symbol is first checked against the budget,
// the chunk's length: a block that would not be smaller than its bytes gives
// way to stored blocks.
#include "kor/Utils/UDeflateBlock.h"

#include <cstring>

#include "kor/Utils/UCompressor.h"

namespace kor {

namespace {

typedef CompressorPolicy_Deflate Policy;

enum {
  MAX_MATCH = 258,
  // Distances up to 256 have a code each; above, one per 128 distances.
  NEAR_DISTANCES = 256,
  LENGTH_SEQUENCE_SIZE = Policy::LITERAL_CODES + Policy::DISTANCE_CODES,
  // The code-length symbols that repeat: 16 the previous length, 17 and 18 zeros.
  REPEAT_PREVIOUS = 16,
  REPEAT_ZEROS_SHORT = 17,
  REPEAT_ZEROS_LONG = 18
};

// Length rows and distance codes by value, found once by the linear search
// over the ranges of the shared tables.
struct MatchCodes {
  unsigned char m_lengthRow[MAX_MATCH + 1];
  unsigned char m_distanceCode[2 * NEAR_DISTANCES];

  MatchCodes() : m_lengthRow(), m_distanceCode() {
    for (unsigned length = 3; length <= MAX_MATCH; ++length) {
      unsigned row = 0;
      while (length < g_deflateLengthTable[row][DEFLATE_FIRST] ||
             length > g_deflateLengthTable[row][DEFLATE_LAST])
        ++row;
      m_lengthRow[length] = static_cast<unsigned char>(row);
    }
    for (unsigned code = 0; code < 30; ++code)
      for (unsigned d = g_deflateDistanceTable[code][DEFLATE_FIRST];
           d <= g_deflateDistanceTable[code][DEFLATE_LAST]; ++d)
        m_distanceCode[Index(d)] = static_cast<unsigned char>(code);
  }
  // The ranges above 256 start one past a multiple of 128.
  static unsigned Index(unsigned distance) {
    return distance <= NEAR_DISTANCES ? distance - 1 : NEAR_DISTANCES + ((distance - 1) >> 7);
  }
  unsigned DistanceCode(unsigned distance) const { return m_distanceCode[Index(distance)]; }
};

const MatchCodes& GetMatchCodes() {
  static const MatchCodes codes;
  return codes;
}

// A code in the order the writer appends it.
struct WriteCode {
  uint32_t m_bits;
  uint32_t m_length;
};

struct BlockCodes {
  HuffmanCode m_literal[Policy::LITERAL_CODES];
  HuffmanCode m_distance[Policy::DISTANCE_CODES];
  int m_hlit;
  int m_hdist;
};

typedef Policy::CodeLengthSymbol CodeLengthSymbol;

void BuildCodes(const int* frequencies, int symbols, int limit, HuffmanCode* table) {
  HuffmanTreeNode records[Policy::LITERAL_CODES];
  int used = 0;
  for (int s = 0; s < symbols; ++s)
    if (frequencies[s]) records[used++] = HuffmanTreeNode{s, frequencies[s], nullptr, nullptr};
  Policy::ShellSort(records, used);
  std::memset(table, 0, sizeof(HuffmanCode) * static_cast<size_t>(symbols));
  Policy::BuildHuffmanLengths(records, used, limit, table);
}

// 1 + the highest symbol from top down to floor that has a code, or floor.
int DeclaredCount(const HuffmanCode* table, int top, int floor) {
  for (int s = top; s >= floor; --s)
    if (table[s].m_length) return s + 1;
  return floor;
}

void BuildBlockCodes(const int* symbols, int count, BlockCodes& block) {
  const MatchCodes& match = GetMatchCodes();
  int literal[Policy::LITERAL_CODES] = {};
  int distance[Policy::DISTANCE_CODES] = {};
  for (int i = 0; i < count; ++i) {
    int s = symbols[i];
    if (s <= Policy::END_OF_BLOCK) {
      ++literal[s];
      continue;
    }
    ++literal[Policy::MATCH_BASE + match.m_lengthRow[s - Policy::MATCH_BASE]];
    ++distance[match.DistanceCode(static_cast<unsigned>(symbols[++i]))];
  }
  BuildCodes(literal, Policy::LITERAL_CODES, Policy::MAX_CODE_LENGTH, block.m_literal);
  BuildCodes(distance, Policy::DISTANCE_CODES, Policy::MAX_CODE_LENGTH, block.m_distance);
  block.m_hlit = DeclaredCount(block.m_literal, Policy::LITERAL_CODES - 1, 258);
  block.m_hdist = DeclaredCount(block.m_distance, Policy::DISTANCE_CODES - 1, 2);
}

unsigned ExtraBitsOf(unsigned symbol) {
  switch (symbol) {
    case REPEAT_PREVIOUS:
      return 2;
    case REPEAT_ZEROS_SHORT:
      return 3;
    case REPEAT_ZEROS_LONG:
      return 7;
    default:
      return 0;
  }
}

// Header items count their bits rounded up against the budget.
int HeaderBytes(unsigned bits) { return static_cast<int>((bits + 7) / 8); }

// The code-length symbols of the block's literal/length and distance lengths.
int CollectBlockCodeLengths(const BlockCodes& block, CodeLengthSymbol* symbols) {
  unsigned char lengths[LENGTH_SEQUENCE_SIZE];
  for (int s = 0; s < block.m_hlit; ++s)
    lengths[s] = static_cast<unsigned char>(block.m_literal[s].m_length);
  for (int d = 0; d < block.m_hdist; ++d)
    lengths[block.m_hlit + d] = static_cast<unsigned char>(block.m_distance[d].m_length);
  return Policy::CollectCodeLengthSymbols(lengths, block.m_hlit + block.m_hdist, block.m_hlit,
                                          symbols);
}

// Fills table with the code of the code-length symbols and returns HCLEN.
int BuildCodeLengthCode(const CodeLengthSymbol* symbols, int count, HuffmanCode* table) {
  int frequencies[Policy::CODE_LENGTH_CODES] = {};
  for (int i = 0; i < count; ++i) ++frequencies[symbols[i].m_symbol];
  HuffmanTreeNode records[Policy::CODE_LENGTH_CODES];
  int used = 0;
  for (int s = 0; s < Policy::CODE_LENGTH_CODES; ++s) {
    records[s] = HuffmanTreeNode{s, frequencies[s], nullptr, nullptr};
    if (frequencies[s]) ++used;
  }
  Policy::ShellSort(records, Policy::CODE_LENGTH_CODES);
  // An odd count of records, one or two of them unused; never more than 19.
  int handed = 2 * ((used + 1) / 2) + 1;
  if (handed > Policy::CODE_LENGTH_CODES) handed = Policy::CODE_LENGTH_CODES;
  Policy::BuildHuffmanLengths(records, handed, Policy::MAX_CODE_LENGTH_CODE_LENGTH, table);

  int hclen = 5;
  for (int position = 0; position < Policy::CODE_LENGTH_CODES; ++position)
    if (table[g_deflateCodeLengthOrder[position]].m_length && position + 1 > hclen)
      hclen = position + 1;
  return hclen;
}

bool WriteHeader(UDeflateBitWriter& writer, const unsigned char* start, int budget,
                 const BlockCodes& block) {
  CodeLengthSymbol symbols[LENGTH_SEQUENCE_SIZE];
  const int count = CollectBlockCodeLengths(block, symbols);
  HuffmanCode table[Policy::CODE_LENGTH_CODES] = {};
  const int hclen = BuildCodeLengthCode(symbols, count, table);

  if (writer.BytesSince(start) + HeaderBytes(3 * static_cast<unsigned>(hclen) + 4) > budget)
    return false;
  writer.Put(static_cast<uint32_t>(block.m_hlit - 257), 5);
  writer.Put(static_cast<uint32_t>(block.m_hdist - 1), 5);
  writer.Put(static_cast<uint32_t>(hclen - 4), 4);
  for (int position = 0; position < hclen; ++position)
    writer.Put(table[g_deflateCodeLengthOrder[position]].m_length, 3);

  for (int i = 0; i < count; ++i) {
    const HuffmanCode& code = table[symbols[i].m_symbol];
    unsigned extraBits = ExtraBitsOf(symbols[i].m_symbol);
    if (writer.BytesSince(start) + HeaderBytes(code.m_length + extraBits) > budget) return false;
    writer.Put(ReverseDeflateCode(code.m_code, code.m_length), code.m_length);
    if (extraBits) writer.Put(symbols[i].m_extra, extraBits);
  }
  return true;
}

void ToWriteCodes(const HuffmanCode* codes, int count, WriteCode* out) {
  for (int s = 0; s < count; ++s)
    out[s] =
        WriteCode{codes[s].m_length ? ReverseDeflateCode(codes[s].m_code, codes[s].m_length) : 0,
                  codes[s].m_length};
}

// Data symbols count their bits rounded down against the budget.
bool WriteSymbols(UDeflateBitWriter& writer, const unsigned char* start, int budget,
                  const BlockCodes& block, const int* symbols, int count) {
  const MatchCodes& match = GetMatchCodes();
  WriteCode literal[Policy::LITERAL_CODES];
  WriteCode distance[Policy::DISTANCE_CODES];
  ToWriteCodes(block.m_literal, Policy::LITERAL_CODES, literal);
  ToWriteCodes(block.m_distance, Policy::DISTANCE_CODES, distance);

  for (int i = 0; i < count; ++i) {
    const int s = symbols[i];
    if (s <= Policy::END_OF_BLOCK) {
      const WriteCode& code = literal[s];
      if (writer.BytesSince(start) + static_cast<int>(code.m_length >> 3) > budget) return false;
      writer.Put(code.m_bits, code.m_length);
      continue;
    }
    const unsigned length = static_cast<unsigned>(s - Policy::MATCH_BASE);
    const unsigned row = match.m_lengthRow[length];
    const WriteCode& lengthCode = literal[Policy::MATCH_BASE + row];
    const unsigned lengthExtraBits = g_deflateLengthTable[row][DEFLATE_EXTRA_BITS];
    const unsigned lengthExtra = length - g_deflateLengthTable[row][DEFLATE_FIRST];

    const unsigned dist = static_cast<unsigned>(symbols[++i]);
    const unsigned dcode = match.DistanceCode(dist);
    const WriteCode& distanceCode = distance[dcode];
    const unsigned distanceExtraBits = g_deflateDistanceTable[dcode][DEFLATE_EXTRA_BITS];
    const unsigned distanceExtra = dist - g_deflateDistanceTable[dcode][DEFLATE_FIRST];

    unsigned bits =
        lengthCode.m_length + lengthExtraBits + distanceCode.m_length + distanceExtraBits;
    if (writer.BytesSince(start) + static_cast<int>(bits >> 3) > budget) return false;
    writer.Put(lengthCode.m_bits | (lengthExtra << lengthCode.m_length),
               lengthCode.m_length + lengthExtraBits);
    writer.Put(distanceCode.m_bits | (distanceExtra << distanceCode.m_length),
               distanceCode.m_length + distanceExtraBits);
  }
  return true;
}

int AddRun(unsigned char value, int runCount, CodeLengthSymbol* items, int count) {
  // A run cut short at the last literal/length entry may hold only two: a
  // repeat code cannot say that, so they go out as plain lengths.
  if (runCount < 3) {
    for (int i = 0; i < runCount; ++i) items[count++] = CodeLengthSymbol{value, 0};
    return count;
  }
  if (value != 0)
    items[count] = CodeLengthSymbol{REPEAT_PREVIOUS, static_cast<unsigned char>(runCount - 3)};
  else if (runCount > 10)
    items[count] = CodeLengthSymbol{REPEAT_ZEROS_LONG, static_cast<unsigned char>(runCount - 11)};
  else
    items[count] = CodeLengthSymbol{REPEAT_ZEROS_SHORT, static_cast<unsigned char>(runCount - 3)};
  return count + 1;
}

}  // namespace

// A run opens on three equal lengths that are zeros or repeat the length
// before them, and closes at the sequence's end, at the last literal/length
// length, at its longest or before a different length. A run opened on the
// last literal/length length itself runs on into the distance lengths, as
// RFC 1951 allows.
int CompressorPolicy_Deflate::CollectCodeLengthSymbols(const unsigned char* lengths, int n,
                                                       int hlit, CodeLengthSymbol* items) {
  int count = 0;
  for (int k = 0; k < n; ++k) {
    const unsigned char value = lengths[k];
    bool opens = k < n - 3 && lengths[k + 1] == value && lengths[k + 2] == value &&
                 (value == 0 || (k > 0 && lengths[k - 1] == value));
    if (!opens) {
      items[count++] = CodeLengthSymbol{value, 0};
      continue;
    }
    const int longest = value == 0 ? 138 : 6;
    int runCount = 1;
    for (;;) {
      ++k;
      ++runCount;
      if (k == n - 1 || k == hlit - 1 || runCount == longest || lengths[k + 1] != value) break;
    }
    count = AddRun(value, runCount, items, count);
  }
  return count;
}

bool WriteDynamicBlock(const int* symbols, int count, bool final, int budget,
                       UBitPosition& position) {
  KOR_GUARD_BEGIN
  BlockCodes block;
  BuildBlockCodes(symbols, count, block);
  const unsigned char* start = position.m_byte;
  UDeflateBitWriter writer(position);
  writer.Put(final ? 1u : 0u, 1);
  writer.Put(0, 1);  // block type 2, its low bit first
  writer.Put(1, 1);
  bool fits = WriteHeader(writer, start, budget, block) &&
              WriteSymbols(writer, start, budget, block, symbols, count);
  UBitPosition end = writer.Finish();
  if (fits) position = end;
  return fits;
  KOR_GUARD_END
}

}  // namespace kor
