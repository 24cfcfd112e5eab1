// Malformed deflate streams: each is refused with false, the bytes produced
// before the fault are those of the stream's valid start, and (under the
// sanitizers) nothing is read or written outside a buffer.
#include <gtest/gtest.h>

#include "DeflateStreams.h"

namespace {

bool IsPrefix(const Bytes& part, const Bytes& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

Bytes SampleText(size_t n) {
  static const char words[] =
      "deflate streams carry literals, matches and the occasional stored block; ";
  Bytes text;
  std::mt19937 random(5);
  while (text.size() < n) {
    text.insert(text.end(), words, words + sizeof(words) - 1);
    for (int i = 0; i < 8; ++i) text.push_back(static_cast<unsigned char>('A' + random() % 26));
  }
  text.resize(n);
  return text;
}

// A fixed block that starts with a match: no output to copy from.
Bytes FixedBlock(const std::vector<std::pair<int, int>>& symbols) {
  BitWriter writer;
  writer.Header(true, 1);
  for (const auto& symbol : symbols) {
    writer.FixedLiteral(symbol.first);
    if (symbol.second >= 0) writer.FixedDistance(symbol.second);
  }
  writer.FixedLiteral(256);
  return writer.Data();
}

}  // namespace

TEST(InflateMalformed, EmptyInputIsRefused) {
  Inflated result = Inflate(Bytes());
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.output.empty());
}

// Every proper prefix of a valid stream ends before its final block does.
TEST(InflateMalformed, EveryTruncationIsRefused) {
  const Bytes text = SampleText(3000);
  BitWriter mixed;  // stored, fixed and dynamic blocks in one stream
  mixed.StoredBlock(false, Bytes(text.begin(), text.begin() + 100));
  Bytes fixed = RawDeflate(Bytes(text.begin() + 100, text.end()), 6, Z_FIXED);
  std::vector<Bytes> streams = {RawDeflate(text, 0), RawDeflate(text, 1), RawDeflate(text, 6),
                                RawDeflate(text, 9), RawDeflate(text, 6, Z_FIXED),
                                RawDeflate(text, 6, Z_HUFFMAN_ONLY), RawDeflate(text, 9, Z_RLE)};
  for (const Bytes& stream : streams) {
    ASSERT_TRUE(Inflate(stream).ok);
    for (size_t length = 0; length < stream.size(); ++length) {
      Inflated result = Inflate(Bytes(stream.begin(), stream.begin() + length));
      EXPECT_FALSE(result.ok) << length << " of " << stream.size();
      EXPECT_TRUE(IsPrefix(result.output, text)) << length << " of " << stream.size();
    }
  }
}

