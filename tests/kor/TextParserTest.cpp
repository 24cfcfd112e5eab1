#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/URegex.h"
#include "kor/Utils/UTextParser.h"

namespace {

typedef kor::UTextParser<kor::TextParserPolicy_ParseStream<unsigned char>> Parser;
typedef std::vector<std::string> Texts;

const kor::UTextParserGrammar& BLOCK = kor::TEXT_PARSER_GRAMMAR_BLOCK;
const kor::UTextParserGrammar& HASH = kor::TEXT_PARSER_GRAMMAR_HASH_COMMENT;

Texts ReadAll(kor::UTextParserCursor& cursor) {
  Texts tokens;
  kor::UString token;
  while (cursor.HasToken()) {
    cursor.ReadToken(token);
    tokens.push_back(token.GetText());
  }
  return tokens;
}

Texts Tokens(const std::string& text, const kor::UTextParserGrammar& grammar) {
  kor::UStream_Memory stream(text.data(), text.size());
  Parser parser(&stream, grammar);
  return ReadAll(parser.GetCursor());
}

// Delivers at most half of what each read asks for, as a failing device might.
class HalfStream : public kor::UStream_Memory {
 public:
  using kor::UStream_Memory::UStream_Memory;
  uint64_t Serialize(void* buffer, uint64_t size) override {
    return kor::UStream_Memory::Serialize(buffer, size / 2);
  }
};

// depth blocks inside each other, each holding a quoted string.
std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "{ \"q\" ";
  return text + std::string(depth, '}');
}

}  // namespace

TEST(TextParserBlockGrammar, WordsQuotedStringsAndBlocks) {
  kor::UString block;
  {
    std::string text = "name \"two words\" { inner { deep } } 12";
    kor::UStream_Memory stream(text.data(), text.size());
    Parser parser(&stream, BLOCK);
    EXPECT_EQ(Texts({"name", "two words", " inner { deep } ", "12"}), ReadAll(parser.GetCursor()));
    parser.GetCursor().SkipTwo();
    EXPECT_EQ(16, parser.GetCursor().GetIndex());
    parser.Tokenize(parser.GetText());
    parser.GetCursor().SkipTwo();
    parser.GetCursor().ReadToken(block);
  }
  Parser inside(block);
  EXPECT_EQ(Texts({"inner", " deep "}), ReadAll(inside.GetCursor()));

  EXPECT_EQ(Texts({"a\r\n \"}\" {x}\r\n", "", "", "b"}), Tokens("{a\r\n \"}\" {x}\r\n} \"\" {} b", BLOCK));
}

TEST(TextParserBlockGrammar, TextEndingInsideAToken) {
  EXPECT_EQ(Texts({"word", "unterminated"}), Tokens("word \"unterminated", BLOCK));
  // An unclosed block is no token; the words inside it still are.
  EXPECT_EQ(Texts({"a", "b", "c"}), Tokens("a { b {c", BLOCK));
  EXPECT_EQ(Texts({"x", "y"}), Tokens("x} }y", BLOCK));
}

TEST(TextParserHashGrammar, RadianceHeaderLines) {
  EXPECT_EQ(Texts({"RADIANCE"}), Tokens("#?RADIANCE", HASH));
  EXPECT_EQ(Texts(), Tokens("# made by x", HASH));
  EXPECT_EQ(Texts({"FORMAT", "32-bit_rle_rgbe"}), Tokens("FORMAT=32-bit_rle_rgbe", HASH));
  EXPECT_EQ(Texts({"EXPOSURE"}), Tokens("EXPOSURE=1", HASH));
  EXPECT_EQ(Texts({"RADIANCE", "GAMMA", "2.2", "-Y", "+X", "12", "A", "B"}),
            Tokens("#?RADIANCE\n# made by x\nGAMMA=2.2 # guessed\n\n-Y 4 +X 12\n#?A#?B#c", HASH));
  // '$' matches before the line feed only: a "#?" line keeps its carriage return.
  EXPECT_EQ(Texts({"RADIANCE\r", "XY"}), Tokens("#?RADIANCE\r\nXY\r\n", HASH));
}

TEST(TextParserCursor, EmptyTextHasNoTokens) {
  for (const kor::UTextParserGrammar* grammar : {&BLOCK, &HASH}) {
    kor::UStream_Memory stream("", 0);
    Parser parser(&stream, *grammar);
    kor::UTextParserCursor& cursor = parser.GetCursor();
    EXPECT_STREQ("", cursor.GetToken().GetText());
    int value = 5;
    cursor.ReadInt(value);
    EXPECT_EQ(0, value);
    EXPECT_EQ(-1, cursor.GetIndex());
    EXPECT_EQ(-1, cursor.GetMatchStart());
  }
}

