// The deflate decoder against streams zlib writes and streams written by
// hand for the cases zlib never produces.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "DeflateBomb.h"
#include "DeflateStreams.h"
#include "TestServices.h"
#include "kor/Utils/UInflateTables.h"

namespace {

// The library's own sources, concatenated: text of the kind a compressor
// meets, the same on every machine that has the tree.
const Bytes& SourceText() {
  static const Bytes text = [] {
    std::vector<std::string> paths;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::string(LUM_SOURCE_DIR) + "/kor")) {
      std::string extension = entry.path().extension().string();
      if (entry.is_regular_file() && (extension == ".h" || extension == ".cpp"))
        paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    Bytes all;
    for (const std::string& path : paths) {
      Bytes file = ReadFile(path);
      all.insert(all.end(), file.begin(), file.end());
    }
    return all;
  }();
  return text;
}

Bytes Runs(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes;
  while (bytes.size() < n) {
    size_t run = 1 + random() % 600;
    unsigned char value = static_cast<unsigned char>(random() % 4);
    bytes.insert(bytes.end(), std::min(run, n - bytes.size()), value);
  }
  return bytes;
}

// Like the filtered rows of a noisy 16-bit image: a byte that is mostly 0,
// 1 or 255, then a random one. Deflated without matches, the short codes of
// the first kind pair up with the others.
Bytes NoisySamples(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  static const unsigned char near[] = {0, 0, 0, 0, 1, 1, 255, 2};
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<unsigned char>(i % 2 ? random() : near[random() % 8]);
  return bytes;
}

// Text, random bytes and runs in turns: blocks of every kind in one stream.
Bytes Mixed(size_t n) {
  Bytes bytes;
  uint32_t seed = 1;
  while (bytes.size() < n) {
    const Bytes& text = SourceText();
    bytes.insert(bytes.end(), text.begin(), text.begin() + std::min<size_t>(text.size(), 300000));
    Bytes random = RandomBytes(70000, seed++);
    bytes.insert(bytes.end(), random.begin(), random.end());
    Bytes runs = Runs(90000, seed++);
    bytes.insert(bytes.end(), runs.begin(), runs.end());
  }
  bytes.resize(n);
  return bytes;
}

const std::map<std::string, Bytes>& SmallInputs() {
  static const std::map<std::string, Bytes> inputs = {
      {"empty", Bytes()},
      {"one byte", Bytes(1, 'x')},
      {"text", Bytes(SourceText().begin(), SourceText().begin() + std::min<size_t>(SourceText().size(), 200000))},
      {"random", RandomBytes(100000, 7)},
      {"runs", Runs(150000, 3)},
      {"mixed", Mixed(400000)},
      {"noisy samples", NoisySamples(100001, 9)},
      {"few noisy samples", NoisySamples(700, 5)},
  };
  return inputs;
}

void ExpectDecodes(const Bytes& stream, const Bytes& original, const std::string& what) {
  Inflated result = Inflate(stream);
  EXPECT_TRUE(result.ok) << what;
  EXPECT_TRUE(result.output == original) << what << ": " << result.output.size() << " bytes, "
                                         << original.size() << " expected";
}

// The capacity the appends of UArray reach when total bytes are appended one
// at a time to an empty array of the given capacity.
int CapacityAfterAppends(int capacity, int total) {
  for (int length = 0; length < total; ++length)
    if (length == capacity) capacity = kor::RoundUp64(std::max(2 * length, length + 1));
  return capacity;
}

}  // namespace

TEST(InflateZlibStreams, EveryLevelAndStrategyDecodesToTheOriginal) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (const auto& input : SmallInputs())
    for (int level = 0; level <= 9; ++level)
      for (int strategy : strategies)
        ExpectDecodes(RawDeflate(input.second, level, strategy), input.second,
                      input.first + " level " + std::to_string(level) + " strategy " +
                          std::to_string(strategy));
}

TEST(InflateZlibStreams, SeveralMebibytesDecode) {
  const Bytes big = Mixed(6 << 20);
  for (int level : {1, 6, 9}) ExpectDecodes(RawDeflate(big, level), big, "level " + std::to_string(level));
}

TEST(InflateZlibStreams, SmallWindowsAndMemoryLevels) {
  const Bytes& text = SmallInputs().at("mixed");
  for (int windowBits : {-9, -12, -15})
    for (int memLevel : {1, 9})
      ExpectDecodes(ZlibDeflate(text, ZlibSettings{9, Z_DEFAULT_STRATEGY, windowBits, memLevel}),
                    text, "window " + std::to_string(windowBits) + " mem " + std::to_string(memLevel));
}