// Any single flipped bit either still decodes or is refused; what was
// produced stays inside the output.
TEST(InflateMalformed, FlippedBitsNeverEscapeTheBuffers) {
  const Bytes text = SampleText(1500);
  for (const Bytes& stream : {RawDeflate(text, 9), RawDeflate(text, 6, Z_FIXED), RawDeflate(text, 0)}) {
    for (size_t bit = 0; bit < stream.size() * 8; ++bit) {
      Bytes flipped = stream;
      flipped[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
      Inflated result = Inflate(flipped);
      EXPECT_LE(result.output.size(), size_t(result.capacity));
    }
  }
}

TEST(InflateMalformed, RandomBytesNeverEscapeTheBuffers) {
  std::mt19937 random(99);
  for (int i = 0; i < 3000; ++i) {
    Bytes noise = RandomBytes(1 + random() % 700, static_cast<uint32_t>(i));
    // Dynamic block headers more often than chance would give them.
    if (i % 2) noise[0] = static_cast<unsigned char>((noise[0] & ~6) | 4);
    Inflate(noise);
  }
}

TEST(InflateMalformed, FixedSymbolsWithoutMeaningAreRefused) {
  EXPECT_FALSE(Inflate(FixedBlock({{'a', -1}, {286, 0}})).ok);
  EXPECT_FALSE(Inflate(FixedBlock({{'a', -1}, {287, 0}})).ok);
  EXPECT_FALSE(Inflate(FixedBlock({{'a', -1}, {257, 30}})).ok);
  EXPECT_FALSE(Inflate(FixedBlock({{'a', -1}, {257, 31}})).ok);
}

TEST(InflateMalformed, DistancesBeforeTheOutputAreRefused) {
  EXPECT_FALSE(Inflate(FixedBlock({{257, 0}})).ok);  // nothing to copy yet
  // Four bytes produced: distance 4 reaches the first, distance 5 before it.
  Inflated fits = Inflate(FixedBlock({{'a', -1}, {'b', -1}, {'c', -1}, {'d', -1}, {257, 3}}));
  EXPECT_TRUE(fits.ok);
  EXPECT_EQ((Bytes{'a', 'b', 'c', 'd', 'a', 'b', 'c'}), fits.output);
  BitWriter writer;
  writer.Header(true, 1);
  for (int c : {'a', 'b', 'c', 'd'}) writer.FixedLiteral(c);
  writer.FixedLiteral(257);
  writer.FixedDistance(4);  // 5 or 6
  writer.Bits(0, 1);
  writer.FixedLiteral(256);
  Inflated tooFar = Inflate(writer.Data());
  EXPECT_FALSE(tooFar.ok);
  EXPECT_EQ((Bytes{'a', 'b', 'c', 'd'}), tooFar.output);
  // Far beyond, in the hot loop's territory: 40 KiB produced, distance 32768
  // is fine after it, but not at its start.
  Bytes long1 = RawDeflate(RandomBytes(40000, 1), 0);
  EXPECT_TRUE(Inflate(long1).ok);
}

// A longest match that reaches back exactly to the first byte, with enough
// stream after it for the hot loop, in each of the copy's distance classes;
// one byte further back is refused.
TEST(InflateMalformed, MatchesReachingTheFirstByteAndNoFurther) {
  for (unsigned distance : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u,
                            300u, 32767u, 32768u}) {
    const Bytes prefix = RandomBytes(distance, distance);
    for (unsigned reach : {distance, distance + 1}) {
      if (reach > 32768) continue;
      BitWriter writer;
      writer.Header(true, 1);
      for (unsigned char c : prefix) writer.FixedLiteral(c);
      writer.FixedMatch(258, reach);
      for (int i = 0; i < 400; ++i) writer.FixedLiteral('z');
      writer.FixedLiteral(256);
      Inflated result = Inflate(writer.Data());
      if (reach == distance) {
        Bytes expected;
        ASSERT_TRUE(ZlibInflate(writer.Data(), -15, expected)) << distance;
        EXPECT_TRUE(result.ok) << distance;
        EXPECT_TRUE(result.output == expected) << distance;
      } else {
        EXPECT_FALSE(result.ok) << distance;
        EXPECT_TRUE(result.output == prefix) << distance;
      }
    }
  }
}

TEST(InflateMalformed, DistanceBeyondTheOutputInTheMiddleOfALongStream) {
  // 2000 literals, then a match at distance 3000.
  BitWriter writer;
  writer.Header(true, 1);
  Bytes prefix = RandomBytes(2000, 4);
  for (unsigned char c : prefix) writer.FixedLiteral(c);
  writer.FixedLiteral(265);
  writer.Bits(0, 1);
  writer.FixedDistance(22);  // 2049 + 10 bits
  writer.Bits(951, 10);      // 3000
  for (int i = 0; i < 100; ++i) writer.FixedLiteral('z');
  writer.FixedLiteral(256);
  Inflated result = Inflate(writer.Data());
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.output == prefix);
}

