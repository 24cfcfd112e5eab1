// The deflate decoder. The Huffman tables are kept as length slots (the
// decoder's documented state) and turned into lookup tables for decoding:
// a 64-bit bit buffer feeds one table look-up per symbol, and a hot loop that
// runs while at least 8 input bytes and a longest match of output room are
// left does without any per-byte bounds check. Near either end a careful path
// decodes one symbol at a time. Every malformed stream ends in false; nothing
// is ever read outside the input or written outside the output.
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

namespace {

// A lookup entry: bits 0-7 the bits the entry consumes (the code length,
// plus the extra bits of a length or distance), 8-11 the code length of a
// length or distance, or the index bits of a subtable, 12-15 the kind, 16-31
// the value (literal byte, length or distance base, subtable offset,
// code-length symbol). Zero is a code without symbol.
enum : uint32_t {
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
  // The hot loop writes at most a longest match plus 63 bytes of overshoot
  // (a run of one byte), or 64 bytes for a shorter match.
  FAST_OUTPUT_ROOM = 258 + 64,
};

// The largest array UArray can hold.
const int64_t MAX_OUTPUT = 0x7FFFFFC0;

KOR_HOT_INLINE uint64_t Load64(const unsigned char* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  return value;
}

// 16 bytes that do not overlap their copy.
KOR_HOT_INLINE void Copy16(unsigned char* to, const unsigned char* from) {
  unsigned char block[16];
  std::memcpy(block, from, 16);
  std::memcpy(to, block, 16);
}

// Bytes with their bits in reverse order, for the table builds.
struct ByteReversal {
  unsigned char m_bytes[256];
  constexpr ByteReversal() : m_bytes() {
    for (int b = 0; b < 256; ++b) {
      int reversed = 0;
      for (int i = 0; i < 8; ++i) reversed |= ((b >> i) & 1) << (7 - i);
      m_bytes[b] = static_cast<unsigned char>(reversed);
    }
  }
};
constexpr ByteReversal g_byteReversal;

// The low length bits of code (length at most 16) in reverse order.
inline uint32_t ReverseBits(uint32_t code, int length) {
  uint32_t reversed16 = (static_cast<uint32_t>(g_byteReversal.m_bytes[code & 0xFF]) << 8) |
                        g_byteReversal.m_bytes[(code >> 8) & 0xFF];
  return reversed16 >> (16 - length);
}

// For matches at distances 2 to 7: where each of 8 bytes of the repeating
// pattern comes from, and the largest multiple of the distance up to 8.
// Building the pattern takes a fixed number of steps and no division: such
// matches are frequent in pixels of 3 and 4 bytes.
struct ShortPatterns {
  struct Row {
    unsigned char m_index[8];
    unsigned char m_step;
  };
  Row m_rows[8];
  constexpr ShortPatterns() : m_rows() {
    for (int distance = 1; distance < 8; ++distance) {
      for (int i = 0; i < 8; ++i) m_rows[distance].m_index[i] = static_cast<unsigned char>(i % distance);
      m_rows[distance].m_step = static_cast<unsigned char>(8 / distance * distance);
    }
  }
};
constexpr ShortPatterns g_shortPatterns;

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
};

class WorkspaceHolder {
 public:
  WorkspaceHolder() : m_workspace(nullptr) {}
  ~WorkspaceHolder() {
    if (m_workspace) FreeMemory(m_workspace, LOCATION_DELETE_ARRAY);
  }
  Workspace* Get() {
    if (!m_workspace)
      m_workspace = static_cast<Workspace*>(AllocateMemory(sizeof(Workspace), LOCATION_NEW_ARRAY));
    return m_workspace;
  }

 private:
  Workspace* m_workspace;
};

uint32_t LiteralEntry(int symbol) {
  if (symbol < 256) return ENTRY_LITERAL | (static_cast<uint32_t>(symbol) << 16);
  if (symbol == 256) return ENTRY_END;
  if (symbol > 285) return 0;  // 286 and 287 have no length
  const unsigned int* row = g_deflateLengthTable[symbol - 257];
  return ENTRY_MATCH | row[DEFLATE_EXTRA_BITS] | (row[DEFLATE_FIRST] << 16);
}