// Flushes end blocks anywhere: empty stored blocks for sync and full
// flushes, empty fixed blocks for partial flushes, blocks ending mid-byte.
TEST(InflateZlibStreams, FlushedStreamsDecode) {
  const Bytes& text = SmallInputs().at("mixed");
  for (int flush : {Z_PARTIAL_FLUSH, Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_BLOCK})
    for (size_t piece : {1u, 97u, 4096u})
      ExpectDecodes(ZlibDeflate(Bytes(text.begin(), text.begin() + (piece == 1 ? 3000 : text.size())),
                                ZlibSettings{6, Z_DEFAULT_STRATEGY, -15, 8}, piece, flush),
                    Bytes(text.begin(), text.begin() + (piece == 1 ? 3000 : text.size())),
                    "flush " + std::to_string(flush) + " piece " + std::to_string(piece));
}

// The image data of real PNG files: IDAT chunks joined, zlib header dropped.
TEST(InflateZlibStreams, ImageDataOfTestFilesDecodesAsZlibDecodesIt) {
  const std::string root = LUM_TESTDATA_DIR;
  if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "test data folder " << root << " is absent";
  int decoded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".png") continue;
    Bytes file = ReadFile(entry.path().string());
    Bytes idat;
    for (size_t at = 8; at + 12 <= file.size();) {
      uint32_t length = (uint32_t(file[at]) << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
      if (length > file.size() - at - 12) break;
      if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
        idat.insert(idat.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
      at += 12 + length;
    }
    Bytes expected;
    if (idat.size() < 2 || !ZlibInflate(idat, 15, expected)) continue;  // broken on purpose
    Inflated result = Inflate(Bytes(idat.begin() + 2, idat.end()));
    EXPECT_TRUE(result.ok) << entry.path();
    EXPECT_TRUE(result.output == expected) << entry.path();
    ++decoded;
  }
  EXPECT_GT(decoded, 20);
}

TEST(InflateOutput, CapacityStartsAtThreeTimesTheInput) {
  BitWriter writer;
  writer.StoredBlock(true, Bytes());
  kor::UArray<unsigned char> input = ToArray(writer.Data());
  kor::UArray<unsigned char> output(1000);  // replaced, not kept
  kor::DecompressorPolicy_Deflate policy;
  EXPECT_TRUE(kor::Decompress(input, policy, output));
  EXPECT_EQ(0, output.GetNum());
  EXPECT_EQ(15, output.GetMax());

  Bytes text(SourceText().begin(), SourceText().begin() + 5000);
  input = ToArray(RawDeflate(text, 9));
  EXPECT_TRUE(kor::Decompress(input, policy, output));
  EXPECT_EQ(CapacityAfterAppends(3 * input.GetNum(), 5000), output.GetMax());
}

// Literals and matches append byte by byte; a stored block appends its bytes
// at once.
TEST(InflateOutput, CapacityGrowsAsTheAppendsOfAnArray) {
  BitWriter writer;
  writer.Header(false, 1);
  writer.FixedLiteral('r');
  for (int i = 0; i < 400; ++i) {
    writer.FixedLiteral(285);  // length 258
    writer.FixedDistance(0);   // distance 1
  }
  writer.FixedLiteral(256);
  writer.StoredBlock(true, Bytes(1000, 's'));
  kor::UArray<unsigned char> input = ToArray(writer.Data());

  Inflated result = Inflate(writer.Data());
  ASSERT_TRUE(result.ok);
  const int run = 1 + 400 * 258;
  ASSERT_EQ(size_t(run + 1000), result.output.size());
  EXPECT_EQ(Bytes(run, 'r'), Bytes(result.output.begin(), result.output.begin() + run));
  int capacity = CapacityAfterAppends(3 * input.GetNum(), run);
  if (run + 1000 > capacity) capacity = kor::RoundUp64(std::max(2 * run, run + 1000));
  EXPECT_EQ(capacity, result.capacity);
}

