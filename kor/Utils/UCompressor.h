// Deflate (RFC 1951) decoding and encoding, and the two checksums that
// travel with deflate data: CRC-32 guards PNG-family chunks and model blocks,
// Adler-32 ends a zlib stream.
#pragma once

#include "kor/Utils/UArray.h"

namespace kor {

// ---------------------------------------------------------------------------
// Checksums

// CRC-32 remainders of the single bytes 0 to 255 under the reflected
// polynomial 0xEDB88320. Process-wide and filled once: code that folds a few
// bytes itself tests the ready flag (0 until filled, then 1), calls
// BuildCrc32Table when it is 0, starts from 0xFFFFFFFF, applies
//   c = g_crc32Table[(c ^ byte) & 0xFF] ^ (c >> 8)
// per byte and inverts at the end.
extern unsigned int g_crc32Table[256];
extern unsigned char g_crc32TableReady;

// Fills g_crc32Table and sets g_crc32TableReady to 1; calling it again
// writes the same values.
void BuildCrc32Table();

// The CRC-32 of the bytes behind crc (0 before the first byte) followed by
// these length bytes. Builds the table first when it is not ready.
unsigned int UpdateCrc32(unsigned int crc, const unsigned char* data, unsigned int length);

// The Adler-32 of exactly this byte range, always from the initial state
// (1 for an empty range).
unsigned int ComputeAdler32(const unsigned char* data, unsigned int length);

// ---------------------------------------------------------------------------
// Tables shared by the deflate decoder and encoder

// Rows of {number of extra bits, first value, last value}.
enum { DEFLATE_EXTRA_BITS = 0, DEFLATE_FIRST = 1, DEFLATE_LAST = 2 };

// Lengths of the literal/length symbols 257 to 285 (row = symbol - 257).
extern const unsigned int g_deflateLengthTable[29][3];
// Distances of the distance codes 0 to 29.
extern const unsigned int g_deflateDistanceTable[30][3];
// The order in which a dynamic block header lists the code-length code lengths.
extern const unsigned char g_deflateCodeLengthOrder[19];

// ---------------------------------------------------------------------------
// Deflate decoder

// The canonical codes of one code length in one alphabet: symbols has count
// entries in increasing symbol order, coded first code to last code; it comes
// from the pool as "global operator new[]" and is null when count is 0.
struct HuffmanLengthSlot {
  int m_count;
  int m_firstCode;
  int m_lastCode;
  int* m_symbols;
};

// The Huffman tables of one decompression. Create one (all slots empty) for
// a Decompress call and destroy it afterwards; each dynamic block rebuilds
// both tables in place, so one object serves any number of blocks.
class DecompressorPolicy_Deflate {
 public:
  // Slot i describes the codes of length i + 1; the sixteenth stays empty.
  enum { SLOT_COUNT = 16, MAX_CODE_LENGTH = 15 };

  DecompressorPolicy_Deflate();
  virtual ~DecompressorPolicy_Deflate() noexcept(false);

  // Rebuilds slots (a table of SLOT_COUNT) from the code lengths of symbols
  // 0 to count - 1 (0 = no code), releasing each slot's previous symbols.
  static void BuildSlots(HuffmanLengthSlot* slots, const unsigned char* lengths, int count);
  // Releases every symbols array of slots and zeroes them.
  static void ReleaseSlots(HuffmanLengthSlot* slots);

  // Kept open: the tables are the decoder's documented state.
  HuffmanLengthSlot m_literalSlots[SLOT_COUNT];
  HuffmanLengthSlot m_distanceSlots[SLOT_COUNT];