uint32_t DistanceEntry(int symbol) {
  if (symbol > 29) return 0;  // distance codes 30 and 31 have no distance
  const unsigned int* row = g_deflateDistanceTable[symbol];
  return ENTRY_MATCH | row[DEFLATE_EXTRA_BITS] | (row[DEFLATE_FIRST] << 16);
}

uint32_t CodeLengthEntry(int symbol) { return ENTRY_LITERAL | (static_cast<uint32_t>(symbol) << 16); }

// Fills a main table of 2^mainBits entries, followed by its subtables, with
// the canonical codes of slots (SLOT_COUNT of them). Codes whose value does
// not fit their length (an over-subscribed set) can never be read and get no
// entry; codes of an incomplete set that are left over stay 0.
// A complete set fills every entry; only an incomplete one has its tables
// cleared first.
template <uint32_t (*entryOf)(int)>
void BuildLookup(uint32_t* table, int mainBits, const HuffmanLengthSlot* slots) {
  const uint32_t mainSize = 1u << mainBits;

  // The readable codes in canonical order: left-aligned they increase, so
  // the long codes sharing a main-table prefix are neighbours.
  struct Code {
    uint32_t code;
    int length;
    int symbol;
  } codes[288];
  int codeCount = 0;
  uint32_t kraftSum = 0;  // in units of 2^-15; 2^15 for a complete set
  for (int length = 1; length <= DecompressorPolicy_Deflate::MAX_CODE_LENGTH; ++length) {
    const HuffmanLengthSlot& slot = slots[length - 1];
    for (int i = 0; i < slot.m_count && codeCount < 288; ++i) {
      uint32_t code = static_cast<uint32_t>(slot.m_firstCode) + static_cast<uint32_t>(i);
      if (code >= (1u << length)) break;
      codes[codeCount++] = Code{code, length, slot.m_symbols[i]};
      kraftSum += 1u << (DecompressorPolicy_Deflate::MAX_CODE_LENGTH - length);
    }
  }
  const bool complete = kraftSum == 1u << DecompressorPolicy_Deflate::MAX_CODE_LENGTH;
  if (!complete) std::memset(table, 0, mainSize * sizeof(uint32_t));

  uint32_t nextSubtable = mainSize;
  uint32_t subtable = 0;
  int subtableBits = 0;
  uint32_t currentPrefix = ~0u;
  for (int i = 0; i < codeCount; ++i) {
    const Code& c = codes[i];
    // entryOf gives a match's extra bits in the low byte.
    uint32_t entry = entryOf(c.symbol);
    if (entry & ENTRY_MATCH)
      entry = (entry & ~0xFFFu) | ((entry & 0xFF) + static_cast<uint32_t>(c.length)) |
              (static_cast<uint32_t>(c.length) << 8);
    else if (entry)
      entry |= static_cast<uint32_t>(c.length);
    if (c.length <= mainBits) {
      uint32_t step = 1u << c.length;
      for (uint32_t j = ReverseBits(c.code, c.length); j < mainSize; j += step) table[j] = entry;
      continue;
    }
    int tailBits = c.length - mainBits;
    uint32_t prefix = c.code >> tailBits;
    if (prefix != currentPrefix) {
      // The last code of this prefix is its longest.
      int last = i;
      while (last + 1 < codeCount &&
             (codes[last + 1].code >> (codes[last + 1].length - mainBits)) == prefix)
        ++last;
      currentPrefix = prefix;
      subtableBits = codes[last].length - mainBits;
      subtable = nextSubtable;
      nextSubtable += 1u << subtableBits;
      if (!complete) std::memset(table + subtable, 0, (1u << subtableBits) * sizeof(uint32_t));
      table[ReverseBits(prefix, mainBits)] = ENTRY_SUBTABLE |
                                             (static_cast<uint32_t>(subtableBits) << 8) |
                                             (subtable << 16) | static_cast<uint32_t>(mainBits);
    }
    uint32_t tail = c.code & ((1u << tailBits) - 1);
    uint32_t step = 1u << tailBits;
    for (uint32_t j = ReverseBits(tail, tailBits); j < (1u << subtableBits); j += step)
      table[subtable + j] = entry;
  }
}

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