// A caller that knows how many bytes it needs gets at most that many: the
// output is filled up to the limit, even inside a match or a stored block,
// and the stream is read no further.
TEST(InflateOutput, ALimitStopsTheOutputThere) {
  const Bytes bomb = DeflateBomb(1 + 258 * 40);
  Bytes zlibOutput;
  ASSERT_TRUE(ZlibInflate(bomb, -15, zlibOutput));
  ASSERT_EQ(size_t(1 + 258 * 40), zlibOutput.size());
  BitWriter mixed;
  mixed.StoredBlock(false, Bytes(100, 's'));
  mixed.Header(true, 1);
  mixed.FixedLiteral('f');
  mixed.FixedLiteral(256);
  Bytes broken = bomb;
  broken.pop_back();  // the end of block is gone, with the last few matches
  const size_t SOME = SIZE_MAX;  // a prefix of the output, of any length
  struct Case {
    const char* what;
    const Bytes& stream;
    int limit;
    kor::InflateResult result;
    size_t produced;
  };
  const Case cases[] = {
      {"bomb, room for all", bomb, 1 << 20, kor::INFLATE_COMPLETE, zlibOutput.size()},
      {"bomb, exactly its size", bomb, 1 + 258 * 40, kor::INFLATE_COMPLETE, zlibOutput.size()},
      {"bomb, one byte less", bomb, 258 * 40, kor::INFLATE_FULL, 258 * 40},
      {"bomb, inside a match", bomb, 1000, kor::INFLATE_FULL, 1000},
      {"bomb, no room at all", bomb, 0, kor::INFLATE_FULL, 0},
      {"inside a stored block", mixed.Data(), 60, kor::INFLATE_FULL, 60},
      {"after the stored block", mixed.Data(), 100, kor::INFLATE_FULL, 100},
      {"stored and fixed", mixed.Data(), 101, kor::INFLATE_COMPLETE, 101},
      {"broken before the limit", broken, 1 << 20, kor::INFLATE_BROKEN, SOME},
      {"broken after the limit", broken, 500, kor::INFLATE_FULL, 500},
  };
  for (const Case& c : cases) {
    kor::UArray<unsigned char> input = ToArray(c.stream);
    kor::UArray<unsigned char> output;
    kor::DecompressorPolicy_Deflate policy;
    EXPECT_EQ(c.result, kor::DecompressAtMost(input, policy, output, c.limit)) << c.what;
    size_t produced = c.produced == SOME ? size_t(output.GetNum()) : c.produced;
    ASSERT_EQ(produced, size_t(output.GetNum())) << c.what;
    EXPECT_LE(output.GetMax(), c.limit) << c.what;
    Bytes expected = &c.stream == &mixed.Data() ? Bytes(100, 's') : zlibOutput;
    if (&c.stream == &mixed.Data()) expected.push_back('f');
    ASSERT_LE(produced, expected.size()) << c.what;
    EXPECT_TRUE(Bytes(expected.begin(), expected.begin() + produced) == ToBytes(output)) << c.what;
  }
}

// A limit may fall between the two literals of one look-up, near the start
// of the output (where the careful path decodes) as well as far into it.
TEST(InflateOutput, ALimitBetweenTwoLiteralsStopsThere) {
  const Bytes original = NoisySamples(50001, 4);
  const Bytes stream = RawDeflate(original, 6, Z_FILTERED);
  kor::UArray<unsigned char> input = ToArray(stream);
  for (int limit : {1, 2, 3, 5, 8, 13, 21, 40001, 40002, 50000}) {
    kor::UArray<unsigned char> output;
    kor::DecompressorPolicy_Deflate policy;
    EXPECT_EQ(kor::INFLATE_FULL, kor::DecompressAtMost(input, policy, output, limit)) << limit;
    EXPECT_TRUE(Bytes(original.begin(), original.begin() + limit) == ToBytes(output)) << limit;
  }
}

// Two gibibytes in two megabytes: with a limit the decoder takes no more
// memory than the limit, however far the stream would go.
TEST(InflateOutput, ABombCostsNoMoreThanTheLimit) {
  ScopedTestServices services;
  kor::UArray<unsigned char> input = ToArray(DeflateBomb(uint64_t(2) << 30));
  kor::UArray<unsigned char> output;
  kor::DecompressorPolicy_Deflate policy;
  uint64_t largestBefore = services.Pool().m_maximumSize;
  EXPECT_EQ(kor::INFLATE_FULL, kor::DecompressAtMost(input, policy, output, 1 << 20));
  EXPECT_EQ(1 << 20, output.GetNum());
  EXPECT_EQ(1 << 20, output.GetMax());
  EXPECT_EQ(largestBefore, services.Pool().m_maximumSize);  // nothing larger than the input
}

