// The decoder's lookup tables, built from the canonical codes of the length
// slots, and the slots themselves.
#include "kor/Utils/UInflateTables.h"

namespace kor {
namespace inflate {

namespace {

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

uint32_t LiteralEntry(int symbol) {
  if (symbol < 256)
    return ENTRY_LITERAL | ENTRY_ONE_LITERAL | (static_cast<uint32_t>(symbol) << 16);
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

// A code's entry: what entryOf gives for its symbol, with the bits it
// consumes; entryOf gives a match's extra bits in the low byte.
template <uint32_t (*entryOf)(int)>
uint32_t CodeEntry(int symbol, int length) {
  uint32_t entry = entryOf(symbol);
  const uint32_t bits = static_cast<uint32_t>(length);
  if (entry & ENTRY_MATCH) return (entry & ~0xFFFu) | ((entry & 0xFF) + bits) | (bits << 8);
  return entry ? entry | bits : 0;
}

// The first 2^bits entries of table again after them. A memmove, not a
// memcpy: compilers expand a memcpy of unknown size into a string
// instruction, which at these sizes is several times slower than the
// library's copy on some processors.
void DoubleTable(uint32_t* table, int bits) {
  std::memmove(table + (1u << bits), table, (1u << bits) * sizeof(uint32_t));
}

// The literals whose codes are short enough to pair within a main table,
// by code length, for joining in pairs while the table is built.
class LiteralPairs {
 public:
  // From the slots; empty unless the block is worth joining.
  LiteralPairs(const HuffmanLengthSlot* slots, int mainBits, ptrdiff_t inputLeft);

  // Writes every pair of codes that together are length bits long into
  // the first 2^length entries of table, over the entry of the first code.
  void Write(uint32_t* table, int length) const {
    for (int firstLength = m_shortest; firstLength + m_shortest <= length; ++firstLength) {
      const int secondLength = length - firstLength;
      for (int a = m_start[firstLength]; a < m_start[firstLength + 1]; ++a) {
        const uint32_t joined = m_entry[a] + static_cast<uint32_t>(secondLength) + ENTRY_ONE_LITERAL;
        for (int b = m_start[secondLength]; b < m_start[secondLength + 1]; ++b)
          table[m_index[a] | (m_index[b] << firstLength)] = joined | ((m_entry[b] >> 16) << 24);
      }
    }
  }
  // Whether any two codes together are length bits long.
  bool Any(int length) const { return m_shortest > 0 && 2 * m_shortest <= length; }
  // Whether any pair may be written.
  bool Joining() const { return m_shortest > 0; }

 private:
  enum { MAX_LENGTH = DecompressorPolicy_Deflate::MAX_CODE_LENGTH };
  uint32_t m_index[256];  // where the code's entry first appears
  uint32_t m_entry[256];
  int m_start[MAX_LENGTH + 2];  // of each length's codes, and their end
  int m_shortest;               // 0 when nothing is joined
};

// Fills a main table of 2^mainBits entries, followed by its subtables, with
// the canonical codes of the first longest slots. Codes whose value does
// not fit their length (an over-subscribed set) can never be read and get no
// entry; codes of an incomplete set that are left over stay 0.
// The main table grows with the code lengths: a code of length L is written
// once, into the first 2^L entries, and the table doubles by copying before
// each longer length, which repeats every entry wherever its bits recur. A
// complete set covers every entry; only an incomplete one has its first
// entries cleared, and the copies carry the zeros on.
// Pairs, where given, are written at the length of the two codes together
// and repeated by the doubling like any code of that length.
template <uint32_t (*entryOf)(int)>
void BuildLookup(uint32_t* table, int mainBits, const HuffmanLengthSlot* slots,
                 int longest = DecompressorPolicy_Deflate::MAX_CODE_LENGTH, const LiteralPairs* pairs = nullptr) {
  const uint32_t mainSize = 1u << mainBits;
  const int longestInMain = longest < mainBits ? longest : mainBits;

  // How many codes of each length can be read: the codes of a slot count up
  // from its first, and those past its length's last value cannot.
  int readable[DecompressorPolicy_Deflate::MAX_CODE_LENGTH + 1] = {};
  int shortest = 0;
  uint32_t kraftSum = 0;  // in units of 2^-15; 2^15 for a complete set
  for (int length = 1; length <= longest; ++length) {
    const HuffmanLengthSlot& slot = slots[length - 1];
    const uint32_t first = static_cast<uint32_t>(slot.m_firstCode);
    const uint32_t room = first < (1u << length) ? (1u << length) - first : 0;
    const uint32_t count = slot.m_count > 0 ? static_cast<uint32_t>(slot.m_count) : 0;
    readable[length] = static_cast<int>(count < room ? count : room);
    kraftSum += static_cast<uint32_t>(readable[length])
                << (DecompressorPolicy_Deflate::MAX_CODE_LENGTH - length);
    if (shortest == 0 && readable[length] > 0) shortest = length;
  }
  const bool complete = kraftSum == 1u << DecompressorPolicy_Deflate::MAX_CODE_LENGTH;

  // The main table's codes, straight from the slots.
  int filledBits = shortest > 0 && shortest < mainBits ? shortest : mainBits;
  if (!complete) std::memset(table, 0, (1u << filledBits) * sizeof(uint32_t));
  const int pairsUpTo = pairs ? mainBits : 0;
  for (int length = 1; length <= longestInMain || length <= pairsUpTo; ++length) {
    const bool joining = length <= pairsUpTo && pairs->Any(length);
    const int codes = length <= longestInMain ? readable[length] : 0;
    if (codes == 0 && !joining) continue;
    for (; filledBits < length; ++filledBits) DoubleTable(table, filledBits);
    const HuffmanLengthSlot& slot = slots[length - 1];
    const uint32_t first = static_cast<uint32_t>(slot.m_firstCode);
    for (int i = 0; i < codes; ++i)
      table[ReverseBits(first + static_cast<uint32_t>(i), length)] =
          CodeEntry<entryOf>(slot.m_symbols[i], length);
    // A pair lies where its first, shorter code's entries are, never where
    // a code of this length has one.
    if (joining) pairs->Write(table, length);
  }
  for (; filledBits < mainBits; ++filledBits) DoubleTable(table, filledBits);

  // The longer codes in canonical order: left-aligned they increase, so the
  // codes sharing a main-table prefix are neighbours.
  struct Code {
    uint32_t code;
    int length;
    int symbol;
  } codes[288];
  int codeCount = 0;
  for (int length = longestInMain + 1; length <= longest; ++length) {
    const HuffmanLengthSlot& slot = slots[length - 1];
    for (int i = 0; i < readable[length] && codeCount < 288; ++i)
      codes[codeCount++] =
          Code{static_cast<uint32_t>(slot.m_firstCode) + static_cast<uint32_t>(i), length, slot.m_symbols[i]};
  }

  uint32_t nextSubtable = mainSize;
  uint32_t subtable = 0;
  int subtableBits = 0;
  uint32_t currentPrefix = ~0u;
  for (int i = 0; i < codeCount; ++i) {
    const Code& c = codes[i];
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
    uint32_t entry = CodeEntry<entryOf>(c.symbol, c.length);
    uint32_t tail = c.code & ((1u << tailBits) - 1);
    uint32_t step = 1u << tailBits;
    for (uint32_t j = ReverseBits(tail, tailBits); j < (1u << subtableBits); j += step)
      table[subtable + j] = entry;
  }
}

// The compressed bytes that must remain for a block's literals to be
// joined: below, the pairs are read too seldom to repay their writing.
const ptrdiff_t PAIRING_INPUT_BYTES = 256;

// Literals are joined where a literal is short enough to pair with another,
// literals take nearly all of the code (seven eighths of it), as in noisy
// image data with few matches, and enough input is left. Elsewhere the
// pairs do not repay their building. The slots hold each length's symbols
// in increasing order, so its literals come first.
LiteralPairs::LiteralPairs(const HuffmanLengthSlot* slots, int mainBits, ptrdiff_t inputLeft) : m_shortest(0) {
  int literals[MAX_LENGTH + 1] = {};
  int shortest = 0;
  uint32_t share = 0;  // in units of 2^-15
  for (int length = 1; length <= MAX_LENGTH; ++length) {
    const HuffmanLengthSlot& slot = slots[length - 1];
    int count = slot.m_count > 0 ? slot.m_count : 0;
    while (count > 0 && slot.m_symbols[count - 1] >= 256) --count;
    literals[length] = count;
    share += static_cast<uint32_t>(count) << (MAX_LENGTH - length);
    if (shortest == 0 && count > 0) shortest = length;
  }
  if (shortest == 0 || 2 * shortest > mainBits || share < 7u << (MAX_LENGTH - 3) ||
      inputLeft < PAIRING_INPUT_BYTES)
    return;
  // Only codes that fit their length are ever read, and have entries.
  int used = 0;
  m_start[0] = m_start[1] = 0;
  for (int length = 1; length <= MAX_LENGTH; ++length) {
    const HuffmanLengthSlot& slot = slots[length - 1];
    for (int i = 0; length + shortest <= mainBits && i < literals[length]; ++i) {
      const uint32_t code = static_cast<uint32_t>(slot.m_firstCode) + static_cast<uint32_t>(i);
      if (code >= 1u << length) break;
      m_index[used] = ReverseBits(code, length);
      m_entry[used++] = CodeEntry<LiteralEntry>(slot.m_symbols[i], length);
    }
    m_start[length + 1] = used;
  }
  m_shortest = shortest;
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
  workspace.m_literalPairs = false;

  std::memset(slots, 0, sizeof(slots));
  slots[4] = HuffmanLengthSlot{32, 0, 31, symbols + used};
  for (int s = 0; s < 32; ++s) symbols[used++] = s;
  BuildLookup<DistanceEntry>(workspace.m_distance, DISTANCE_BITS, slots);
}

}  // namespace

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
  enum { LONGEST_CODE_LENGTH_CODE = 7 };
  HuffmanLengthSlot slots[LONGEST_CODE_LENGTH_CODE];
  int symbols[19];
  int perLength[LONGEST_CODE_LENGTH_CODE + 1] = {};
  for (int s = 0; s < 19; ++s) ++perLength[codeLengthLengths[s]];
  int* next[LONGEST_CODE_LENGTH_CODE + 1];
  int used = 0;
  int code = 0;
  for (int length = 1; length <= LONGEST_CODE_LENGTH_CODE; ++length) {
    HuffmanLengthSlot& slot = slots[length - 1];
    slot.m_count = perLength[length];
    slot.m_firstCode = code;
    slot.m_symbols = next[length] = symbols + used;
    used += slot.m_count;
    code += slot.m_count;
    slot.m_lastCode = code - 1;
    code <<= 1;
  }
  for (int s = 0; s < 19; ++s)
    if (codeLengthLengths[s]) *next[codeLengthLengths[s]]++ = s;
  BuildLookup<CodeLengthEntry>(workspace.m_codeLength, CODE_LENGTH_BITS, slots,
                               LONGEST_CODE_LENGTH_CODE);

