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

// The entry of a code of length bits for symbol; entryOf gives a match's
// extra bits in the low byte.
template <uint32_t (*entryOf)(int)>
uint32_t EntryFor(int symbol, int length) {
  uint32_t entry = entryOf(symbol);
  const uint32_t bits = static_cast<uint32_t>(length);
  if (entry & ENTRY_MATCH) return (entry & ~0xFFFu) | ((entry & 0xFF) + bits) | (bits << 8);
  return entry ? entry | bits : 0;
}

// Fills a main table of 2^mainBits entries, followed by its subtables, with
// the canonical codes of slots (SLOT_COUNT of them). Codes whose value does
// not fit their length (an over-subscribed set) can never be read and get no
// entry; codes of an incomplete set that are left over stay 0.
// The main table grows by doubling: once its first 2^length entries hold
// every code up to length bits, a copy of them beside themselves is the
// same for the next bit, and only the codes of that length are added. Every
// entry is written about once, by whole blocks.
template <uint32_t (*entryOf)(int)>
void BuildLookup(uint32_t* table, int mainBits, const HuffmanLengthSlot* slots) {
  const uint32_t mainSize = 1u << mainBits;

  // The readable codes longer than the main bits, in canonical order:
  // left-aligned they increase, so the codes sharing a main-table prefix
  // are neighbours.
  struct Code {
    uint32_t code;
    int length;
    int symbol;
  } longCodes[288];
  int longCount = 0;
  uint32_t kraftSum = 0;  // in units of 2^-15; 2^15 for a complete set
  uint32_t filled = 1;
  table[0] = 0;
  for (int length = 1; length <= DecompressorPolicy_Deflate::MAX_CODE_LENGTH; ++length) {
    const HuffmanLengthSlot& slot = slots[length - 1];
    const uint32_t first = static_cast<uint32_t>(slot.m_firstCode);
    int count = 0;
    if (slot.m_count > 0 && first < (1u << length))
      count = static_cast<int>(slot.m_count < int((1u << length) - first) ? uint32_t(slot.m_count)
                                                                          : (1u << length) - first);
    kraftSum += static_cast<uint32_t>(count)
                << (DecompressorPolicy_Deflate::MAX_CODE_LENGTH - length);
    if (length <= mainBits) {
      std::memcpy(table + filled, table, filled * sizeof(uint32_t));
      filled *= 2;
      for (int i = 0; i < count; ++i)
        table[ReverseBits(first + static_cast<uint32_t>(i), length)] =
            EntryFor<entryOf>(slot.m_symbols[i], length);
      continue;
    }
    for (int i = 0; i < count && longCount < 288; ++i)
      longCodes[longCount++] = Code{first + static_cast<uint32_t>(i), length, slot.m_symbols[i]};
  }
  const bool complete = kraftSum == 1u << DecompressorPolicy_Deflate::MAX_CODE_LENGTH;

  uint32_t nextSubtable = mainSize;
  uint32_t subtable = 0;
  int subtableBits = 0;
  uint32_t currentPrefix = ~0u;
  for (int i = 0; i < longCount; ++i) {
    const Code& c = longCodes[i];
    int tailBits = c.length - mainBits;
    uint32_t prefix = c.code >> tailBits;
    if (prefix != currentPrefix) {
      // The last code of this prefix is its longest.
      int last = i;
      while (last + 1 < longCount &&
             (longCodes[last + 1].code >> (longCodes[last + 1].length - mainBits)) == prefix)
        ++last;
      currentPrefix = prefix;
      subtableBits = longCodes[last].length - mainBits;
      subtable = nextSubtable;
      nextSubtable += 1u << subtableBits;
      if (!complete) std::memset(table + subtable, 0, (1u << subtableBits) * sizeof(uint32_t));
      table[ReverseBits(prefix, mainBits)] = ENTRY_SUBTABLE |
                                             (static_cast<uint32_t>(subtableBits) << 8) |
                                             (subtable << 16) | static_cast<uint32_t>(mainBits);
    }
    uint32_t entry = EntryFor<entryOf>(c.symbol, c.length);
    uint32_t tail = c.code & ((1u << tailBits) - 1);
    uint32_t step = 1u << tailBits;
    for (uint32_t j = ReverseBits(tail, tailBits); j < (1u << subtableBits); j += step)
      table[subtable + j] = entry;
  }
}

// Joins each main-table literal with the literal that its bits go on to,
// where both codes fit the main table's bits: literal-heavy data then takes
// two bytes a look-up. Downwards, so that the entry for the remaining bits (a
// smaller index) is still a single literal; without branches, which the
// entries would mispredict.
void PairLiterals(uint32_t* table, int mainBits) {
  for (uint32_t i = 1u << mainBits; i-- > 0;) {
    uint32_t first = table[i];
    uint32_t firstLength = first & 15;
    uint32_t second = table[i >> firstLength];
    uint32_t pair = (first + (second & 0xFF) + ENTRY_ONE_LITERAL) | ((second >> 16) << 24);
    bool fits = (first & second & ENTRY_LITERAL) &&
                firstLength + (second & 0xFF) <= static_cast<uint32_t>(mainBits);
    table[i] = fits ? pair : first;
  }
}

// Whether a block's literal/length code is worth joining literals in pairs:
// a literal short enough to pair with another, and literals that take
// nearly all of the code (seven eighths of it), as in noisy image data with
// few matches. Elsewhere the pairs do not repay their building.
bool WorthPairing(const unsigned char* lengths, int mainBits) {
  const int maxLength = DecompressorPolicy_Deflate::MAX_CODE_LENGTH;
  int shortest = maxLength + 1;
  uint32_t share = 0;  // in units of 2^-15
  for (int s = 0; s < 256; ++s)
    if (lengths[s]) {
      if (lengths[s] < shortest) shortest = lengths[s];
      share += 1u << (maxLength - lengths[s]);
    }
  return 2 * shortest <= mainBits && share >= 7u << (maxLength - 3);
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
  if (WorthPairing(lengths, LITERAL_BITS)) PairLiterals(workspace.m_literal, LITERAL_BITS);
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

}  // namespace kor