// A limit the stream can reach is the size the caller expects: reserved at
// once, or taken from storage the output already has when that holds it
// and is not beyond the limit. A limit beyond any stream of the input's
// length grows from three times the input, as without a limit.
TEST(InflateOutput, AReachableLimitIsReservedAtOnce) {
  Bytes original;
  for (int i = 0; i < 20; ++i) original.insert(original.end(), SourceText().begin(), SourceText().begin() + 1000);
  const int size = static_cast<int>(original.size());
  // The fixed code needs no table storage: the output is all that is allocated.
  kor::UArray<unsigned char> input = ToArray(RawDeflate(original, 9, Z_FIXED));
  const int threeTimes = 3 * input.GetNum();
  ASSERT_LT(threeTimes, size);
  const int unreachable = 1032 * input.GetNum() + 259;
  struct Case {
    const char* what;
    int storage;  // the output's capacity before, 0 for none
    int limit;
    int capacity;
    bool kept;
  };
  const Case cases[] = {
      {"exactly the size, no storage", 0, size, size, false},
      {"room to spare", 0, size + 3000, size + 3000, false},
      {"storage of the limit is kept", size + 3000, size + 3000, size + 3000, true},
      {"smaller storage is replaced", size - 1, size, size, false},
      {"storage beyond the limit is replaced", size + 1, size, size, false},
      {"an unreachable limit grows", 0, unreachable, CapacityAfterAppends(threeTimes, size), false},
      {"an unreachable limit keeps storage", size + 64, unreachable, size + 64, true},
  };
  for (const Case& c : cases) {
    ScopedTestServices services;
    kor::UArray<unsigned char> output;
    if (c.storage) output.SetCapacity(c.storage);
    const unsigned char* storage = output.GetData();
    uint64_t allocationsBefore = services.Pool().m_cumulatedAllocations;
    kor::DecompressorPolicy_Deflate policy;
    EXPECT_EQ(kor::INFLATE_COMPLETE, kor::DecompressAtMost(input, policy, output, c.limit)) << c.what;
    uint64_t allocations = services.Pool().m_cumulatedAllocations - allocationsBefore;
    EXPECT_TRUE(ToBytes(output) == original) << c.what;
    EXPECT_EQ(c.capacity, output.GetMax()) << c.what;
    EXPECT_EQ(c.kept, output.GetData() == storage) << c.what;
    if (c.limit != unreachable || c.kept) {
      EXPECT_EQ(c.kept ? 0u : 1u, allocations) << c.what;
    }
  }
}

TEST(InflateBlocks, EmptyFinalStoredBlockGivesNoBytes) {
  Inflated result = Inflate(Bytes{0x01, 0x00, 0x00, 0xFF, 0xFF});
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.output.empty());
}

TEST(InflateBlocks, StoredBlockAfterMidByteBlockStartsAtTheNextByte) {
  BitWriter writer;
  writer.Header(false, 1);
  writer.FixedLiteral('A');
  writer.FixedLiteral(256);
  ASSERT_NE(0, writer.BitIndex());
  writer.StoredBlock(false, Bytes{'x', 'y', 'z'});
  writer.Header(true, 1);  // and a fixed block again after the stored bytes
  writer.FixedLiteral('!');
  writer.FixedLiteral(256);
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ((Bytes{'A', 'x', 'y', 'z', '!'}), result.output);
}

TEST(InflateBlocks, LongestMatchAtDistanceOneRepeatsTheLastByte) {
  BitWriter writer;
  writer.Header(true, 1);
  writer.FixedLiteral('a');
  writer.FixedLiteral('q');
  writer.FixedLiteral(285);
  writer.FixedDistance(0);
  writer.FixedLiteral(256);
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  Bytes expected(260, 'q');
  expected[0] = 'a';
  EXPECT_EQ(expected, result.output);
}

TEST(InflateBlocks, Symbol284WithAllExtraBitsAndSymbol285Give258) {
  BitWriter writer;
  writer.Header(true, 1);
  for (int c : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) writer.FixedLiteral(c);
  writer.FixedLiteral(284);
  writer.Bits(31, 5);
  writer.FixedDistance(6);  // 9 + 1 extra bit: distance 10
  writer.Bits(1, 2);
  writer.FixedLiteral(285);
  writer.FixedDistance(6);
  writer.Bits(1, 2);
  writer.FixedLiteral(256);
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  ASSERT_EQ(size_t(10 + 258 + 258), result.output.size());
  for (size_t i = 0; i < result.output.size(); ++i)
    ASSERT_EQ('0' + int(i % 10), result.output[i]) << i;
}