  // The literal/length and distance lengths form one sequence.
  // Room for a repeat's last 16 bytes: repeats are written 16 at a time.
  enum { REPEAT_STEP = 16 };
  unsigned char lengths[288 + 32 + REPEAT_STEP];
  const int total = literalCount + distanceCount;
  int count = 0;
  // A code length takes at most 14 bits with its extra bits: a refill holds
  // four of them, and the buffer is refilled only that often.
  enum { LENGTHS_PER_REFILL = 4 };
  while (count < total) {
    reader.Refill();
    for (int k = 0; k < LENGTHS_PER_REFILL && count < total; ++k) {
      uint32_t entry = workspace.m_codeLength[reader.m_bits & (CODE_LENGTH_TABLE_SIZE - 1)];
      if (entry == 0) return false;
      reader.Drop(entry & 0xFF);
      unsigned symbol = entry >> 16;
      if (symbol < 16) {
        lengths[count++] = static_cast<unsigned char>(symbol);
        continue;
      }
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
      // Short repeats are the rule: stores of a fixed size beat a fill of
      // any size.
      unsigned char run[REPEAT_STEP];
      std::memset(run, value, sizeof run);
      for (int at = 0; at < repeat; at += REPEAT_STEP)
        std::memcpy(lengths + count + at, run, sizeof run);
      count += repeat;
    }
    // Lengths read from the padding past the input: the header is cut short.
    if (reader.Overrun()) return false;
  }

