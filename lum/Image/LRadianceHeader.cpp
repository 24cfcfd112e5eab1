#include "lum/Image/LRadianceHeader.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UTextParser.h"

namespace lum {

namespace {

typedef kor::UTextParser<kor::TextParserPolicy_ParseStream<unsigned char>> UHeaderParser;

enum { FOUND_FORMAT = 1, FOUND_HEIGHT = 2, FOUND_WIDTH = 4, FOUND_SIZES = 6, FOUND_ALL = 7 };

const char* const RGBE_FORMAT = "32-bit_rle_rgbe";

kor::IMessageSink* WarningChannel() {
  kor::ICoreServices* services = kor::GetCoreServices();
  return services ? services->GetChannel(7) : nullptr;
}

void ReportCantHandle(const kor::UString& name, const char* end) {
  kor::UMessageWriter(WarningChannel(), "Can't handle file \"") << name << end;
}

// The text right after the current token, past the white space and '='
// that part a word from its value. Values are read from here rather than
// from the next token, because the grammar drops one-character words: a
// single-digit size has no token of its own.
const char* ValueText(const kor::UTextParserCursor& cursor) {
  const char* at =
      reinterpret_cast<const char*>(cursor.GetText()) + cursor.GetMatchStart() + cursor.GetMatchLength();
  while (*at == '=' || std::isspace(static_cast<unsigned char>(*at))) ++at;
  return at;
}

// Returns how many characters the number takes. Out-of-range sizes
// saturate, as the tokenizer's own integers do.
size_t ReadSize(const char* text, int& size) {
  char* stop;
  long value = std::strtol(text, &stop, 10);
  size = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
  return static_cast<size_t>(stop - text);
}

// The offset just after the first line break at or after offset from; -1
// when the text has none. The pixels begin there whatever their first
// bytes are.
int64_t AfterLineBreak(const kor::UString& text, size_t from) {
  size_t length = static_cast<size_t>(text.GetLength());
  if (from >= length) return -1;
  const void* lineBreak = std::memchr(text.GetText() + from, '\n', length - from);
  if (lineBreak == nullptr) return -1;
  return static_cast<const char*>(lineBreak) - text.GetText() + 1;
}

// One size of the resolution line; the pixels start after its line.
void ReadSizeAfter(kor::UTextParserCursor& cursor, const kor::UString& text, int& size, int64_t& dataStart) {
  const char* value = ValueText(cursor);
  size_t length = ReadSize(value, size);
  dataStart = AfterLineBreak(text, static_cast<size_t>(value - text.GetText()) + length);
  cursor.Skip();
}

// The header's words up to the resolution line; false after a message for
// an unsupported format.
bool WalkTokens(kor::UTextParserCursor& cursor, const kor::UString& text, const kor::UString& name,
                RadianceHeader& header, int& found, int64_t& dataStart) {
  kor::UString word, value;
  while (found != FOUND_ALL && cursor.HasToken()) {
    word = cursor.GetToken();
    if (word == "FORMAT") {
      cursor.Skip();
      cursor.ReadToken(value);
      if (!(value == RGBE_FORMAT)) {
        kor::UMessageWriter(WarningChannel(), "Can't handle file \"")
            << name << ". It uses the unsupported format \"" << value << "\".";
        return false;
      }
      found |= FOUND_FORMAT;
    } else if (word == "GAMMA" || word == "EXPOSURE") {
      float number = std::strtof(ValueText(cursor), nullptr);
      (word == "GAMMA" ? header.gamma : header.exposure) = number;
      cursor.Skip();
    } else if (word == "-Y") {
      ReadSizeAfter(cursor, text, header.height, dataStart);
      found |= FOUND_HEIGHT;
    } else if (word == "+X") {
      ReadSizeAfter(cursor, text, header.width, dataStart);
      found |= FOUND_WIDTH;
    } else {
      cursor.Skip();
    }
  }
  return true;
}

}  // namespace

bool ReadRadianceHeader(kor::IInputStream& stream, RadianceHeader& header) {
  KOR_GUARD_BEGIN
  header.gamma = 1.0f;
  header.exposure = 1.0f;
  header.width = 0;
  header.height = 0;
  header.dataStart = 0;
  kor::UString name = stream.GetName();
  stream.SeekToBegin();
  UHeaderParser parser(&stream, kor::TEXT_PARSER_GRAMMAR_HASH_COMMENT);
  kor::UTextParserCursor& cursor = parser.GetCursor();
  kor::UString word;
  cursor.ReadToken(word);
  if (!(word == "RADIANCE")) {
    kor::UMessageWriter(WarningChannel(), "File \"") << name << "\" doesn't seem to be a \"Radiance RGBE\" file.";
    return false;
  }
  int found = 0;
  int64_t dataStart = -1;
  if (!WalkTokens(cursor, parser.GetText(), name, header, found, dataStart)) return false;
  if ((found & FOUND_FORMAT) == 0) {
    ReportCantHandle(name, ". Can't determine the image format.");
    return false;
  }
  // A negative size, or a resolution line without its line break, leaves
  // no image whose pixels could be found.
  if ((found & FOUND_SIZES) != FOUND_SIZES || header.width < 0 || header.height < 0 || dataStart < 0) {
    ReportCantHandle(name, ". Can't determine the image dimensions.");
    return false;
  }
  header.dataStart = static_cast<uint64_t>(dataStart);
  stream.SeekForward(dataStart);
  return true;
  KOR_GUARD_END
}

}  // namespace lum