// The most bits a round of decoding takes before its distance look-up and
// the refill: a literal of a subtable, two of the main table's longest
// codes and a length with five extra bits, then a distance code of eight
// bits, all ones. Each case repeats its symbols and a match long enough for
// the fast path, which is what reads them.
TEST(InflateBlocks, ADistanceAfterTheLongestRunOfCodesDecodes) {
  // A complete code: 'c' to 'j' of 1 to 8 bits, then 'a', 'b', the end and
  // length 284 of 11 bits, and 'm' to 'r' of 10 to 15 bits with 'Z' of 15.
  std::vector<int> literal(285, 0);
  for (int length = 1; length <= 8; ++length) literal['c' + length - 1] = length;
  literal['a'] = literal['b'] = literal[256] = literal[284] = 11;
  const int fill[] = {10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 6; ++i) literal['m' + i] = fill[i];
  literal['Z'] = 15;
  // Distance codes of 1 to 8 bits, code 8 (17 to 24, three extra bits) the
  // second of eight bits: eight ones.
  std::vector<int> distance = {1, 2, 3, 4, 5, 6, 7, 8, 8};
  struct Case {
    const char* what;
    Bytes literals;  // before each match
  };
  const Case cases[] = {
      {"a literal of a subtable and two more", Bytes{'Z', 'a', 'b'}},
      {"three literals of the main table", Bytes{'a', 'b', 'a'}},
      {"a literal of a subtable", Bytes{'Z'}},
  };
  for (const Case& c : cases) {
    BitWriter writer;
    DynamicCodes codes = DynamicHeader(writer, true, literal, distance);
    Bytes expected;
    for (int i = 0; i < 24; ++i) {
      codes.Literal(writer, 'c' + i % 8);
      expected.push_back(static_cast<unsigned char>('c' + i % 8));
    }
    for (int round = 0; round < 100; ++round) {
      for (unsigned char l : c.literals) codes.Literal(writer, l);
      expected.insert(expected.end(), c.literals.begin(), c.literals.end());
      codes.Literal(writer, 284);
      writer.Bits(30, 5);  // 227 + 30
      codes.Distance(writer, 8);
      writer.Bits(7, 3);  // 17 + 7
      for (int i = 0; i < 257; ++i) expected.push_back(expected[expected.size() - 24]);
    }
    codes.Literal(writer, 256);
    Bytes zlibOutput;
    ASSERT_TRUE(ZlibInflate(writer.Data(), -15, zlibOutput)) << c.what;
    ASSERT_TRUE(zlibOutput == expected) << c.what;
    Inflated result = Inflate(writer.Data());
    EXPECT_TRUE(result.ok) << c.what;
    EXPECT_TRUE(result.output == expected) << c.what;
  }
}

// Every length symbol with each extra value and every distance code at its
// first and last distance, checked against zlib's reading of the same stream.
TEST(InflateBlocks, EveryLengthAndDistanceAgreesWithZlib) {
  BitWriter writer;
  writer.Header(true, 1);
  Bytes prefix = RandomBytes(32768, 11);
  for (unsigned char c : prefix) writer.FixedLiteral(c);
  for (int row = 0; row < 29; ++row) {
    const unsigned* length = kor::g_deflateLengthTable[row];
    for (unsigned extra = 0; extra < (1u << length[0]); ++extra) {
      writer.FixedLiteral(257 + row);
      writer.Bits(extra, static_cast<int>(length[0]));
      int code = (row + extra) % 30;
      const unsigned* distance = kor::g_deflateDistanceTable[code];
      writer.FixedDistance(code);
      writer.Bits(extra % 2 ? (1u << distance[0]) - 1 : 0, static_cast<int>(distance[0]));
    }
  }
  writer.FixedLiteral(256);
  Bytes expected;
  ASSERT_TRUE(ZlibInflate(writer.Data(), -15, expected));
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.output == expected);
}

// Matches of every short distance with lengths around the sizes the copy
// works in, between random literals: what zlib reads from the stream.
TEST(InflateBlocks, ShortDistancesWithManyLengthsAgreeWithZlib) {
  BitWriter writer;
  writer.Header(true, 1);
  Bytes noise = RandomBytes(5000, 21);
  size_t next = 0;
  for (int i = 0; i < 100; ++i) writer.FixedLiteral(noise[next++]);
  for (unsigned distance = 1; distance <= 80; ++distance)
    for (unsigned length : {3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 40u, 41u, 63u, 64u, 65u, 72u, 73u,
                            100u, 257u, 258u}) {
      writer.FixedMatch(length, distance);
      writer.FixedLiteral(noise[next++ % noise.size()]);
    }
  writer.FixedLiteral(256);
  Bytes expected;
  ASSERT_TRUE(ZlibInflate(writer.Data(), -15, expected));
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.output == expected);
}

// The code-length code has one code, '0' for length 9: every literal/length
// and distance length is 9, an incomplete set that still decodes.
TEST(InflateBlocks, SingleOneBitCodeLengthCodeDecodes) {
  BitWriter writer;
  writer.Header(true, 2);
  int cl[19] = {};
  cl[9] = 1;
  CodeLengthHeader(writer, 257, 1, cl);
  for (int i = 0; i < 258; ++i) writer.Code(0, 1);
  for (int c : {int('h'), int('i'), 256}) writer.Code(static_cast<uint32_t>(c), 9);  // code = symbol
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ((Bytes{'h', 'i'}), result.output);
}

