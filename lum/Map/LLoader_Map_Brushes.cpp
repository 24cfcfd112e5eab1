#include "lum/Map/LLoader_Map_Brushes.h"

#include "kor/ErrorDescription.h"
#include "kor/Utils/UTextParser.h"
#include "lum/Image/LImageWarning.h"

namespace lum {

namespace {

typedef kor::UTextParser<kor::TextParserPolicy_ParseStream<unsigned char>> UMapParser;

bool Refuse(const kor::UString& name, const char* ending) {
  WarnAboutImage("Can't handle file \"", name, ending);
  return false;
}

bool TakeSignature(kor::UTextParserCursor& cursor) {
  kor::UString first, second;
  cursor.ReadToken(first);
  cursor.ReadToken(second);
  return first == "signature" && second == "vxmap";
}

// A count of records: never negative, and never more than the text has
// tokens, so that a small file cannot ask for a huge array.
bool ReadCount(kor::UTextParserCursor& cursor, int& count) {
  cursor.ReadInt(count);
  return count >= 0 && count <= cursor.GetTokenCount();
}

// An index into an array of count records.
bool ReadIndex(kor::UTextParserCursor& cursor, int count, int& index) {
  cursor.ReadInt(index);
  return index >= 0 && index < count;
}

// Missing tokens read as zeros and an empty name: a block that runs out
// early still gives every plane it announced.
void ReadPlane(kor::UTextParserCursor& cursor, LMapPlane& plane) {
  cursor.ReadFloat3(plane.vectorA);
  cursor.ReadFloat(plane.valueB);
  cursor.ReadFloat3(plane.vectorC);
  cursor.ReadFloat3(plane.vectorD);
  plane.vectorE[0] = 0;
  plane.vectorE[1] = 0;
  plane.vectorE[2] = 1;
  cursor.ReadToken(plane.name);
  int number;
  cursor.ReadInt(number);
  plane.number = number;
}

// "convexBrush" k p { planes }. The plane count may not exceed the block's
// tokens: a plane takes at least one.
bool ReadConvex(kor::UTextParserCursor& cursor, LMapBrush& brush) {
  int index, planes;
  if (!ReadIndex(cursor, brush.numConvexParts, index)) return false;
  cursor.ReadInt(planes);
  kor::UString inside;
  cursor.ReadToken(inside);
  UMapParser parser(inside);
  kor::UTextParserCursor& entries = parser.GetCursor();
  if (entries.IsCutShort() || planes < 0 || planes > entries.GetTokenCount()) return false;
  LMapConvex& convex = brush.convexParts[index];
  convex.NewPlanes(planes);
  for (int i = 0; i < planes; ++i) ReadPlane(entries, convex.planes[i]);
  return true;
}

bool ReadBrushBlock(const kor::UString& block, LMapBrush& brush) {
  UMapParser parser(block);
  kor::UTextParserCursor& cursor = parser.GetCursor();
  if (cursor.IsCutShort()) return false;
  kor::UString word;
  while (cursor.HasToken()) {
    cursor.ReadToken(word);
    if (word == "numConvexBrushes") {
      int count;
      if (!ReadCount(cursor, count)) return false;
      brush.NewConvexParts(count);
    } else if (word == "convexBrush") {
      if (!ReadConvex(cursor, brush)) return false;
    }
  }
  return true;
}

// "brush" i { ... }; only the counts when infoOnly.
bool ReadBrush(kor::UTextParserCursor& cursor, LData_Map& data, bool infoOnly) {
  if (infoOnly) {
    cursor.SkipTwo();
    return true;
  }
  int index;
  if (!ReadIndex(cursor, data.numBrushes, index)) return false;
  kor::UString block;
  cursor.ReadToken(block);
  return ReadBrushBlock(block, data.brushes[index]);
}

// The top-level tokens after the signature; false after a message.
bool WalkMap(kor::UTextParserCursor& cursor, const kor::UString& name, LData_Map& data, bool infoOnly) {
  kor::UString word;
  while (cursor.HasToken()) {
    cursor.ReadToken(word);
    if (word == "version") {
      cursor.ReadToken(word);
      if (word != "1") return Refuse(name, "\". Wrong file version information.");
    } else if (word == "numBrushes" || word == "numEntities") {
      int count;
      if (!ReadCount(cursor, count)) return Refuse(name, "\". Some data is missing or corrupt.");
      if (word == "numBrushes") data.NewBrushes(count);
      else data.NewEntities(count);
    } else if (word == "brush") {
      if (!ReadBrush(cursor, data, infoOnly)) return Refuse(name, "\". Some data is missing or corrupt.");
    } else if (word == "entity") {
      // Only the index is taken: the block that follows is skipped with
      // the other tokens, and nothing of it is stored.
      cursor.Skip();
    }
  }
  return true;
}

bool ReadMap(kor::IInputStream& stream, LData_Map& data, bool infoOnly) {
  kor::UString name = stream.GetName();
  UMapParser parser(&stream, kor::TEXT_PARSER_GRAMMAR_BLOCK);
  kor::UTextParserCursor& cursor = parser.GetCursor();
  if (!TakeSignature(cursor)) return Refuse(name, "\". Wrong file signature.");
  if (cursor.IsCutShort()) return Refuse(name, "\". Some data is missing or corrupt.");
  bool ok = WalkMap(cursor, name, data, infoOnly);
  data.flags = 0;
  return ok;
}

}  // namespace

bool LLoader_Map_Brushes::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  UMapParser parser(&stream, kor::TEXT_PARSER_GRAMMAR_BLOCK);
  // A text too tangled to read whole is no map this loader can read.
  return TakeSignature(parser.GetCursor()) && !parser.GetCursor().IsCutShort();
  KOR_GUARD_END
}

bool LLoader_Map_Brushes::ReadInfo(kor::IInputStream& stream, LData_Map& data, const void*) {
  KOR_GUARD_BEGIN
  return ReadMap(stream, data, true);
  KOR_GUARD_END
}

bool LLoader_Map_Brushes::Read(kor::IInputStream& stream, LData_Map& data, const void*) {
  KOR_GUARD_BEGIN
  return ReadMap(stream, data, false);
  KOR_GUARD_END
}

bool LLoader_Map_Brushes::Write(kor::IOutputStream&, LData_Map&, const void*) { return false; }

bool LLoader_Map_Brushes::CanWrite(int value) { return value == 0; }

}  // namespace lum