// How a block (or the whole stream) ended: its end-of-block code was read,
// the data is malformed, or the output reached its limit with more to come;
// or that it goes on.
enum BlockEnd { BLOCK_DONE, BLOCK_BROKEN, BLOCK_FULL, BLOCK_GOING_ON };

// The capacity that follows a full one: twice as much, rounded up to a
// multiple of 64, but never beyond the limit. Doubling goes on all the way
// to the limit, so a large output is copied a few times, not once per step.
int64_t NextCapacity(int64_t capacity, int64_t needed, int64_t limit) {
  int64_t doubled = 2 * capacity > needed ? 2 * capacity : needed;
  int64_t rounded = RoundUp64(static_cast<int>(doubled < MAX_OUTPUT ? doubled : MAX_OUTPUT));
  return rounded < limit ? rounded : limit;
}

// Output room for needed bytes in all, reached by appending one byte at a
// time: the capacity grows as the appends of UArray would make it. False
// when needed lies beyond the limit.
bool ReserveByteByByte(UArray<unsigned char>& output, int length, int64_t needed, int64_t limit) {
  if (needed <= output.m_arrayMax) return true;
  if (needed > limit) return false;
  int64_t capacity = output.m_arrayMax;
  while (capacity < needed) capacity = NextCapacity(capacity, capacity + 1, limit);
  output.m_arrayNum = length;
  output.SetCapacity(static_cast<int>(capacity));
  return true;
}

// Room for count bytes appended at once; as many as the limit allows when
// it does not allow them all. Returns how many fit.
int64_t ReserveAtOnce(UArray<unsigned char>& output, int length, int64_t count, int64_t limit) {
  int64_t needed = length + count;
  if (needed > limit) needed = limit;
  if (needed > output.m_arrayMax) {
    output.m_arrayNum = length;
    output.SetCapacity(static_cast<int>(NextCapacity(length, needed, limit)));
  }
  return needed - length;
}

// Appends a match byte by byte, exactly; the caller checked the distance.
void CopyMatch(unsigned char* out, unsigned distance, unsigned count) {
  const unsigned char* from = out - distance;
  for (unsigned i = 0; i < count; ++i) out[i] = from[i];
}

BlockEnd CopyStored(BitReader& reader, UArray<unsigned char>& output, int& length, int64_t limit) {
  reader.Drop(reader.m_count & 7);
  // Give back the whole bytes still buffered.
  if (reader.Overrun()) return BLOCK_BROKEN;
  unsigned buffered = reader.m_count / 8 - reader.m_padding;
  reader.m_next -= buffered;
  reader.m_bits = 0;
  reader.m_count = 0;
  reader.m_padding = 0;
  if (reader.m_end - reader.m_next < 4) return BLOCK_BROKEN;
  // The one's complement copy of the length is not compared.
  unsigned count = reader.m_next[0] | (static_cast<unsigned>(reader.m_next[1]) << 8);
  reader.m_next += 4;
  if (static_cast<unsigned>(reader.m_end - reader.m_next) < count) return BLOCK_BROKEN;
  int64_t fits = ReserveAtOnce(output, length, count, limit);
  if (fits) std::memcpy(output.m_array + length, reader.m_next, static_cast<size_t>(fits));
  length += static_cast<int>(fits);
  reader.m_next += count;
  return fits < count ? BLOCK_FULL : BLOCK_DONE;
}

