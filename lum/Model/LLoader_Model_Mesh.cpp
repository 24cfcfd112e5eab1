#include "lum/Model/LLoader_Model_Mesh.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UTextParser.h"
#include "lum/Model/LModelBinary.h"
#include "lum/Model/LModelMessages.h"
#include "lum/Model/LModelText.h"

namespace lum {

namespace {

typedef kor::UTextParser<kor::TextParserPolicy_ParseStream<unsigned char>> UStreamParser;

const char BINARY_SIGNATURE[7] = {'v', 'x', 'm', 'd', 'l', '_', 'b'};

bool HasBinarySignature(kor::IInputStream& stream) {
  unsigned char bytes[sizeof BINARY_SIGNATURE];
  uint64_t arrived = stream.Serialize(bytes, sizeof bytes);
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  return arrived == sizeof bytes && std::memcmp(bytes, BINARY_SIGNATURE, sizeof bytes) == 0;
}

// Takes the first two tokens; true when they are the text signature.
bool TakeTextSignature(kor::UTextParserCursor& cursor) {
  kor::UString first, second;
  cursor.ReadToken(first);
  cursor.ReadToken(second);
  return first == "signature" && second == "vxmdl_a";
}

}  // namespace

bool LLoader_Model_Mesh::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  if (HasBinarySignature(stream)) return true;
  UStreamParser parser(&stream, kor::TEXT_PARSER_GRAMMAR_BLOCK);
  // A text too tangled to read whole is no model this loader can read.
  return TakeTextSignature(parser.GetCursor()) && !parser.GetCursor().IsCutShort();
  KOR_GUARD_END
}

bool LLoader_Model_Mesh::ReadModel(kor::IInputStream& stream, LData_Model& data, bool infoOnly) {
  kor::UString name = stream.GetName();
  bool ok;
  if (HasBinarySignature(stream)) {
    ok = ReadModelBinary(stream, name, data, infoOnly);
  } else {
    // One tokenization serves the signature test and the walk: the two
    // signature tokens are no keywords.
    UStreamParser parser(&stream, kor::TEXT_PARSER_GRAMMAR_BLOCK);
    kor::UTextParserCursor& cursor = parser.GetCursor();
    ok = TakeTextSignature(cursor) ? ReadModelText(cursor, name, data, infoOnly)
                                   : RefuseModelFile(name, MODEL_WRONG_SIGNATURE);
  }
  data.hasSkeleton = data.numBones != 0;
  return ok;
}

bool LLoader_Model_Mesh::ReadInfo(kor::IInputStream& stream, LData_Model& data, const void*) {
  KOR_GUARD_BEGIN
  return ReadModel(stream, data, true);
  KOR_GUARD_END
}

bool LLoader_Model_Mesh::Read(kor::IInputStream& stream, LData_Model& data, const void*) {
  KOR_GUARD_BEGIN
  return ReadModel(stream, data, false);
  KOR_GUARD_END
}

bool LLoader_Model_Mesh::Write(kor::IOutputStream& stream, LData_Model& data, const void* options) {
  KOR_GUARD_BEGIN
  const unsigned char* form = static_cast<const unsigned char*>(options);
  return form != nullptr && *form != 0 ? WriteModelText(stream, data) : WriteModelBinary(stream, data);
  KOR_GUARD_END
}

bool LLoader_Model_Mesh::CanWrite(int value) { return value == 0 || value == 1; }

}  // namespace lum
