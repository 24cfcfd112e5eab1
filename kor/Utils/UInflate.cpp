// The deflate decoder. The Huffman tables are kept as length slots (the
// decoder's documented state) and turned into lookup tables for decoding:
// a 64-bit bit buffer feeds one table look-up per symbol (or per two
// literals, in literal-heavy blocks), and a hot loop that
// runs while at least 8 input bytes are left, and output room for what each
// symbol may write, does without any per-byte bounds check. Near either end a careful path
// decodes one symbol at a time. Every malformed stream ends in false; nothing
// is ever read outside the input or written outside the output.
#include "kor/Utils/UInflateTables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace kor {

namespace {

using namespace inflate;

enum {
  // A match copy of the hot loop writes at most 63 bytes past the match
  // (a run of one byte), or 64 bytes for a shorter match: it needs room for
  // its length and this much more.
  MATCH_OVERSHOOT = 64,
  // The room a round of the hot loop needs before it knows what comes: its
  // up to three literal entries of one or two bytes, each storing two. A
  // match that finds too little room is left to the careful path, so the hot
  // loop runs up to the last few matches of an output of the exact size.
  FAST_OUTPUT_ROOM = 6,
  // Far from the end: a longest match and its overshoot.
  FAR_OUTPUT_ROOM = 258 + MATCH_OVERSHOOT,
  DISTANCE_MASK = (1 << DISTANCE_BITS) - 1,
};

// The largest array UArray can hold.
const int64_t MAX_OUTPUT = 0x7FFFFFC0;

// 8 bytes that do not overlap their copy.
KOR_HOT_INLINE void Copy8(unsigned char* to, const unsigned char* from) {
  unsigned char word[8];
  std::memcpy(word, from, 8);
  std::memcpy(to, word, 8);
}

// 64 bytes of one value, from 16 kept in a register where the processor
// has vectors: the compiler keeps a byte array in memory, and reads it
// again after each store to the output.
#if defined(__SSE2__)
struct ByteRun {
  explicit ByteRun(unsigned char byte) : m_bytes(_mm_set1_epi8(static_cast<char>(byte))) {}
  KOR_HOT_INLINE void Store64(unsigned char* to) const {
    for (int i = 0; i < 64; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), m_bytes);
  }
  __m128i m_bytes;
};
#else
struct ByteRun {
  explicit ByteRun(unsigned char byte) { std::memset(m_bytes, byte, 16); }
  KOR_HOT_INLINE void Store64(unsigned char* to) const {
    for (int i = 0; i < 64; i += 16) std::memcpy(to + i, m_bytes, 16);
  }
  unsigned char m_bytes[16];
};
#endif

// A literal entry's bytes: both of a pair, and one more for a single
// literal, which the next symbol overwrites. One store of two bytes: the
// store buffer then holds half as many entries for a match's loads to wait on.
KOR_HOT_INLINE void StoreLiterals(unsigned char* out, uint32_t entry) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  out[0] = static_cast<unsigned char>(entry >> 16);
  out[1] = static_cast<unsigned char>(entry >> 24);
#else
  const uint16_t bytes = static_cast<uint16_t>(entry >> 16);
  std::memcpy(out, &bytes, 2);
#endif
}

// Stores a literal entry's bytes and returns the output after them. Where
// the table holds no pairs, an entry is one byte: its count need not be
// read from it, which saves two steps a literal in the hot loop.
template <bool PAIRS>
KOR_HOT_INLINE unsigned char* PutLiterals(unsigned char* out, uint32_t entry) {
  if (!PAIRS) {
    *out = static_cast<unsigned char>(entry >> 16);
    return out + 1;
  }
  StoreLiterals(out, entry);
  return out + ((entry >> 8) & 15);
}