void BuildFixedTables(Workspace& workspace) {
  // The fixed code lives in plain slots of the stack: fixed blocks do not
  // touch the object's tables.
  int symbols[288 + 32];
  HuffmanLengthSlot slots[DecompressorPolicy_Deflate::SLOT_COUNT];
  std::memset(slots, 0, sizeof(slots));
  // 256-279 (7 bits), then 0-143 and 280-287 (8 bits), then 144-255 (9 bits).
  int used = 0;
  slots[6] = HuffmanLengthSlot{24, 0, 23, symbols + used};
  for (int s = 256; s < 280; ++s) symbols[used++] = s;
  slots[7] = HuffmanLengthSlot{152, 48, 199, symbols + used};
  for (int s = 0; s < 144; ++s) symbols[used++] = s;
  for (int s = 280; s < 288; ++s) symbols[used++] = s;
  slots[8] = HuffmanLengthSlot{112, 400, 511, symbols + used};
  for (int s = 144; s < 256; ++s) symbols[used++] = s;
  BuildLookup<LiteralEntry>(workspace.m_literal, LITERAL_BITS, slots);

  std::memset(slots, 0, sizeof(slots));
  slots[4] = HuffmanLengthSlot{32, 0, 31, symbols + used};
  for (int s = 0; s < 32; ++s) symbols[used++] = s;
  BuildLookup<DistanceEntry>(workspace.m_distance, DISTANCE_BITS, slots);
}

// The fixed code's tables are the same for every stream: built once for the
// process (the initialisation of a local static is thread-safe), so that a
// short fixed-code stream costs no table build and no workspace.
const Workspace& FixedTables() {
  static const Workspace* const tables = [] {
    static Workspace built;
    BuildFixedTables(built);
    return &built;
  }();
  return *tables;
}

bool ReadDynamicHeader(BitReader& reader, DecompressorPolicy_Deflate& policy,
                       Workspace& workspace) {
  reader.Refill();
  int literalCount = static_cast<int>(reader.Take(5)) + 257;
  int distanceCount = static_cast<int>(reader.Take(5)) + 1;
  int codeLengthCount = static_cast<int>(reader.Take(4)) + 4;

  unsigned char codeLengthLengths[19] = {};
  for (int i = 0; i < codeLengthCount; ++i) {
    reader.Refill();
    codeLengthLengths[g_deflateCodeLengthOrder[i]] = static_cast<unsigned char>(reader.Take(3));
  }
  if (reader.Overrun()) return false;

  // Canonical codes of the code-length alphabet, straight into a table.
  HuffmanLengthSlot slots[DecompressorPolicy_Deflate::SLOT_COUNT];
  std::memset(slots, 0, sizeof(slots));
  int symbols[19];
  int used = 0;
  int code = 0;
  for (int length = 1; length <= 7; ++length) {
    HuffmanLengthSlot& slot = slots[length - 1];
    slot.m_firstCode = code;
    slot.m_symbols = symbols + used;
    for (int s = 0; s < 19; ++s)
      if (codeLengthLengths[s] == length) symbols[used + slot.m_count++] = s;
    used += slot.m_count;
    code += slot.m_count;
    slot.m_lastCode = code - 1;
    code <<= 1;
  }
  BuildLookup<CodeLengthEntry>(workspace.m_codeLength, CODE_LENGTH_BITS, slots);

  // The literal/length and distance lengths form one sequence.
  unsigned char lengths[288 + 32];
  const int total = literalCount + distanceCount;
  int count = 0;
  while (count < total) {
    reader.Refill();
    uint32_t entry = workspace.m_codeLength[reader.m_bits & (CODE_LENGTH_TABLE_SIZE - 1)];
    if (entry == 0) return false;
    reader.Drop(entry & 0xFF);
    unsigned symbol = entry >> 16;
    if (symbol < 16) {
      lengths[count++] = static_cast<unsigned char>(symbol);
    } else {
      unsigned char value = 0;
      int repeat;
      if (symbol == 16) {
        if (count == 0) return false;
        value = lengths[count - 1];
        repeat = 3 + static_cast<int>(reader.Take(2));
      } else if (symbol == 17) {
        repeat = 3 + static_cast<int>(reader.Take(3));
      } else {
        repeat = 11 + static_cast<int>(reader.Take(7));
      }
      if (repeat > total - count) return false;
      std::memset(lengths + count, value, static_cast<size_t>(repeat));
      count += repeat;
    }
    if (reader.Overrun()) return false;
  }

  DecompressorPolicy_Deflate::BuildSlots(policy.m_literalSlots, lengths, literalCount);
  DecompressorPolicy_Deflate::BuildSlots(policy.m_distanceSlots, lengths + literalCount,
                                         distanceCount);
  BuildLookup<LiteralEntry>(workspace.m_literal, LITERAL_BITS, policy.m_literalSlots);
  BuildLookup<DistanceEntry>(workspace.m_distance, DISTANCE_BITS, policy.m_distanceSlots);
  return true;
}