  DecompressorPolicy_Deflate::BuildSlots(policy.m_literalSlots, lengths, literalCount);
  DecompressorPolicy_Deflate::BuildSlots(policy.m_distanceSlots, lengths + literalCount,
                                         distanceCount);
  const LiteralPairs pairs(policy.m_literalSlots, LITERAL_BITS, reader.m_end - reader.m_next);
  BuildLookup<LiteralEntry>(workspace.m_literal, LITERAL_BITS, policy.m_literalSlots,
                            DecompressorPolicy_Deflate::MAX_CODE_LENGTH, &pairs);
  workspace.m_literalPairs = pairs.Joining();
  BuildLookup<DistanceEntry>(workspace.m_distance, DISTANCE_BITS, policy.m_distanceSlots);
  return true;
}

}  // namespace inflate

DecompressorPolicy_Deflate::DecompressorPolicy_Deflate() {
  std::memset(m_literalSlots, 0, sizeof(m_literalSlots));
  std::memset(m_distanceSlots, 0, sizeof(m_distanceSlots));
}

DecompressorPolicy_Deflate::~DecompressorPolicy_Deflate() noexcept(false) {
  ReleaseSlots(m_literalSlots);
  ReleaseSlots(m_distanceSlots);
}

void DecompressorPolicy_Deflate::ReleaseSlots(HuffmanLengthSlot* slots) {
  UCurrentPool pool;
  for (int i = 0; i < SLOT_COUNT; ++i) {
    if (slots[i].m_symbols) pool.Free(slots[i].m_symbols, LOCATION_DELETE_ARRAY);
    slots[i] = HuffmanLengthSlot{0, 0, 0, nullptr};
  }
}

void DecompressorPolicy_Deflate::BuildSlots(HuffmanLengthSlot* slots, const unsigned char* lengths,
                                            int count) {
  KOR_GUARD_BEGIN
  assure(count >= 0 && count <= 288);
  // The symbols in four runs of consecutive ones, each counted and placed
  // with counts and places of its own, a step of all four at a time: a
  // symbol then never waits on the one before it, as it would whenever the
  // two have the same length.
  enum { RUNS = 4 };
  const int runLength = (count + RUNS - 1) / RUNS;
  int perLength[RUNS][MAX_CODE_LENGTH + 1] = {};
  unsigned highest = 0;
  for (int i = 0; i < runLength; ++i)
    for (int r = 0; r < RUNS; ++r) {
      const int symbol = r * runLength + i;
      const unsigned length = symbol < count ? lengths[symbol] : 0;
      highest |= length;
      ++perLength[r][length & MAX_CODE_LENGTH];
    }
  assure(highest <= MAX_CODE_LENGTH);

  int* next[RUNS][MAX_CODE_LENGTH + 1];
  UCurrentPool pool;
  int code = 0;
  for (int length = 1; length <= MAX_CODE_LENGTH; ++length) {
    const int total = perLength[0][length] + perLength[1][length] + perLength[2][length] + perLength[3][length];
    HuffmanLengthSlot& slot = slots[length - 1];
    if (slot.m_symbols) pool.Free(slot.m_symbols, LOCATION_DELETE_ARRAY);
    slot.m_symbols = nullptr;
    slot.m_count = 0;
    slot.m_firstCode = code;
    if (total > 0)
      slot.m_symbols =
          static_cast<int*>(pool.Allocate(static_cast<size_t>(total) * sizeof(int), LOCATION_NEW_ARRAY));
    slot.m_count = total;
    int* place = slot.m_symbols;
    for (int r = 0; r < RUNS; ++r) {
      next[r][length] = place;
      if (place) place += perLength[r][length];
    }
    code += total;
    slot.m_lastCode = code - 1;
    code <<= 1;
  }
  // Symbols in increasing order, each to the slot of its length.
  for (int i = 0; i < runLength; ++i)
    for (int r = 0; r < RUNS; ++r) {
      const int symbol = r * runLength + i;
      const unsigned length = symbol < count ? lengths[symbol] : 0;
      if (length) *next[r][length]++ = symbol;
    }
  KOR_GUARD_END
}

}  // namespace kor