// Has the value computed where this stands, not moved into the branch
// that uses it.
template <typename T>
KOR_HOT_INLINE void KeepHere(T& value) {
#if defined(__GNUC__) || defined(__clang__)
  asm volatile("" : "+r"(value));
#else
  (void)value;
#endif
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

// Decodes one symbol, checking every read and write: BLOCK_GOING_ON when
// the block goes on.
KOR_HOT_INLINE BlockEnd DecodeOneSymbol(BitReader& reader, const Workspace& workspace,
                                        UArray<unsigned char>& output, int& length, int64_t limit) {
  reader.Refill();
  uint32_t entry = LookUp(workspace.m_literal, LITERAL_BITS, reader.m_bits);
  if (entry & ENTRY_LITERAL) {
    reader.Drop(entry & 0xFF);
    if (reader.Overrun()) return BLOCK_BROKEN;
    const int bytes = (entry >> 8) & 15;
    for (int i = 0; i < bytes; ++i) {
      if (!ReserveByteByByte(output, length, int64_t(length) + 1, limit)) return BLOCK_FULL;
      output.m_array[length++] = static_cast<unsigned char>(entry >> (16 + 8 * i));
    }
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

// How the hot loop takes a match entry's value: its base plus the extra
// bits after the code, with BMI2 by a single bzhi for the bits the entry
// consumes. That one is assembly: the loop is inlined through functions
// without the BMI2 target, where the compiler has already turned the mask
// into four plain steps. A match entry's kind bits lie above the six bits
// of a shift count, so the code length needs no mask of its own.
static_assert((ENTRY_MATCH >> 8) % 64 == 0, "a match entry's kind lies outside its shift count");
KOR_HOT_INLINE unsigned CodeLengthShift(uint32_t entry) { return (entry >> 8) & 63; }

// A run of one byte from out to end, and up to 63 bytes past it.
KOR_HOT_INLINE void FillRun(unsigned char* out, unsigned char byte, const unsigned char* end) {
  const ByteRun run(byte);
  do {
    run.Store64(out);
    out += 64;
  } while (out < end);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// A run of one byte from out to end, and up to 63 bytes past it, in stores
// of 32. Apart from the loop and built for AVX2 alone: 32-byte values in
// the loop itself cost it a register (see DecodeHuffmanBlockBmi2), and a
// call for each run longer than 64 bytes costs less than 16-byte stores.
__attribute__((target("avx2"), noinline)) void FillLongRun(unsigned char* out, unsigned char byte,
                                                           const unsigned char* end) {
  const __m256i bytes = _mm256_set1_epi8(static_cast<char>(byte));
  do {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), bytes);
    out += 64;
  } while (out < end);
}
#else
void FillLongRun(unsigned char* out, unsigned char byte, const unsigned char* end) { FillRun(out, byte, end); }
#endif

struct PlainBits {
  static const bool LONG_RUNS_APART = false;
  KOR_HOT_INLINE static size_t Match(uint32_t entry, uint64_t bits) {
    uint64_t consumed = bits & ((uint64_t(1) << (entry & 0xFF)) - 1);
    return (entry >> 16) + static_cast<size_t>(consumed >> CodeLengthShift(entry));
  }
};
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(KOR_INFLATE_PORTABLE)
struct Bmi2Bits {
  static const bool LONG_RUNS_APART = true;
  KOR_HOT_INLINE static size_t Match(uint32_t entry, uint64_t bits) {
    uint64_t consumed;
    asm("bzhi %q2, %1, %0" : "=r"(consumed) : "r"(bits), "r"(entry));
    return (entry >> 16) + static_cast<size_t>(consumed >> CodeLengthShift(entry));
  }
};
#else
typedef PlainBits Bmi2Bits;
#endif

// The hot loop: decodes symbols while at least 8 input bytes are left and
// the output has room, and returns BLOCK_GOING_ON when it stops for room.
// Far from the end (NEAR_END false) it runs while a longest match fits and
// checks nothing per symbol; near it, it runs while three literal entries fit and
// leaves a match that does not fit to the careful path, so that an output of
// the exact size is decoded here up to its last few matches. length is the
// output produced so far, before and after. The output's capacity never
// exceeds the limit, so the loop cannot pass it. PAIRS false is only for
// tables without pairs of literals.
template <bool NEAR_END, bool PAIRS, typename Ops>
KOR_HOT_INLINE BlockEnd DecodeFast(BitReader& reader, const Workspace& workspace,
                                   UArray<unsigned char>& output, int& length) {
  // Both tables are reached from the workspace, one register for the two.
  const uint32_t* const literalTable = workspace.m_literal;
  const uint32_t* const distanceTable = literalTable + (workspace.m_distance - workspace.m_literal);
  const unsigned char* next = reader.m_next;
  const unsigned char* const end = reader.m_end;
  uint64_t bits = reader.m_bits;
  unsigned count = reader.m_count;
  unsigned char* const base = output.m_array;
  unsigned char* out = base + length;
  unsigned char* const outEnd = base + output.m_arrayMax;
  bool failed = false;
  bool done = false;
  // Its count takes whole entries off: only the low six bits, which stay
  // right because entries consume at most 28 bits, hold the number of bits.
  const int64_t room = NEAR_END ? FAST_OUTPUT_ROOM : FAR_OUTPUT_ROOM;
  const bool fast = end - next >= 8 && outEnd - out >= room;
  const unsigned char* const inFastEnd = fast ? end - 7 : next;
  unsigned char* const outFastEnd = fast ? outEnd - (room - 1) : out;
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
  // The distance entry that follows the entry if it is a length, looked up
  // before its kind is known: a match where a literal was foreseen finds it
  // loaded. After literals it is looked up before the refill and does not
  // wait for it: the first literal (15 bits at most, from a subtable), two
  // more of the main table (11) and a length (16) leave 11 of the 64 bits
  // for the 8 of the look-up.
  uint32_t distanceEntry = distanceTable[(bits >> (entry & 63)) & DISTANCE_MASK];
  // Two tests, each a branch of its own: the compiler joins the two of a
  // single condition into one branch on flags it must first combine.
  for (;;) {
    if (next >= inFastEnd) break;
    if (out >= outFastEnd) break;
    // Not to be moved into the match path, where it would wait again.
    KeepHere(distanceEntry);
    const uint64_t rest = bits >> (entry & 63);
    if (entry & ENTRY_LITERAL) {
      // 56 bits cover three literals of up to 15 bits each.
      bits = rest;
      count -= entry;
      out = PutLiterals<PAIRS>(out, entry);
      entry = literalTable[bits & LITERAL_MASK];
      if (entry & ENTRY_LITERAL) {
        bits >>= entry & 63;
        count -= entry;
        out = PutLiterals<PAIRS>(out, entry);
        entry = literalTable[bits & LITERAL_MASK];
        if (entry & ENTRY_LITERAL) {
          bits >>= entry & 63;
          count -= entry;
          out = PutLiterals<PAIRS>(out, entry);
          entry = literalTable[bits & LITERAL_MASK];
        }
      }
      distanceEntry = distanceTable[(bits >> (entry & 63)) & DISTANCE_MASK];
      bits |= Load64(next) << (count & 63);
      next += 7 - ((count >> 3) & 7);
      count |= 56;
      continue;
    }
    // The rare kinds (subtable links, the end of the block, codes
    // without symbol) are told apart off the path of a match.
    if (!(entry & ENTRY_MATCH)) {
      if (entry & ENTRY_SUBTABLE) {
        entry = SubtableEntry(literalTable, LITERAL_BITS, entry, bits);
        distanceEntry = distanceTable[(bits >> (entry & 63)) & DISTANCE_MASK];
        if (entry & (ENTRY_LITERAL | ENTRY_MATCH)) continue;
      }
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
    // code and extra bits at most 28: 48 of the 56. Both values are kept
    // pointer-wide, so that they address the output without widening.
    const size_t matchLength = Ops::Match(entry, bits);
    // Nothing of the match is taken yet: the careful path starts at it.
    if (NEAR_END && static_cast<size_t>(outEnd - out) < matchLength + MATCH_OVERSHOOT) break;
    bits = rest;
    count -= entry;
    entry = distanceEntry;
    if (!(entry & ENTRY_MATCH)) {
      if (entry & ENTRY_SUBTABLE) entry = SubtableEntry(distanceTable, DISTANCE_BITS, entry, bits);
      if (!(entry & ENTRY_MATCH)) {
        failed = true;
        break;
      }
    }
    const size_t distance = Ops::Match(entry, bits);
    bits >>= entry & 63;
    count -= entry;
    // The next round's look-up and refill do not depend on the copy.
    entry = literalTable[bits & LITERAL_MASK];
    bits |= Load64(next) << (count & 63);
    next += 7 - ((count >> 3) & 7);
    count |= 56;
    // A match may leave too few bits for it before the refill.
    distanceEntry = distanceTable[(bits >> (entry & 63)) & DISTANCE_MASK];
    if (distance > static_cast<size_t>(out - base)) {
      failed = true;
      break;
    }
    const unsigned char* from = out - distance;
    unsigned char* const matchEnd = out + matchLength;
    // Most matches are short: their first 40 bytes are copied without a
    // loop whose end would be mispredicted. Words of 8 bytes rather than
    // blocks of 16: they serve distances from 8 on alike, and measured
    // faster on text and pixels both.
    if (distance >= 8) {
      // Each word reads bytes that are at least 8 behind it: written
      // before it, by an earlier word or an earlier symbol.
      for (int i = 0; i < 40; i += 8) Copy8(out + i, from + i);
      if (matchLength > 40) {
        out += 40;
        from += 40;
        do {
          for (int i = 0; i < 32; i += 8) Copy8(out + i, from + i);
          out += 32;
          from += 32;
        } while (out < matchEnd);
      }
    } else if (distance == 1) {
      // Runs are long: 64 bytes a round keep the rounds few.
      if (Ops::LONG_RUNS_APART && matchLength > 64) FillLongRun(out, *from, matchEnd);
      else FillRun(out, *from, matchEnd);
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
  return BLOCK_GOING_ON;
}

// Decodes symbols up to the end of the block, or until the output reaches
// limit with more to come. length is the output produced so far, before
// and after.
template <typename Ops>
KOR_HOT_INLINE BlockEnd DecodeBlockSymbols(BitReader& reader, const Workspace& workspace,
                                           UArray<unsigned char>& output, int& length, int64_t limit) {
  for (;;) {
    // Near the end, where few symbols are left, one loop serves tables with
    // pairs and without.
    BlockEnd end = workspace.m_literalPairs ? DecodeFast<false, true, Ops>(reader, workspace, output, length)
                                            : DecodeFast<false, false, Ops>(reader, workspace, output, length);
    if (end == BLOCK_GOING_ON) end = DecodeFast<true, true, Ops>(reader, workspace, output, length);
    if (end != BLOCK_GOING_ON) return end;

    // One symbol at a time, carefully, until the hot loop can take over.
    // The state is in locals, which the output's bytes cannot alias.
    BitReader careful = reader;
    int carefulLength = length;
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
  return DecodeBlockSymbols<PlainBits>(reader, workspace, output, length, limit);
}

// KOR_INFLATE_PORTABLE leaves the processor-specific loop out, so that a
// test can run the portable one, which other compilers build, on any
// processor.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(KOR_INFLATE_PORTABLE)
// The same loop with BMI2's shifts that take their count from any register,
// for processors that also have AVX2, which fills the long runs. The loop
// itself is not built for AVX2: its 32-byte values made the compiler align
// the stack of the whole loop and give up a register for the frame, in a
// loop that already spills, and it ran 3 to 4% slower on text.
__attribute__((target("bmi2"))) BlockEnd DecodeHuffmanBlockBmi2(BitReader& reader, const Workspace& workspace,
                                                         UArray<unsigned char>& output, int& length,
                                                         int64_t limit) {
  return DecodeBlockSymbols<Bmi2Bits>(reader, workspace, output, length, limit);
}

bool HasBmi2AndAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("avx2");
}

BlockEnd DecodeHuffmanBlock(BitReader& reader, const Workspace& workspace,
                            UArray<unsigned char>& output, int& length, int64_t limit) {
  static const bool bmi2 = HasBmi2AndAvx2();
  return bmi2 ? DecodeHuffmanBlockBmi2(reader, workspace, output, length, limit)
              : DecodeHuffmanBlockPlain(reader, workspace, output, length, limit);
}
#else
BlockEnd DecodeHuffmanBlock(BitReader& reader, const Workspace& workspace,
                            UArray<unsigned char>& output, int& length, int64_t limit) {
  return DecodeHuffmanBlockPlain(reader, workspace, output, length, limit);
}
#endif

// Decodes the blocks of input into output, whose length is 0 and whose
// capacity is at most limit.
InflateResult DecodeStream(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                           UArray<unsigned char>& output, int64_t limit) {
  const int inputLength = input.GetNum();
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
}

// The most output a deflate stream of inputLength bytes can produce: a
// length-258 match coded in two bits, 1032 bytes per input byte, and the
// longest match once more for the bits a stream may end with.
int64_t LargestOutput(int inputLength) { return 1032 * static_cast<int64_t>(inputLength) + 258; }

// The output's first capacity: three times the input, but never beyond the limit.
int64_t FirstCapacity(int inputLength, int64_t limit) {
  int64_t capacity = 3 * static_cast<int64_t>(inputLength);
  return capacity < limit ? capacity : limit;
}

int64_t ClampLimit(int outputLimit) {
  return outputLimit < 0 ? 0 : outputLimit < MAX_OUTPUT ? outputLimit : MAX_OUTPUT;
}

}  // namespace

InflateResult DecompressAtMost(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                               UArray<unsigned char>& output, int outputLimit) {
  KOR_GUARD_BEGIN
  const int64_t limit = ClampLimit(outputLimit);
  // A limit the stream can reach is usually the exact size the caller
  // expects: all of it at once, so that filling it never copies. One the
  // stream cannot reach (a lying record, no limit at all) would only waste
  // memory, and the output grows from three times the input instead.
  const int64_t capacity = limit <= LargestOutput(input.GetNum()) ? limit : FirstCapacity(input.GetNum(), limit);
  if (output.m_arrayMax >= capacity && output.m_arrayMax <= limit)
    output.m_arrayNum = 0;  // bytes need no destruction; the storage is kept
  else
    output.EmptyExact(static_cast<int>(capacity));
  return DecodeStream(input, policy, output, limit);
  KOR_GUARD_END
}

bool Decompress(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                UArray<unsigned char>& output) {
  KOR_GUARD_BEGIN
  output.EmptyExact(static_cast<int>(FirstCapacity(input.GetNum(), MAX_OUTPUT)));
  return DecodeStream(input, policy, output, MAX_OUTPUT) == INFLATE_COMPLETE;
  KOR_GUARD_END
}

}  // namespace kor