// Decodes one symbol, checking every read and write: BLOCK_GOING_ON when
// the block goes on.
KOR_HOT_INLINE BlockEnd DecodeOneSymbol(BitReader& reader, const Workspace& workspace,
                                        UArray<unsigned char>& output, int& length, int64_t limit) {
  reader.Refill();
  uint32_t entry = LookUp(workspace.m_literal, LITERAL_BITS, reader.m_bits);
  if (entry & ENTRY_LITERAL) {
    reader.Drop(entry & 0xFF);
    if (reader.Overrun()) return BLOCK_BROKEN;
    if (!ReserveByteByByte(output, length, int64_t(length) + 1, limit)) return BLOCK_FULL;
    output.m_array[length++] = static_cast<unsigned char>(entry >> 16);
    return BLOCK_GOING_ON;
  }
  if (!(entry & ENTRY_MATCH)) {
    if (!(entry & ENTRY_END)) return BLOCK_BROKEN;
    reader.Drop(entry & 0xFF);
    return reader.Overrun() ? BLOCK_BROKEN : BLOCK_DONE;
  }
  unsigned matchLength = MatchValue(entry, reader.m_bits);
  reader.Drop(entry & 0xFF);
  reader.Refill();
  entry = LookUp(workspace.m_distance, DISTANCE_BITS, reader.m_bits);
  if (!(entry & ENTRY_MATCH)) return BLOCK_BROKEN;
  unsigned distance = MatchValue(entry, reader.m_bits);
  reader.Drop(entry & 0xFF);
  if (reader.Overrun()) return BLOCK_BROKEN;
  if (distance > static_cast<unsigned>(length)) return BLOCK_BROKEN;
  // A match that runs past the limit fills the output up to it.
  bool full = int64_t(length) + matchLength > limit;
  if (full) matchLength = static_cast<unsigned>(limit - length);
  if (!ReserveByteByByte(output, length, int64_t(length) + matchLength, limit)) return BLOCK_FULL;
  CopyMatch(output.m_array + length, distance, matchLength);
  length += static_cast<int>(matchLength);
  return full ? BLOCK_FULL : BLOCK_GOING_ON;
}