TEST(TextParserCursor, NumbersAreReadFromTheStartOfTheWholeMatch) {
  std::string text = "\"12\" 12  \"2.5\" 1 2.5 99999999999 -99999999999 1e999";
  kor::UStream_Memory stream(text.data(), text.size());
  Parser parser(&stream, BLOCK);
  kor::UTextParserCursor& cursor = parser.GetCursor();
  EXPECT_EQ(0, cursor.GetMatchStart());
  EXPECT_EQ(1, cursor.GetTokenStart());
  EXPECT_EQ(2, cursor.GetTokenLength());
  int quoted = -1, plain = 0;
  cursor.ReadInt(quoted);
  cursor.ReadInt(plain);
  EXPECT_EQ(0, quoted);
  EXPECT_EQ(12, plain);
  float values[3] = {};
  cursor.ReadFloat3(values);
  EXPECT_EQ(0.0f, values[0]);
  EXPECT_EQ(1.0f, values[1]);
  EXPECT_EQ(2.5f, values[2]);
  // Out-of-range numbers saturate instead of wrapping.
  int big = 0, small = 0;
  float huge = 0;
  cursor.ReadInt(big);
  cursor.ReadInt(small);
  cursor.ReadFloat(huge);
  EXPECT_EQ(INT_MAX, big);
  EXPECT_EQ(INT_MIN, small);
  EXPECT_TRUE(std::isinf(huge));
}

TEST(TextParserStream, ReadsFromThePositionAndLeavesItThere) {
  std::string text = "skip me;tail";
  kor::UStream_Memory stream(text.data(), text.size());
  stream.SeekForward(8);
  Parser parser(&stream, BLOCK);
  EXPECT_EQ(8u, stream.GetPosition());
  EXPECT_EQ(Texts({"tail"}), ReadAll(parser.GetCursor()));

  // Bytes that never arrived are not text.
  HalfStream half(text.data(), text.size());
  Parser shortRead(&half, BLOCK);
  EXPECT_STREQ("skip m", shortRead.GetText().GetText());
  EXPECT_EQ(0u, half.GetPosition());
}

TEST(TextParserStream, MissingStreamRaises) {
  try {
    Parser parser(nullptr, BLOCK);
    FAIL() << "no error";
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("'assure' failed: text", error.GetMessage());
    EXPECT_EQ(0, std::string(error.GetHistory())
                     .find("kor::TextParserPolicy_ParseStream<unsigned char>::"
                           "TextParserPolicy_ParseStream()"));
  }
}

TEST(TextParserStream, NulsAndBytesAboveAscii) {
  EXPECT_EQ(Texts({"abc"}), Tokens(std::string("abc\0def ghi", 11), BLOCK));
  std::string bytes = "\x80 \xff\xfe {\xc3\xa9} \x01\x02";
  EXPECT_EQ(Texts({"\x80", "\xff\xfe", "\xc3\xa9", "\x01\x02"}), Tokens(bytes, BLOCK));
  EXPECT_EQ(Texts({"\xff\xfe", "{\xc3\xa9}", "\x01\x02"}), Tokens(bytes, HASH));
}

TEST(TextParserStream, LongTexts) {
  std::string words;
  for (int i = 0; i < 50000; ++i) words += "w" + std::to_string(i) + (i % 10 ? " " : "\r\n");
  Texts blockTokens = Tokens(words, BLOCK);
  ASSERT_EQ(50000u, blockTokens.size());
  EXPECT_EQ("w49999", blockTokens.back());
  EXPECT_EQ(blockTokens, Tokens(words, HASH));

  std::string longWord(1 << 20, 'x');
  EXPECT_EQ(Texts({longWord}), Tokens("  " + longWord + "  ", BLOCK));

}

TEST(TextParserStream, BlocksOfManyMegabytes) {
  // More than Oniguruma's default backtracking limit for one match allows.
  std::string inside;
  while (inside.size() < (6u << 20)) inside += "\"v\" 1.0 { x } ";
  EXPECT_EQ(Texts({inside}), Tokens("{" + inside + "}", BLOCK));
}

// Tokenizes text with channel 7 recorded: the tokens, whether the cursor
// was cut short, and the messages.
struct Outcome {
  Texts tokens;
  bool cutShort;
  std::string messages;
};