 private:
  DecompressorPolicy_Deflate(const DecompressorPolicy_Deflate&);
  DecompressorPolicy_Deflate& operator=(const DecompressorPolicy_Deflate&);
};

// Decodes the raw deflate stream in input (its first block header at byte 0)
// into output, which is emptied first and given room for three times the
// input's length; when that is not enough the capacity doubles. Returns true once a block with the final-block bit has been
// decoded completely. Returns false, keeping the bytes produced so far, for
// block type 3 and for any malformed stream: input that ends before the final
// block does, codes that match no symbol, symbols 286 and 287, distance codes
// 30 and 31, distances reaching before the start of the output, broken code
// length sequences, stored lengths that run past the input, and output that
// would exceed the largest array.
bool Decompress(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                UArray<unsigned char>& output);

// How DecompressAtMost ended.
enum InflateResult {
  INFLATE_COMPLETE,  // the final block was decoded completely
  INFLATE_BROKEN,    // as Decompress returning false
  INFLATE_FULL       // the output holds outputLimit bytes and the stream has more
};

// Decompress for callers that know how many bytes they need: the output
// never grows beyond outputLimit bytes, nor its capacity. A limit the input
// could reach (at most 1032 bytes per input byte, plus 258) is taken as the
// size to expect and reserved at once, so a stream that fills it is never
// copied; a larger one (a lying record) starts the capacity at the smaller
// of three times the input and the limit, doubling from there. Storage the
// output already has is kept when it holds that first capacity and is not
// beyond the limit. A stream that has more stops being read once the output
// is full, so a small stream that expands without end costs no more than
// the limit.
InflateResult DecompressAtMost(const UArray<unsigned char>& input, DecompressorPolicy_Deflate& policy,
                               UArray<unsigned char>& output, int outputLimit);

// ---------------------------------------------------------------------------
// Deflate encoder

// One code of a Huffman code table; a length of 0 means the symbol has no code.
struct HuffmanCode {
  unsigned int m_length;
  unsigned int m_code;  // canonical, most significant bit first
};

// A record of Huffman tree construction: a leaf (symbol 0 to 287), an inner
// node (288) or the root (289). Once the depths are known a leaf's weight
// holds its depth.
struct HuffmanTreeNode {
  int m_symbol;
  int m_weight;
  HuffmanTreeNode* m_left;
  HuffmanTreeNode* m_right;
};

// The encoder's building blocks. Compress below strings them together: the
// input is cut into chunks of a mebibyte, each parsed on its own by a greedy
// LZ77 with 15-bit hash chains and written as one dynamic-Huffman block, or
// as stored blocks when that block would not fit the chunk's budget.
class CompressorPolicy_Deflate {
 public:
  enum {
    CHUNK_SIZE = 0x100000,
    STORED_PIECE_SIZE = 65535,
    // Entries of a symbol list: 0 to 255 literals, END_OF_BLOCK, and
    // MATCH_BASE + length (3 to 258) followed by one entry with the distance.
    END_OF_BLOCK = 256,
    MATCH_BASE = 257,
    SYMBOL_NODE = 288,
    SYMBOL_ROOT = 289,
    LITERAL_CODES = 288,
    DISTANCE_CODES = 32,
    CODE_LENGTH_CODES = 19,
    MAX_CODE_LENGTH = 15,
    MAX_CODE_LENGTH_CODE_LENGTH = 7
  };

  // Parses length bytes into symbols, which needs room for length + 1
  // entries, and returns the number of entries written: 0 for fewer than 4
  // bytes, otherwise a list that ends with END_OF_BLOCK.
  static int ParseChunk(const unsigned char* data, int length, int* symbols);

  // Gives the count records (sorted by weight, then symbol, descending) code
  // lengths of at most limit bits and canonical codes in table, which is
  // indexed by symbol; entries of other symbols are left as they are. When
  // the tree is too deep the records' weights are flattened in place.
  static void BuildHuffmanLengths(HuffmanTreeNode* records, int count, int limit,
                                  HuffmanCode* table);

  // A symbol of the code-length alphabet; for the repeats 16, 17 and 18
  // extra is the repeat count less 3, 3 and 11.
  struct CodeLengthSymbol {
    unsigned char m_symbol;
    unsigned char m_extra;
  };

  // The code-length symbols for the count code lengths of a dynamic block,
  // of which the first literalCount are those of the literal/length codes;
  // symbols needs room for count entries. Returns the number written.
  static int CollectCodeLengthSymbols(const unsigned char* lengths, int count, int literalCount,
                                      CodeLengthSymbol* symbols);

  // Sorts by (weight, symbol) descending: insertion passes over gaps 3 and
  // then 1 that move a record only past records of strictly smaller key.
  static void ShellSort(HuffmanTreeNode* records, int count);
};

// Writes input as a raw deflate stream (RFC 1951) into output, which is
// emptied, given room for the longest stream of stored blocks and holds
// exactly the stream's bytes afterwards. Returns false, leaving output alone,
// for an empty input, and after a message on channel 7 for an input whose
// stream could exceed the largest array.
bool Compress(const UArray<unsigned char>& input, UArray<unsigned char>& output);

}  // namespace kor