// Decodes symbols up to the end of the block, or until the output reaches
// limit with more to come. length is the output produced so far, before
// and after. The output's capacity never exceeds the limit, so the hot loop
// cannot pass it.
KOR_HOT_INLINE BlockEnd DecodeBlockSymbols(BitReader& reader, const Workspace& workspace,
                                           UArray<unsigned char>& output, int& length, int64_t limit) {
  const uint32_t* literalTable = workspace.m_literal;
  const uint32_t* distanceTable = workspace.m_distance;
  for (;;) {
    // The hot loop, with the reader's state in locals.
    {
      const unsigned char* next = reader.m_next;
      const unsigned char* const end = reader.m_end;
      uint64_t bits = reader.m_bits;
      unsigned count = reader.m_count;
      unsigned char* const base = output.m_array;
      unsigned char* out = base + length;
      unsigned char* const outEnd = base + output.m_arrayMax;
      bool failed = false;
      bool done = false;
      // The loop runs while 8 input bytes and a longest match of output
      // room are left. Its count takes whole entries off: only the low six
      // bits, which stay right because entries consume at most 28 bits,
      // hold the number of bits.
      const bool fast = end - next >= 8 && outEnd - out >= FAST_OUTPUT_ROOM;
      const unsigned char* const inFastEnd = fast ? end - 7 : next;
      unsigned char* const outFastEnd = fast ? outEnd - (FAST_OUTPUT_ROOM - 1) : out;
      if (fast) {
        bits |= Load64(next) << (count & 63);
        next += 7 - ((count >> 3) & 7);
        count |= 56;
      }
      // Each round starts with at least 56 bits and the main-table entry
      // for the lowest of them looked up. A refill loads 8 whole bytes, so
      // all 64 bits of the buffer are input even where the count ends: a
      // look-up may use the bits beyond the count (at least 16 are left
      // after a match, 19 after three literals) before the refill that
      // counts them, which ORs the same bits in again, and need not wait
      // for it.
      // Literals, the most frequent symbols, are tested for before a link
      // to a subtable is followed.
      uint32_t entry = literalTable[bits & LITERAL_MASK];
      while (next < inFastEnd && out < outFastEnd) {
        if (entry & ENTRY_LITERAL) {
          // 56 bits cover three literals of up to 15 bits each.
          bits >>= entry & 63;
          count -= entry;
          *out++ = static_cast<unsigned char>(entry >> 16);
          entry = literalTable[bits & LITERAL_MASK];
          if (entry & ENTRY_LITERAL) {
            bits >>= entry & 63;
            count -= entry;
            *out++ = static_cast<unsigned char>(entry >> 16);
            entry = literalTable[bits & LITERAL_MASK];
            if (entry & ENTRY_LITERAL) {
              bits >>= entry & 63;
              count -= entry;
              *out++ = static_cast<unsigned char>(entry >> 16);
              entry = literalTable[bits & LITERAL_MASK];
              bits |= Load64(next) << (count & 63);
              next += 7 - ((count >> 3) & 7);
              count |= 56;
              continue;
            }
          }
          bits |= Load64(next) << (count & 63);
          next += 7 - ((count >> 3) & 7);
          count |= 56;
          continue;
        }
        if (entry & ENTRY_SUBTABLE) {
          entry = SubtableEntry(literalTable, LITERAL_BITS, entry, bits);
          if (entry & ENTRY_LITERAL) continue;
        }
        if (!(entry & ENTRY_MATCH)) {
          if (entry & ENTRY_END) {
            bits >>= entry & 63;
            count -= entry;
            done = true;
          } else {
            failed = true;
          }
          break;
        }
        // Length code and extra bits take at most 20 bits, the distance
        // code and extra bits at most 28: 48 of the 56.
        unsigned matchLength = MatchValue(entry, bits);
        bits >>= entry & 63;
        count -= entry;
        entry = LookUp(distanceTable, DISTANCE_BITS, bits);
        if (!(entry & ENTRY_MATCH)) {
          failed = true;
          break;
        }
        unsigned distance = MatchValue(entry, bits);
        bits >>= entry & 63;
        count -= entry;
        // The next round's look-up and refill do not depend on the copy.
        entry = literalTable[bits & LITERAL_MASK];
        bits |= Load64(next) << (count & 63);
        next += 7 - ((count >> 3) & 7);
        count |= 56;
        if (distance > static_cast<unsigned>(out - base)) {
          failed = true;
          break;
        }
        const unsigned char* from = out - distance;
        unsigned char* const matchEnd = out + matchLength;
        // Most matches are short: their first 32 bytes are copied without a
        // loop whose end would be mispredicted.
        if (distance >= 32) {
          Copy16(out, from);
          Copy16(out + 16, from + 16);
          if (matchLength > 32) {
            out += 32;
            from += 32;
            do {
              Copy16(out, from);
              Copy16(out + 16, from + 16);
              out += 32;
              from += 32;
            } while (out < matchEnd);
          }
        } else if (distance >= 16) {
          // Steps of distance bytes: each step reads exactly what the one
          // before wrote, so no read waits for a partly overlapping write.
          do {
            unsigned char block[32];
            std::memcpy(block, out - distance, 32);
            std::memcpy(out, block, 32);
            out += distance;
          } while (out < matchEnd);
        } else if (distance >= 8) {
          do {
            Copy16(out, out - distance);
            out += distance;
          } while (out < matchEnd);
        } else if (distance == 1) {
          // Runs are long: 64 bytes a round keep the rounds few.
          unsigned char run[16];
          std::memset(run, *from, 16);
          do {
            Copy16(out, run);
            Copy16(out + 16, run);
            Copy16(out + 32, run);
            Copy16(out + 48, run);
            out += 64;
          } while (out < matchEnd);
        } else {
          // Distances 2 to 7: 8 bytes of the repeating pattern are built
          // once and stored at steps of the largest multiple of the
          // distance that fits, without reading the output again.
          const ShortPatterns::Row& row = g_shortPatterns.m_rows[distance];
          unsigned char pattern[8];
          for (unsigned i = 0; i < 8; ++i) pattern[i] = from[row.m_index[i]];
          const unsigned step = row.m_step;
          do {
            std::memcpy(out, pattern, 8);
            std::memcpy(out + step, pattern, 8);
            out += 2 * step;
          } while (out < matchEnd);
        }
        out = matchEnd;
      }
      reader.m_next = next;
      reader.m_bits = bits;
      reader.m_count = fast ? count & 63 : count;
      length = static_cast<int>(out - base);
      if (failed) return BLOCK_BROKEN;
      if (done) return BLOCK_DONE;
    }

    // One symbol at a time, carefully, until the hot loop can take over.
    // The state is in locals, which the output's bytes cannot alias.
    BitReader careful = reader;
    int carefulLength = length;
    BlockEnd end;
    do {
      end = DecodeOneSymbol(careful, workspace, output, carefulLength, limit);
    } while (end == BLOCK_GOING_ON &&
             (careful.m_end - careful.m_next < 8 || output.m_arrayMax - carefulLength < FAST_OUTPUT_ROOM));
    reader = careful;
    length = carefulLength;
    if (end != BLOCK_GOING_ON) return end;
  }
}

