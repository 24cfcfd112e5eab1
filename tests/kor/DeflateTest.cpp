// The deflate encoder: every stream it writes inflates back with zlib and
// with our own decoder; the block layouts of the boundary cases; streams
// worked out by hand, and checksums that pin larger streams bit for bit, so
// that work on speed cannot change what is written.
#include <gtest/gtest.h>

#include "DeflateStreams.h"
#include "TestServices.h"

namespace {

typedef kor::CompressorPolicy_Deflate Policy;
typedef Policy::CodeLengthSymbol CodeLengthSymbol;
using kor::HuffmanTreeNode;

const size_t MIB = 1 << 20;

Bytes Compressed(const Bytes& input) {
  kor::UArray<unsigned char> in = ToArray(input);
  kor::UArray<unsigned char> out;
  EXPECT_TRUE(kor::Compress(in, out));
  size_t n = input.size();
  EXPECT_EQ(static_cast<int>(n + 5 * (n / 32768) + 5), out.GetMax()) << n << " bytes";
  return ToBytes(out);
}

void ExpectRoundTrip(const Bytes& input, const std::string& what) {
  Bytes stream = Compressed(input);
  Bytes viaZlib;
  EXPECT_TRUE(ZlibInflate(stream, -15, viaZlib) && viaZlib == input) << what << ", zlib";
  Inflated ours = Inflate(stream);
  EXPECT_TRUE(ours.ok && ours.output == input) << what << ", ours";
}

// Words of a fixed vocabulary in an order of mt19937's: text that is the
// same on every machine.
Bytes Text(size_t n, uint32_t seed) {
  static const char* const words[] = {
      "the ", "image ",   "loader ", "reads ",  "chunk ", "of ", "alpha ", "JNG ",    "file ",
      "\r\n", "deflate ", "and ",    "pixels ", "row ",   "{ ",  "} ",     "return ", "false; "};
  std::mt19937 random(seed);
  Bytes text;
  while (text.size() < n) {
    const char* word = words[random() % (sizeof(words) / sizeof(words[0]))];
    text.insert(text.end(), word, word + std::strlen(word));
  }
  text.resize(n);
  return text;
}

// Rows of RGB pixels behind a filter byte: gradients with a little noise
// and flat patches, as in the image data of a PNG file.
Bytes Image(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes pixels;
  for (size_t x = 0; pixels.size() < n; ++x) {
    if (x % 769 == 0) pixels.push_back(static_cast<unsigned char>(random() % 5));
    bool flat = (x / 769 / 16) % 3 == 0;
    for (int c = 0; c < 3; ++c)
      pixels.push_back(static_cast<unsigned char>(flat ? 40 * c : x / 3 + c * 50 + random() % 3));
  }
  pixels.resize(n);
  return pixels;
}

uint32_t Crc(const Bytes& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::vector<int> Parsed(const Bytes& input) {
  std::vector<int> symbols(input.size() + 1);
  symbols.resize(static_cast<size_t>(
      Policy::ParseChunk(input.data(), static_cast<int>(input.size()), symbols.data())));
  return symbols;
}

std::vector<int> CodeLengthSymbols(const std::vector<unsigned char>& lengths, int literalCount) {
  std::vector<CodeLengthSymbol> symbols(lengths.size());
  int n = Policy::CollectCodeLengthSymbols(lengths.data(), static_cast<int>(lengths.size()),
                                           literalCount, symbols.data());
  // Each symbol as symbol * 1000 + extra, to compare in one go.
  std::vector<int> flat;
  for (int i = 0; i < n; ++i) flat.push_back(symbols[i].m_symbol * 1000 + symbols[i].m_extra);
  return flat;
}

}  // namespace

TEST(DeflateEncoder, RefusesEmptyInputWithoutTouchingTheOutput) {
  kor::UArray<unsigned char> in, out(3);
  EXPECT_FALSE(kor::Compress(in, out));
  EXPECT_EQ(3, out.GetNum());
}

TEST(DeflateEncoder, EveryStreamInflatesBackWithZlibAndOurs) {
  for (size_t n = 1; n <= 300; ++n) {
    ExpectRoundTrip(Text(n, 1), "text " + std::to_string(n));
    ExpectRoundTrip(Image(n, 2), "image " + std::to_string(n));
    ExpectRoundTrip(RandomBytes(n, 3), "random " + std::to_string(n));
    ExpectRoundTrip(Bytes(n, 'z'), "equal bytes " + std::to_string(n));
  }
  for (size_t n : {65535ul, 65536ul, 65541ul, 100000ul, MIB - 1, MIB, MIB + 1, MIB + 4}) {
    ExpectRoundTrip(Text(n, 4), "text " + std::to_string(n));
    ExpectRoundTrip(RandomBytes(n, 5), "random " + std::to_string(n));
  }
  ExpectRoundTrip(Text(3 * MIB + 17, 6), "text of several MiB");
  ExpectRoundTrip(Image(4 * MIB + 100, 7), "image of several MiB");
  ExpectRoundTrip(RandomBytes(2 * MIB + MIB / 2, 8), "random data of several MiB");
}

TEST(DeflateEncoder, OneToThreeBytesAreOneFinalStoredBlock) {
  EXPECT_EQ((Bytes{0x01, 0x01, 0x00, 0xFE, 0xFF, 'a'}), Compressed(Bytes{'a'}));
  EXPECT_EQ((Bytes{0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'}), Compressed(Bytes{'a', 'b', 'c'}));
  // Four bytes parse, but the header alone would pass the 4-byte budget.
  EXPECT_EQ((Bytes{0x01, 0x04, 0x00, 0xFB, 0xFF, 'a', 'a', 'a', 'a'}), Compressed(Bytes(4, 'a')));
}

TEST(DeflateEncoder, RunOfEqualBytesIsOneLiteralThenMatchesAtDistanceOne) {
  const int M = Policy::MATCH_BASE;
  // The last match stops short of the last byte, which is a literal again.
  EXPECT_EQ((std::vector<int>{'q', M + 258, 1, M + 258, 1, M + 258, 1, M + 224, 1, 'q', 256}),
            Parsed(Bytes(1000, 'q')));
  EXPECT_TRUE(Parsed(Bytes(3, 'q')).empty());
}

TEST(DeflateEncoder, IncompressibleInputIsStoredIn65535ByteBlocks) {
  Bytes input = RandomBytes(100000, 9);
  Bytes stream = Compressed(input);
  ASSERT_EQ(100000u + 10, stream.size());
  // Only the header's three bits are written; the bits up to the byte
  // boundary keep what the failed dynamic block left there.
  EXPECT_EQ(0, stream[0] & 7);
  EXPECT_EQ((Bytes{0xFF, 0xFF, 0x00, 0x00}), Bytes(stream.begin() + 1, stream.begin() + 5));
  EXPECT_EQ(1, stream[65540] & 7);
  EXPECT_EQ((Bytes{0xA1, 0x86, 0x5E, 0x79}), Bytes(stream.begin() + 65541, stream.begin() + 65545));
  EXPECT_TRUE(Bytes(stream.begin() + 65545, stream.end()) ==
              Bytes(input.begin() + 65535, input.end()));
}

TEST(DeflateEncoder, FirstMebibyteIsANonFinalBlockAndTheRestFollowsAtItsLastBit) {
  Bytes input = Text(MIB + 1, 10);
  Bytes whole = Compressed(input);
  Bytes first = Compressed(Bytes(input.begin(), input.begin() + MIB));
  ASSERT_GT(first.size(), 100u);
  ASSERT_LT(first.size(), MIB / 2);
  // The same block but for its final bit...
  EXPECT_EQ(first[0] & ~1, whole[0]);
  EXPECT_TRUE(Bytes(first.begin() + 1, first.end() - 1) ==
              Bytes(whole.begin() + 1, whole.begin() + first.size() - 1));
  // ...then a final stored block for the last byte, from the bit it ended at.
  EXPECT_EQ((Bytes{0x01, 0x00, 0xFE, 0xFF, input.back()}), Bytes(whole.end() - 5, whole.end()));
  EXPECT_GE(whole.size(), first.size() + 5);
  EXPECT_LE(whole.size(), first.size() + 6);
}

TEST(DeflateEncoder, BlockOfLiteralsOnlyDeclaresHlit258AndHdist2) {
  // Every three-letter word over a, b, c once: nothing repeats.
  const char* text = "aaabaacabbabcacbaccbbbcbcccaa";
  Bytes input(text, text + 29);
  ASSERT_EQ(30u, Parsed(input).size());
  Bytes stream = Compressed(input);
  EXPECT_EQ(5, stream[0] & 7);           // final, type 2
  EXPECT_EQ(258 - 257, stream[0] >> 3);  // HLIT
  EXPECT_EQ(2 - 1, stream[1] & 0x1F);    // HDIST
  ExpectRoundTrip(input, "literals only");
}

// Forty equal bytes, worked out field by field from the algorithm: the
// symbols are 'a', a match of 38 at distance 1, 'a' and the end of block.
TEST(DeflateEncoder, StreamWorkedOutByHand) {
  BitWriter expected;
  expected.Bits(1, 1);          // final
  expected.Bits(2, 2);          // dynamic
  expected.Bits(274 - 257, 5);  // HLIT: symbol 273 is the highest with a code
  expected.Bits(2 - 1, 5);      // HDIST
  expected.Bits(18 - 4, 4);     // HCLEN: down to code-length symbol 1
  // The code-length symbols: 18 four times, 1 and 2 twice, 0 once, and 17
  // unused but handed to tree building to make five records; so 18 gets
  // code 0, 2 gets 10, 1 gets 110, 0 and 17 get 1110 and 1111.
  for (int length : {0, 4, 1, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 3})
    expected.Bits(length, 3);
  auto zeros = [&](int count) {
    expected.Code(0, 1);
    expected.Bits(count - 11, 7);
  };
  // Literal/length lengths: 97 zeros, 'a' 1, 158 zeros (138 + 20), EOB 2,
  // 16 zeros, 273 2; distance lengths 1, 0.
  zeros(97);
  expected.Code(6, 3);
  zeros(138);
  zeros(20);
  expected.Code(2, 2);
  zeros(16);
  expected.Code(2, 2);
  expected.Code(6, 3);
  expected.Code(14, 4);
  // Codes: 'a' 0, EOB 10, 273 11; distance code 0 is 0.
  expected.Code(0, 1);  // 'a'
  expected.Code(3, 2);  // length 38
  expected.Bits(38 - 35, 3);
  expected.Code(0, 1);  // distance 1
  expected.Code(0, 1);  // 'a'
  expected.Code(2, 2);  // end of block
  EXPECT_EQ(expected.Data(), Compressed(Bytes(40, 'a')));
}

TEST(DeflateEncoder, LargerStreamsStayBitForBitTheSame) {
  EXPECT_EQ(0x1C4F043Au, Crc(Compressed(Text(200000, 11))));
  EXPECT_EQ(0x9074F0C0u, Crc(Compressed(Image(1500000, 12))));
  EXPECT_EQ(0xA55F0009u, Crc(Compressed(RandomBytes(100000, 13))));
}

TEST(HuffmanLengths, FlatteningBringsTheTreeWithinTheLimit) {
  // 8, 4, 2, 1 would give 1, 2, 3, 3; flattened to 4, 4, 2, 2 all get 2.
  HuffmanTreeNode records[4] = {{3, 8, nullptr, nullptr},
                                {2, 4, nullptr, nullptr},
                                {1, 2, nullptr, nullptr},
                                {0, 1, nullptr, nullptr}};
  kor::HuffmanCode table[4] = {};
  Policy::BuildHuffmanLengths(records, 4, 2, table);
  for (unsigned s = 0; s < 4; ++s) {
    EXPECT_EQ(2u, table[s].m_length);
    EXPECT_EQ(s, table[s].m_code);
  }
  EXPECT_EQ(4, records[0].m_weight);
  EXPECT_EQ(2, records[3].m_weight);

  // Two weights left: the heavy ones take the light weight and the tree
  // becomes balanced (swapping the two would never end).
  HuffmanTreeNode many[19];
  for (int i = 0; i < 19; ++i)
    many[i] = HuffmanTreeNode{18 - i, i < 9 ? 1000 : 1, nullptr, nullptr};
  kor::HuffmanCode codes[19] = {};
  Policy::BuildHuffmanLengths(many, 19, 7, codes);
  for (int s = 0; s < 19; ++s) {
    EXPECT_GE(codes[s].m_length, 4u);
    EXPECT_LE(codes[s].m_length, 5u);
    EXPECT_EQ(1, many[s].m_weight);
  }
}

TEST(HuffmanLengths, ShellSortMovesEqualKeysOnlyAcrossItsFirstPass) {
  HuffmanTreeNode a{288, 1, nullptr, nullptr}, b{288, 1, &a, nullptr};
  HuffmanTreeNode records[4] = {a, {3, 5, nullptr, nullptr}, b, {1, 5, nullptr, nullptr}};
  Policy::ShellSort(records, 4);
  EXPECT_EQ(3, records[0].m_symbol);
  EXPECT_EQ(1, records[1].m_symbol);
  // The gap-3 pass carried a past b.
  EXPECT_EQ(&a, records[2].m_left);
  EXPECT_EQ(nullptr, records[3].m_left);
}

TEST(CodeLengthSymbols, RunsOfZerosAndOfRepeatedLengths) {
  std::vector<unsigned char> lengths(10, 0);
  EXPECT_EQ((std::vector<int>{17007}), CodeLengthSymbols(lengths, 10));
  lengths.assign(11, 0);
  EXPECT_EQ((std::vector<int>{18000}), CodeLengthSymbols(lengths, 11));
  lengths.assign(140, 0);
  EXPECT_EQ((std::vector<int>{18127, 0, 0}), CodeLengthSymbols(lengths, 140));
  // A length repeats only after it has been given once; at most 6 a run,
  // and the next run opens at once.
  lengths = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 9};
  EXPECT_EQ((std::vector<int>{5000, 16003, 16000, 9000}), CodeLengthSymbols(lengths, 11));
}

TEST(CodeLengthSymbols, RunsAtTheEndOfTheLiteralLengths) {
  // Opened on the last literal/length length, a run goes on into the
  // distance lengths, as RFC 1951 allows.
  std::vector<unsigned char> lengths = {1, 4, 4, /* distance */ 4, 4, 4, 2};
  EXPECT_EQ((std::vector<int>{1000, 4000, 16001, 2000}), CodeLengthSymbols(lengths, 3));
  // Opened one before, a run closes there after two lengths, which no
  // repeat code can give: they are written as they are.
  lengths = {2, 3, 7, 7, 7, /* distance */ 7, 7, 1};
  EXPECT_EQ((std::vector<int>{2000, 3000, 7000, 7000, 7000, 7000, 7000, 1000}),
            CodeLengthSymbols(lengths, 5));
}