Outcome TokenizeRecorded(const std::string& text) {
  ScopedTestServices services;
  std::unique_ptr<RecordingSink> sink(new RecordingSink);
  services.Services().GetChannel(7)->AddListener(sink.get());
  Outcome outcome;
  {
    kor::UStream_Memory stream(text.data(), text.size());
    Parser parser(&stream, BLOCK);
    outcome.cutShort = parser.GetCursor().IsCutShort();
    outcome.tokens = ReadAll(parser.GetCursor());
  }
  services.Services().GetChannel(7)->RemoveListener(sink.get());
  outcome.messages = sink->Text();
  return outcome;
}

TEST(TextParserStream, TextsThatWouldBacktrackForHoursAreCutShortVisibly) {
  // An unclosed block of quotes costs the block pattern time that grows
  // with a high power of its length; the tokens found before it stay, and
  // the cursor and channel 7 say that the rest was not read.
  std::string quotes;
  for (int i = 0; i < 4000; ++i) quotes += i % 2 ? "\"" : "{";
  for (const std::string& tail : {quotes, std::string(100000, '{')}) {
    Outcome outcome = TokenizeRecorded("a b " + tail);
    EXPECT_EQ(Texts({"a", "b"}), outcome.tokens);
    EXPECT_TRUE(outcome.cutShort);
    EXPECT_NE(std::string::npos, outcome.messages.find(" of " + std::to_string(tail.size() + 4) + " characters."))
        << outcome.messages;
  }
  Outcome plain = TokenizeRecorded("a { b } \"c\"");
  EXPECT_FALSE(plain.cutShort);
  EXPECT_EQ("", plain.messages);
}

TEST(TextParserStream, BlocksNestFarDeeperThanTheLibraryDefault) {
  // Oniguruma's default stops recursive calls at 20 levels.
  for (int depth : {21, int(kor::REGEX_MAX_NESTED_CALLS)}) {
    std::string nested = Nested(depth);
    Outcome outcome = TokenizeRecorded("a " + nested);
    EXPECT_EQ(Texts({"a", nested.substr(1, nested.size() - 2)}), outcome.tokens) << depth;
    EXPECT_FALSE(outcome.cutShort);
  }
  // Deeper than that, and the text is cut short where the block starts.
  for (int depth : {int(kor::REGEX_MAX_NESTED_CALLS) + 1, 1000000}) {
    Outcome outcome = TokenizeRecorded("a " + Nested(depth) + " b");
    EXPECT_EQ(Texts({"a"}), outcome.tokens) << depth;
    EXPECT_TRUE(outcome.cutShort);
    EXPECT_EQ("WARNING: Text nests blocks too deeply to cut into tokens: gave up at 2 of " +
                  std::to_string(Nested(depth).size() + 4) + " characters.\r\n",
              outcome.messages);
  }
}

TEST(TextParserStream, CraftedTextsCostTimeLinearInTheirLength) {
  // Blocks opened and never closed, within the nesting the patterns follow:
  // each search tries every one of them against the whole rest of the
  // text, quadratic in its length without one budget for all searches.
  for (size_t size : {24u << 10, 96u << 10}) {
    std::string text;
    for (int i = 0; i < kor::REGEX_MAX_NESTED_CALLS - 1; ++i) text += "{ a ";
    while (text.size() < size) text += "b ";
    auto start = std::chrono::steady_clock::now();
    Outcome outcome = TokenizeRecorded(text);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0) << size;
    EXPECT_TRUE(outcome.cutShort) << size;
    EXPECT_NE(std::string::npos, outcome.messages.find("Text too tangled to cut into tokens: gave up at ")) << size;
  }
}

TEST(TextParser, OtherGrammars) {
  const char* const all[] = {".*"};
  // Without refinements nothing is recorded; an empty match still moves on.
  EXPECT_EQ(Texts(), Tokens("a b", {"\\w+", nullptr, 0, false}));
  EXPECT_EQ(Texts({"xx", "x"}), Tokens("xxaax", {"x*", all, 1, false}));

  ScopedTestServices services;
  int64_t before = services.Pool().m_currentAllocations;
  const char* const broken[] = {"(("};
  try {
    Tokens("a", {"\\w+", broken, 1, false});
    FAIL() << "no error";
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("end pattern with unmatched parenthesis", error.GetMessage());
    EXPECT_NE(std::string::npos, std::string(error.GetHistory()).find("::Tokenize()"));
  }
  EXPECT_EQ(before, services.Pool().m_currentAllocations);
}