BlockEnd DecodeHuffmanBlockPlain(BitReader& reader, const Workspace& workspace,
                                 UArray<unsigned char>& output, int& length, int64_t limit) {
  return DecodeBlockSymbols(reader, workspace, output, length, limit);
}

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
// The same loop with BMI2's shifts that take their count from any register.
__attribute__((target("bmi2"))) BlockEnd DecodeHuffmanBlockBmi2(BitReader& reader,
                                                               const Workspace& workspace,
                                                               UArray<unsigned char>& output,
                                                               int& length, int64_t limit) {
  return DecodeBlockSymbols(reader, workspace, output, length, limit);
}

bool HasBmi2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi2");
}

BlockEnd DecodeHuffmanBlock(BitReader& reader, const Workspace& workspace,
                            UArray<unsigned char>& output, int& length, int64_t limit) {
  static const bool bmi2 = HasBmi2();
  return bmi2 ? DecodeHuffmanBlockBmi2(reader, workspace, output, length, limit)
              : DecodeHuffmanBlockPlain(reader, workspace, output, length, limit);
}
#else
BlockEnd DecodeHuffmanBlock(BitReader& reader, const Workspace& workspace,
                            UArray<unsigned char>& output, int& length, int64_t limit) {
  return DecodeHuffmanBlockPlain(reader, workspace, output, length, limit);
}
#endif

}  // namespace

DecompressorPolicy_Deflate::DecompressorPolicy_Deflate() {
  std::memset(m_literalSlots, 0, sizeof(m_literalSlots));
  std::memset(m_distanceSlots, 0, sizeof(m_distanceSlots));
}

