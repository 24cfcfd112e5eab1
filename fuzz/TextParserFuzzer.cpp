// The text parser on arbitrary bytes with both grammars: it must never
// throw, every token must lie inside its match and the text, and reading
// past the end must stay harmless. Brace blocks are parsed again, as the
// model and map readers do.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/Utils/UTextParser.h"

namespace {

typedef kor::UTextParser<kor::TextParserPolicy_ParseStream<unsigned char>> Parser;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads every token in turn with each kind of read, checking its offsets.
void Walk(kor::UTextParserCursor& cursor, int depth) {
  int textLength = static_cast<int>(std::strlen(reinterpret_cast<const char*>(cursor.GetText())));
  kor::UString token;
  int number = 0;
  float value = 0;
  for (int step = 0; cursor.HasToken(); ++step) {
    int matchStart = cursor.GetMatchStart();
    int matchEnd = matchStart + cursor.GetMatchLength();
    int tokenStart = cursor.GetTokenStart();
    int tokenEnd = tokenStart + cursor.GetTokenLength();
    Check(0 <= matchStart && matchStart < matchEnd && matchEnd <= textLength);
    Check(matchStart <= tokenStart && tokenStart <= tokenEnd && tokenEnd <= matchEnd);
    Check(cursor.GetToken().GetLength() == cursor.GetTokenLength());
    bool block = cursor.GetText()[matchStart] == '{';
    switch (step % 3) {
      case 0: cursor.ReadToken(token); break;
      case 1: cursor.ReadInt(number); break;
      default: cursor.ReadFloat(value); break;
    }
    if (block && depth < 4 && step % 3 == 0) {
      Parser inside(token);
      Walk(inside.GetCursor(), depth + 1);
    }
  }
  int end = cursor.GetIndex();
  cursor.SkipTwo();
  float three[3];
  cursor.ReadFloat3(three);
  Check(cursor.GetIndex() == end && cursor.GetToken().IsEmpty() && three[2] == 0.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kor::UTextParserGrammar* grammars[] = {&kor::TEXT_PARSER_GRAMMAR_BLOCK,
                                               &kor::TEXT_PARSER_GRAMMAR_HASH_COMMENT};
  for (const kor::UTextParserGrammar* grammar : grammars) {
    kor::UStream_Memory stream(data, size);
    stream.SeekForward(size > 0 ? data[0] % 4 : 0);
    uint64_t position = stream.GetPosition();
    Parser parser(&stream, *grammar);
    Check(stream.GetPosition() == position);
    Walk(parser.GetCursor(), 0);
  }
  return 0;
}