// Repeats run on from the literal/length lengths into the distance lengths:
// a 16 repeating the last literal/length length, a 17 and an 18 whose zeros
// end among the distances.
TEST(InflateBlocks, RepeatsCrossIntoTheDistanceLengths) {
  struct Step {
    int symbol, extra, extraBits;
  };
  struct Case {
    int symbol, hlit, hdist;
    std::vector<Step> steps;
    std::vector<int> distanceLengths;
  };
  const Step zeros97{18, 86, 7}, two{2, 0, 0}, zeros138{18, 127, 7}, zeros19{18, 8, 7};
  const Case cases[] = {
      {16, 258, 6, {zeros97, two, two, zeros138, zeros19, two, {16, 2, 2}, {0, 0, 0}, {0, 0, 0}},
       {2, 2, 2, 2, 0, 0}},
      {17, 260, 5, {zeros97, two, two, zeros138, zeros19, two, two, {17, 0, 3}, two, two, two, two},
       {0, 2, 2, 2, 2}},
      {18, 270, 5, {zeros97, two, two, zeros138, zeros19, two, two, {18, 2, 7}, two, two, two, two},
       {0, 2, 2, 2, 2}},
  };
  const std::vector<int> clLengths{2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 2};
  const std::vector<uint32_t> clCodes = CanonicalCodes(clLengths);
  for (const Case& c : cases) {
    BitWriter writer;
    writer.Header(true, 2);
    int cl[19];
    for (int s = 0; s < 19; ++s) cl[s] = clLengths[s];
    CodeLengthHeader(writer, c.hlit, c.hdist, cl);
    for (const Step& step : c.steps) {
      writer.Code(clCodes[step.symbol], clLengths[step.symbol]);
      writer.Bits(static_cast<uint32_t>(step.extra), step.extraBits);
    }
    std::vector<int> literalLengths(c.hlit, 0);
    literalLengths['a'] = literalLengths['b'] = literalLengths[256] = literalLengths[257] = 2;
    std::vector<uint32_t> literal = CanonicalCodes(literalLengths);
    std::vector<uint32_t> distance = CanonicalCodes(c.distanceLengths);
    writer.Code(literal['a'], 2);
    writer.Code(literal['b'], 2);
    writer.Code(literal[257], 2);  // length 3
    writer.Code(distance[1], 2);   // distance 2
    writer.Code(literal[256], 2);
    Inflated result = Inflate(writer.Data());
    EXPECT_TRUE(result.ok) << c.symbol;
    EXPECT_EQ((Bytes{'a', 'b', 'a', 'b', 'a'}), result.output) << c.symbol;
  }
}

TEST(InflateBlocks, BlockType3KeepsTheBytesProduced) {
  BitWriter writer;
  writer.StoredBlock(false, Bytes{'o', 'k'});
  writer.Header(true, 3);
  writer.Bits(0, 16);
  Inflated result = Inflate(writer.Data());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ((Bytes{'o', 'k'}), result.output);
}

// An over-subscribed set decodes through the codes that fit their length:
// 256 -> 0, 'a' -> 10, 'b' -> 11, and 'c' (code 100 of length 2) never.
TEST(InflateBlocks, OverSubscribedCodesDecodeThroughTheCodesThatFit) {
  std::vector<int> literal(257, 0), distance(1, 0);
  literal[256] = 1;
  literal['a'] = literal['b'] = literal['c'] = 2;
  BitWriter writer;
  DynamicHeader(writer, true, literal, distance);
  writer.Code(2, 2);
  writer.Code(3, 2);
  writer.Code(3, 2);
  writer.Code(0, 1);
  Inflated result = Inflate(writer.Data());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ((Bytes{'a', 'b', 'b'}), result.output);
}