DecompressorPolicy_Deflate::~DecompressorPolicy_Deflate() noexcept(false) {
  ReleaseSlots(m_literalSlots);
  ReleaseSlots(m_distanceSlots);
}

void DecompressorPolicy_Deflate::ReleaseSlots(HuffmanLengthSlot* slots) {
  for (int i = 0; i < SLOT_COUNT; ++i) {
    if (slots[i].m_symbols) FreeMemory(slots[i].m_symbols, LOCATION_DELETE_ARRAY);
    slots[i] = HuffmanLengthSlot{0, 0, 0, nullptr};
  }
}

void DecompressorPolicy_Deflate::BuildSlots(HuffmanLengthSlot* slots, const unsigned char* lengths,
                                            int count) {
  KOR_GUARD_BEGIN
  assure(count >= 0 && count <= 288);
  int perLength[MAX_CODE_LENGTH + 1] = {};
  for (int s = 0; s < count; ++s) {
    assure(lengths[s] <= MAX_CODE_LENGTH);
    ++perLength[lengths[s]];
  }
  int code = 0;
  for (int length = 1; length <= MAX_CODE_LENGTH; ++length) {
    HuffmanLengthSlot& slot = slots[length - 1];
    if (slot.m_symbols) FreeMemory(slot.m_symbols, LOCATION_DELETE_ARRAY);
    slot.m_symbols = nullptr;
    slot.m_count = 0;
    slot.m_firstCode = code;
    if (perLength[length] > 0)
      slot.m_symbols = static_cast<int*>(
          AllocateMemory(static_cast<size_t>(perLength[length]) * sizeof(int), LOCATION_NEW_ARRAY));
    code += perLength[length];
    slot.m_lastCode = code - 1;
    code <<= 1;
  }
  // Symbols in increasing order, each to the slot of its length.
  for (int s = 0; s < count; ++s)
    if (lengths[s]) {
      HuffmanLengthSlot& slot = slots[lengths[s] - 1];
      slot.m_symbols[slot.m_count++] = s;
    }
  KOR_GUARD_END
}

InflateResult DecompressAtMost(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                               UArray<unsigned char>& output, int outputLimit) {
  KOR_GUARD_BEGIN
  const int64_t limit = outputLimit < 0 ? 0 : outputLimit < MAX_OUTPUT ? outputLimit : MAX_OUTPUT;
  const int inputLength = input.GetNum();
  int64_t capacity = 3 * static_cast<int64_t>(inputLength);
  output.EmptyExact(static_cast<int>(capacity < limit ? capacity : limit));

  BitReader reader{input.GetData(), input.GetData() + inputLength, 0, 0, 0};
  WorkspaceHolder workspace;
  int length = 0;
  InflateResult result = INFLATE_BROKEN;
  for (;;) {
    reader.Refill();
    unsigned final = reader.Take(1);
    unsigned type = reader.Take(2);
    if (reader.Overrun() || type == 3) break;
    BlockEnd end;
    if (type == 0) {
      end = CopyStored(reader, output, length, limit);
    } else {
      const Workspace* tables = &FixedTables();
      if (type == 2) {
        Workspace& dynamic = *workspace.Get();
        if (!ReadDynamicHeader(reader, policy, dynamic)) break;
        tables = &dynamic;
      }
      end = DecodeHuffmanBlock(reader, *tables, output, length, limit);
    }
    if (end == BLOCK_FULL) result = INFLATE_FULL;
    if (end != BLOCK_DONE) break;
    if (final) {
      result = INFLATE_COMPLETE;
      break;
    }
  }
  output.m_arrayNum = length;
  return result;
  KOR_GUARD_END
}

bool Decompress(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                UArray<unsigned char>& output) {
  return DecompressAtMost(input, policy, output, static_cast<int>(MAX_OUTPUT)) == INFLATE_COMPLETE;
}

}  // namespace kor