// Codes an incomplete set leaves unassigned, and dynamic symbols without
// a length or distance row.
TEST(InflateMalformed, CodesWithoutSymbolsAreRefused) {
  std::vector<int> literal(257, 0), distance(1, 0);
  literal['a'] = 2;  // 00
  literal[256] = 2;  // 01; 1x is unused
  {
    BitWriter writer;
    DynamicHeader(writer, true, literal, distance);
    writer.Code(0, 2);
    writer.Code(2, 2);
    EXPECT_FALSE(Inflate(writer.Data()).ok);
  }
  {  // a length symbol but no distance codes at all
    std::vector<int> withLength = literal;
    withLength.push_back(2);  // 257: 10
    BitWriter writer;
    DynamicHeader(writer, true, withLength, distance);
    writer.Code(0, 2);
    writer.Code(2, 2);
    writer.Bits(0, 15);
    EXPECT_FALSE(Inflate(writer.Data()).ok);
  }
  {  // symbol 286 and distance code 30 have codes but nothing to mean
    std::vector<int> wide(288, 0), distances(31, 0);
    wide['a'] = 2; wide[256] = 2; wide[257] = 3; wide[286] = 3;
    distances[0] = 1; distances[30] = 1;
    for (int bad : {286, 30}) {
      BitWriter writer;
      DynamicCodes codes = DynamicHeader(writer, true, wide, distances);
      codes.Literal(writer, 'a');
      if (bad == 286) {
        codes.Literal(writer, 286);
        codes.Distance(writer, 0);
      } else {
        codes.Literal(writer, 257);
        codes.Distance(writer, 30);
      }
      codes.Literal(writer, 256);
      Inflated result = Inflate(writer.Data());
      EXPECT_FALSE(result.ok) << bad;
      EXPECT_EQ(Bytes{'a'}, result.output) << bad;
    }
  }
}

TEST(InflateMalformed, BrokenCodeLengthSequencesAreRefused) {
  const std::vector<int> clLengths{2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2};
  const std::vector<uint32_t> clCodes = CanonicalCodes(clLengths);
  int cl[19];
  for (int s = 0; s < 19; ++s) cl[s] = clLengths[s];
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> steps;  // symbol and extra value
  };
  const Case cases[] = {
      {"16 first", {{16, 0}}},
      {"16 past the end", {{18, 127}, {18, 105}, {2, 0}, {16, 1}}},  // 255 + 4 lengths
      {"18 past the end", {{18, 127}, {18, 127}}},                   // 138 + 138
  };
  for (const Case& c : cases) {
    BitWriter writer;
    writer.Header(true, 2);
    CodeLengthHeader(writer, 257, 1, cl);  // 258 lengths in all
    for (const auto& step : c.steps) {
      writer.Code(clCodes[step.first], clLengths[step.first]);
      if (step.first == 16) writer.Bits(static_cast<uint32_t>(step.second), 2);
      if (step.first == 18) writer.Bits(static_cast<uint32_t>(step.second), 7);
    }
    writer.Bits(0, 32);
    EXPECT_FALSE(Inflate(writer.Data()).ok) << c.what;
  }
  {  // a one-code code-length code ('0' for 8) meets a 1 bit
    BitWriter writer;
    writer.Header(true, 2);
    int single[19] = {};
    single[8] = 1;
    CodeLengthHeader(writer, 257, 1, single);
    writer.Code(0, 1);
    writer.Bits(0xFFFF, 16);
    EXPECT_FALSE(Inflate(writer.Data()).ok);
  }
  {  // no code-length codes at all
    BitWriter writer;
    writer.Header(true, 2);
    int none[19] = {};
    CodeLengthHeader(writer, 257, 1, none);
    writer.Bits(0, 32);
    EXPECT_FALSE(Inflate(writer.Data()).ok);
  }
}

TEST(InflateMalformed, StoredBlocksThatRunPastTheInputAreRefused) {
  BitWriter writer;
  writer.StoredBlock(true, Bytes(100, 'q'));
  Bytes stream = writer.Data();
  stream[1] = 101;  // one byte more than there is
  stream[3] = static_cast<unsigned char>(~101);
  Inflated result = Inflate(stream);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.output.empty());
  EXPECT_FALSE(Inflate(Bytes{0x00, 0x05, 0x00}).ok);  // the header itself cut
  // The one's complement is not compared.
  stream[1] = 100;
  stream[3] = 0;
  EXPECT_TRUE(Inflate(stream).ok);
}

TEST(InflateMalformed, NonFinalLastBlockIsRefused) {
  BitWriter writer;
  writer.StoredBlock(false, Bytes{'a'});
  Inflated result = Inflate(writer.Data());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(Bytes{'a'}, result.output);
}