// A block's tables hold its own codes only: a code the block before gave a
// symbol (a short one in the main table, a long one in a subtable) and this
// block leaves unused is refused.
TEST(InflateTables, CodesTheNextBlockLeavesUnusedAreRefused) {
  std::vector<int> shortCodes(257, 0), longCodes(257, 0);
  shortCodes['a'] = shortCodes['b'] = shortCodes['c'] = shortCodes[256] = 2;
  Bytes letters;
  for (int length = 1; length <= 14; ++length) {
    longCodes['A' + length - 1] = length;
    letters.push_back(static_cast<unsigned char>('A' + length - 1));
  }
  longCodes['Z'] = longCodes[256] = 15;
  struct Case {
    const char* what;
    std::vector<int> complete;
    int dropped;        // its code is the one left unused next
    Bytes first, next;  // literals written in each block
    uint32_t unused;
    int unusedLength;
  };
  Bytes lettersAndZ = letters;
  lettersAndZ.push_back('Z');
  const Case cases[] = {
      {"main table", shortCodes, 'b', Bytes{'b', 'c'}, Bytes{'a'}, 3, 2},
      {"subtable", longCodes, 'Z', lettersAndZ, letters, 0x7FFF, 15},
  };
  for (const Case& c : cases) {
    std::vector<int> incomplete = c.complete;
    incomplete[c.dropped] = 0;
    std::vector<int> distance(1, 0);
    BitWriter writer;
    DynamicCodes first = DynamicHeader(writer, false, c.complete, distance);
    for (unsigned char literal : c.first) first.Literal(writer, literal);
    first.Literal(writer, 256);
    DynamicCodes next = DynamicHeader(writer, true, incomplete, distance);
    for (unsigned char literal : c.next) next.Literal(writer, literal);
    writer.Code(c.unused, c.unusedLength);
    next.Literal(writer, 256);
    Inflated result = Inflate(writer.Data());
    EXPECT_FALSE(result.ok) << c.what;
    Bytes expected = c.first;
    expected.insert(expected.end(), c.next.begin(), c.next.end());
    EXPECT_TRUE(result.output == expected) << c.what;
  }
}

// The object's slots describe the last dynamic block's codes; each block
// rebuilds them, and destroying the object returns their arrays to the pool.
TEST(InflateTables, DynamicBlocksRebuildTheSlots) {
  ScopedTestServices services;
  std::vector<int> first(260, 0), second(257, 0);
  first['x'] = 2; first['y'] = 2; first[256] = 2; first[257] = 3; first[259] = 3;
  second['x'] = 1; second[256] = 1;  // nothing of length 2 or 3 now
  std::vector<int> distances1{1, 1}, distances2{0, 1};
  BitWriter writer;
  DynamicCodes codes = DynamicHeader(writer, false, first, distances1);
  codes.Literal(writer, 'x');
  codes.Literal(writer, 'y');
  codes.Literal(writer, 259);  // length 5
  codes.Distance(writer, 1);   // distance 2
  codes.Literal(writer, 256);
  codes = DynamicHeader(writer, true, second, distances2);
  for (int i = 0; i < 5; ++i) codes.Literal(writer, 'x');
  codes.Literal(writer, 256);
  kor::UArray<unsigned char> input = ToArray(writer.Data());
  kor::UArray<unsigned char> output;

  int64_t before = services.Pool().m_currentAllocations;
  {
    kor::DecompressorPolicy_Deflate policy;
    ASSERT_TRUE(kor::Decompress(input, policy, output));
    EXPECT_EQ((Bytes{'x', 'y', 'x', 'y', 'x', 'y', 'x', 'x', 'x', 'x', 'x', 'x'}), ToBytes(output));
    const kor::HuffmanLengthSlot* slots = policy.m_literalSlots;
    EXPECT_EQ(2, slots[0].m_count);
    EXPECT_EQ(0, slots[0].m_firstCode);
    EXPECT_EQ(1, slots[0].m_lastCode);
    EXPECT_EQ('x', slots[0].m_symbols[0]);
    EXPECT_EQ(256, slots[0].m_symbols[1]);
    for (int i = 1; i < kor::DecompressorPolicy_Deflate::SLOT_COUNT; ++i) {
      EXPECT_EQ(0, slots[i].m_count) << i;
      EXPECT_EQ(nullptr, slots[i].m_symbols) << i;
    }
    EXPECT_EQ(1, policy.m_distanceSlots[0].m_count);
    EXPECT_EQ(1, policy.m_distanceSlots[0].m_symbols[0]);
    // Output growth is done; what is left are the two slots' arrays.
    EXPECT_EQ(before + 1 + 2, services.Pool().m_currentAllocations);
  }
  EXPECT_EQ(before + 1, services.Pool().m_currentAllocations);
}

TEST(InflateTables, SlotsFollowTheCanonicalCodes) {
  unsigned char lengths[10] = {3, 3, 3, 3, 3, 2, 4, 4, 0, 0};  // RFC 1951's example
  kor::HuffmanLengthSlot slots[kor::DecompressorPolicy_Deflate::SLOT_COUNT] = {};
  kor::DecompressorPolicy_Deflate::BuildSlots(slots, lengths, 10);
  EXPECT_EQ(1, slots[1].m_count);
  EXPECT_EQ(0, slots[1].m_firstCode);
  EXPECT_EQ(5, slots[1].m_symbols[0]);
  EXPECT_EQ(5, slots[2].m_count);
  EXPECT_EQ(2, slots[2].m_firstCode);
  EXPECT_EQ(6, slots[2].m_lastCode);
  EXPECT_EQ(2, slots[3].m_count);
  EXPECT_EQ(14, slots[3].m_firstCode);
  EXPECT_EQ(15, slots[3].m_lastCode);
  EXPECT_EQ(7, slots[3].m_symbols[1]);
  EXPECT_EQ(nullptr, slots[0].m_symbols);
  kor::DecompressorPolicy_Deflate::ReleaseSlots(slots);
}

namespace {

// The literal table that the first block header of stream gives, with its
// subtables; the rest of the workspace is zero.
std::vector<uint32_t> LiteralTable(const Bytes& stream) {
  kor::inflate::BitReader reader{stream.data(), stream.data() + stream.size(), 0, 0, 0};
  reader.Refill();
  EXPECT_EQ(2u, reader.Take(3) >> 1);
  auto workspace = std::make_unique<kor::inflate::Workspace>();
  kor::DecompressorPolicy_Deflate policy;
  EXPECT_TRUE(kor::inflate::ReadDynamicHeader(reader, policy, *workspace));
  return std::vector<uint32_t>(workspace->m_literal, workspace->m_literal + kor::inflate::LITERAL_TABLE_SIZE);
}

// Each main-table literal joined with the literal its bits go on to, where
// both codes fit the main table's bits: the definition, entry by entry.
void JoinEntryByEntry(std::vector<uint32_t>& table) {
  for (uint32_t i = 1u << kor::inflate::LITERAL_BITS; i-- > 0;) {
    const uint32_t first = table[i], firstLength = first & 15, second = table[i >> firstLength];
    if ((first & second & kor::inflate::ENTRY_LITERAL) && firstLength + (second & 0xFF) <= kor::inflate::LITERAL_BITS)
      table[i] = (first + (second & 0xFF) + kor::inflate::ENTRY_ONE_LITERAL) | ((second >> 16) << 24);
  }
}

// A hand-made header for the literal lengths (others 0, 256 included in
// them), then bytes enough for the table to count as far from the end.
Bytes HeaderOnly(std::vector<int> literal) {
  literal.resize(257);
  BitWriter writer;
  DynamicHeader(writer, true, literal, std::vector<int>(1, 1));
  Bytes stream = writer.Data();
  stream.resize(stream.size() + 600);
  return stream;
}

std::vector<int> Lengths(std::initializer_list<std::pair<int, int>> symbolLengths) {
  std::vector<int> literal(257, 0);
  for (const auto& symbolLength : symbolLengths) literal[symbolLength.first] = symbolLength.second;
  return literal;
}

}  // namespace

// Literal-heavy blocks with enough input left join literals in pairs as the
// table is built: the same entries as joining the built table entry by
// entry. Near the end of the input, or where matches take much of the code,
// nothing is joined.
TEST(InflateTables, LiteralPairsAreThoseOfTheWholeTable) {
  const struct {
    const char* what;
    Bytes stream;
    bool joins;
  } cases[] = {
      {"noisy samples, matches taking an eighth of the code", RawDeflate(NoisySamples(5000, 2), 6), false},
      {"noisy samples, codes only", RawDeflate(NoisySamples(3000, 3), 9, Z_HUFFMAN_ONLY), true},
      {"a small image's rows", RawDeflate(NoisySamples(700, 5), 9), true},
      {"an incomplete set", HeaderOnly(Lengths({{'a', 2}, {'b', 2}, {'c', 2}, {'d', 4}, {'e', 4}, {256, 5}})), true},
      // 'e' and the end code do not fit their lengths.
      {"an over-subscribed set",
       HeaderOnly(Lengths({{'a', 2}, {'b', 2}, {'c', 2}, {'d', 2}, {'e', 2}, {256, 3}})), true},
      {"literals of half the code", HeaderOnly(Lengths({{'a', 1}, {256, 2}, {'b', 3}, {'c', 3}})), false},
      {"literals too long to pair", HeaderOnly(Lengths({{'a', 6}, {'b', 6}, {256, 1}})), false},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> built = LiteralTable(c.stream);
    // The header alone: no input left to repay joining.
    std::vector<uint32_t> single =
        LiteralTable(Bytes(c.stream.begin(), c.stream.begin() + std::min<size_t>(c.stream.size(), 150)));
    std::vector<uint32_t> joined = single;
    JoinEntryByEntry(joined);
    if (c.joins) {
      EXPECT_NE(single, joined) << c.what;
      EXPECT_EQ(joined, built) << c.what;
    } else {
      EXPECT_EQ(single, built) << c.what;
    }
  }
}
