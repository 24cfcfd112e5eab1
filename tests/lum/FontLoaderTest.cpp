// The font loader and its glyph atlas on the fonts of fonts-dejavu-core:
// names and counts checked against fc-query and against the font's own
// maxp and head tables, glyphs against FreeType's own rendering, and files
// cut short or damaged refused with a message.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Font/LFontAtlas.h"
#include "lum/Font/LLoader_Font_OpenType.h"
#include "lum/Font/LUtf8Text.h"

namespace {

namespace fs = std::filesystem;
typedef std::vector<unsigned char> Bytes;

const fs::path DEJAVU = "/usr/share/fonts/truetype/dejavu";

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  return parts;
}

// What fc-query reports of each face of a file: its families and styles.
struct FcFace {
  std::vector<std::string> families, styles;
};

std::vector<FcFace> FcQuery(const fs::path& path) {
  std::string command = "fc-query -f '%{family}|%{style}\\n' '" + path.string() + "' 2>/dev/null";
  std::vector<FcFace> faces;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return faces;
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  pclose(pipe);
  for (const std::string& line : Split(output, '\n')) {
    std::vector<std::string> fields = Split(line, '|');
    if (fields.size() == 2) faces.push_back({Split(fields[0], ','), Split(fields[1], ',')});
  }
  return faces;
}

// fc-query does not report glyph counts or units per em; the font's maxp
// and head tables hold them.
unsigned BigEndian16(const Bytes& bytes, size_t at) { return (unsigned(bytes.at(at)) << 8) | bytes.at(at + 1); }
uint32_t BigEndian32(const Bytes& bytes, size_t at) { return (BigEndian16(bytes, at) << 16) | BigEndian16(bytes, at + 2); }

size_t TableOffset(const Bytes& font, const char* tag) {
  for (unsigned table = 0; table < BigEndian16(font, 4); ++table) {
    size_t record = 12 + 16 * table;
    if (std::string(font.begin() + record, font.begin() + record + 4) == tag) return BigEndian32(font, record + 8);
  }
  ADD_FAILURE() << "no table " << tag;
  return 0;
}

// A collection of whole fonts: each font's bytes follow the header, with
// the offsets of its table directory moved by where it now starts.
Bytes MakeCollection(const std::vector<Bytes>& fonts) {
  Bytes file = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, static_cast<unsigned char>(fonts.size())};
  file.resize(12 + 4 * fonts.size());
  for (size_t index = 0; index < fonts.size(); ++index) {
    while (file.size() % 4 != 0) file.push_back(0);
    uint32_t start = uint32_t(file.size());
    for (int byte = 0; byte < 4; ++byte) file[12 + 4 * index + byte] = static_cast<unsigned char>(start >> (24 - 8 * byte));
    file.insert(file.end(), fonts[index].begin(), fonts[index].end());
    for (unsigned table = 0; table < BigEndian16(fonts[index], 4); ++table) {
      size_t field = start + 12 + 16 * table + 8;
      uint32_t moved = BigEndian32(file, field) + start;
      for (int byte = 0; byte < 4; ++byte) file[field + byte] = static_cast<unsigned char>(moved >> (24 - 8 * byte));
    }
  }
  return file;
}

class NamedStream : public kor::UStream_Memory {
 public:
  NamedStream(const Bytes& bytes, const std::string& name) : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name) {}
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>(m_name.c_str()); }

 private:
  std::string m_name;
};

std::string Warning(const std::string& text) { return "WARNING: " + text + "\r\n"; }

// Services of the test's own with channel 7 recorded; records made in a
// test body are gone before they are.
class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(DEJAVU / "DejaVuSans.ttf")) GTEST_SKIP() << "fonts-dejavu-core not installed at " << DEJAVU;
    m_services.reset(new ScopedTestServices);
    m_sink.reset(new RecordingSink);
    m_services->Services().GetChannel(7)->AddListener(m_sink.get());
  }
  void TearDown() override {
    if (m_services) m_services->Services().GetChannel(7)->RemoveListener(m_sink.get());
    m_services.reset();
  }

  bool ReadFont(const Bytes& file, const std::string& name, lum::LData_Font& font, bool infoOnly = false) {
    NamedStream stream(file, name);
    lum::LLoader_Font_OpenType loader;
    return infoOnly ? loader.ReadInfo(stream, font, nullptr) : loader.Read(stream, font, nullptr);
  }

  std::string Messages() {
    std::string text = m_sink->Text();
    m_sink->Clear();
    return text;
  }

  // Held by pointer: their destructors may raise.
  std::unique_ptr<ScopedTestServices> m_services;
  std::unique_ptr<RecordingSink> m_sink;
};

TEST_F(FontTest, NamesAndCountsAreThoseFcQueryAndTheTablesGive) {
  for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-ExtraLight.ttf", "DejaVuSerif-BoldItalic.ttf",
                           "DejaVuSansMono-Oblique.ttf", "DejaVuMathTeXGyre.ttf"}) {
    SCOPED_TRACE(name);
    fs::path path = DEJAVU / name;
    if (!fs::exists(path)) continue;
    Bytes file = ReadFile(path);
    std::vector<FcFace> faces = FcQuery(path);
    ASSERT_EQ(1u, faces.size()) << "fc-query found nothing";
    NamedStream probe(file, name);
    EXPECT_TRUE(lum::LLoader_Font_OpenType().CanRead(probe));
    EXPECT_EQ(0u, probe.GetPosition());
    for (bool infoOnly : {true, false}) {
      lum::LData_Font font;
      ASSERT_TRUE(ReadFont(file, name, font, infoOnly));
      EXPECT_EQ(faces[0].families[0], font.family.GetText());
      EXPECT_EQ(faces[0].styles[0], font.style.GetText());
      EXPECT_EQ(1, font.faceCount);
      EXPECT_EQ(int(BigEndian16(file, TableOffset(file, "maxp") + 4)), font.glyphCount);
      EXPECT_EQ(int(BigEndian16(file, TableOffset(file, "head") + 18)), font.unitsPerEm);
      EXPECT_GT(font.ascender, 0);
      EXPECT_LT(font.descender, 0);
      EXPECT_GE(font.lineHeight, font.ascender - font.descender);
      EXPECT_EQ(infoOnly ? Bytes() : file, Bytes(font.fileBytes.GetData(), font.fileBytes.GetData() + font.fileBytes.GetNum()));
      EXPECT_EQ("", Messages());
    }
  }
}

TEST_F(FontTest, ACollectionReportsItsFaces) {
  Bytes collection = MakeCollection({ReadFile(DEJAVU / "DejaVuSans.ttf"), ReadFile(DEJAVU / "DejaVuSansMono.ttf")});
  fs::path path = fs::temp_directory_path() / ("font-test-" + std::to_string(::getpid()) + ".ttc");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(collection.data()), collection.size());
  std::vector<FcFace> faces = FcQuery(path);
  fs::remove(path);
  ASSERT_EQ(2u, faces.size()) << "fc-query does not read the collection as two faces";
  lum::LData_Font font;
  ASSERT_TRUE(ReadFont(collection, "two.ttc", font));
  EXPECT_EQ(2, font.faceCount);
  EXPECT_EQ(faces[0].families[0], font.family.GetText());
  EXPECT_EQ("", Messages());
}

Bytes Cut(Bytes file, size_t keep) {
  file.resize(keep);
  return file;
}

Bytes Inverted(Bytes file, size_t from, size_t to) {
  for (size_t at = from; at < to && at < file.size(); ++at) file[at] = static_cast<unsigned char>(~file[at]);
  return file;
}

TEST_F(FontTest, FilesCutShortOrDamagedAreRefused) {
  Bytes sans = ReadFile(DEJAVU / "DejaVuSans.ttf");
  size_t directoryEnd = 12 + 16 * BigEndian16(sans, 4);
  const std::string corrupt = Warning("Can't handle file \"bad.ttf\". It is corrupt.");
  const std::string notFont = Warning("Can't handle \"bad.ttf\". This is not a font file");
  struct Case {
    const char* what;
    Bytes file;
    std::string message;
  } cases[] = {
      {"cut to half", Cut(sans, sans.size() / 2), corrupt},
      {"cut by a twentieth", Cut(sans, sans.size() - sans.size() / 20), corrupt},
      {"cut by one byte", Cut(sans, sans.size() - 1), corrupt},
      {"cut inside the header", Cut(sans, 6), corrupt},
      {"cut inside a collection's header", Cut(MakeCollection({sans}), 14), corrupt},
      {"every byte after the signature inverted", Inverted(sans, 4, sans.size()), corrupt},
      {"the table directory inverted", Inverted(sans, 12, directoryEnd), corrupt},
      {"no font signature", Inverted(sans, 0, 4), notFont},
      {"a signature cut short", Cut(sans, 3), notFont},
      {"empty", Bytes(), notFont},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    NamedStream probe(test.file, "bad.ttf");
    EXPECT_EQ(test.message != notFont, lum::LLoader_Font_OpenType().CanRead(probe));
    EXPECT_EQ(0u, probe.GetPosition());
    for (bool infoOnly : {true, false}) {
      lum::LData_Font font;
      EXPECT_FALSE(ReadFont(test.file, "bad.ttf", font, infoOnly));
      EXPECT_EQ(test.message, Messages());
      EXPECT_EQ(0, font.glyphCount);
      EXPECT_EQ(0, font.fileBytes.GetNum());
    }
  }
}

// FreeType's own drawing of a glyph, with the flags the atlas documents.
struct Reference {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  Reference(const Bytes& file, int pixelSize) {
    FT_Init_FreeType(&library);
    FT_New_Memory_Face(library, file.data(), FT_Long(file.size()), 0, &face);
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
  }
  ~Reference() {
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
  FT_GlyphSlot Draw(uint32_t character) {
    EXPECT_EQ(0, FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP));
    return face->glyph;
  }
};

// Every glyph of the atlas is FreeType's, in a cell of its own inside the
// image, and nothing is drawn outside the cells.
void CheckAtlas(const Bytes& file, const lum::LFontAtlas& atlas, const std::vector<uint32_t>& characters) {
  ASSERT_EQ(lum::TEXTURE_FORMAT_A8, atlas.image.format);
  ASSERT_NE(nullptr, atlas.image.imageData);
  const int width = atlas.image.imageData->width, height = atlas.image.imageData->height;
  const unsigned char* pixels = atlas.image.imageData->pixels;
  ASSERT_EQ(characters.size(), size_t(atlas.glyphs.GetNum()));
  Reference reference(file, atlas.pixelSize);
  std::vector<int> owner(size_t(width) * height, -1);
  for (int i = 0; i < atlas.glyphs.GetNum(); ++i) {
    const lum::LFontGlyph& glyph = atlas.glyphs[i];
    SCOPED_TRACE(glyph.character);
    EXPECT_EQ(characters[i], glyph.character);
    FT_GlyphSlot slot = reference.Draw(glyph.character);
    EXPECT_EQ(FT_Get_Char_Index(reference.face, glyph.character), glyph.glyphIndex);
    EXPECT_EQ(slot->advance.x, glyph.advance);
    EXPECT_EQ(slot->bitmap_left, glyph.bearingX);
    EXPECT_EQ(slot->bitmap_top, glyph.bearingY);
    // A bitmap without width or height takes no room.
    bool blank = slot->bitmap.width == 0 || slot->bitmap.rows == 0;
    ASSERT_EQ(blank ? 0 : int(slot->bitmap.width), glyph.width);
    ASSERT_EQ(blank ? 0 : int(slot->bitmap.rows), glyph.height);
    ASSERT_TRUE(glyph.x >= 0 && glyph.y >= 0 && glyph.x + glyph.width <= width && glyph.y + glyph.height <= height);
    for (int row = 0; row < glyph.height; ++row) {
      for (int column = 0; column < glyph.width; ++column) {
        size_t at = size_t(glyph.y + row) * width + glyph.x + column;
        ASSERT_EQ(-1, owner[at]) << "cells overlap";
        owner[at] = i;
        ASSERT_EQ(slot->bitmap.buffer[row * slot->bitmap.pitch + column], pixels[at]);
      }
    }
  }
  for (size_t at = 0; at < owner.size(); ++at) {
    if (owner[at] < 0) {
      ASSERT_EQ(0, pixels[at]) << "drawn outside every cell at " << at;
    }
  }
}

TEST_F(FontTest, AnAtlasHoldsEachDistinctCharacterOnceAsFreeTypeDrawsIt) {
  Bytes file = ReadFile(DEJAVU / "DejaVuSans.ttf");
  lum::LData_Font font;
  ASSERT_TRUE(ReadFont(file, "DejaVuSans.ttf", font));
  struct Case {
    const char* text;
    int pixelSize;
    std::vector<uint32_t> characters;
  } cases[] = {
      {"AVAVA To", 32, {'A', 'V', ' ', 'T', 'o'}},
      {"gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xE2\x82\xAC", 9, {'g', 'r', 0xFC, 0xDF, ' ', 0x20AC}},
      {"\xFF!\x80", 48, {0xFFFD, '!'}},
      {"   ", 20, {' '}},
      {"\xF0\x9F\x82\xA1\xE4\xB8\x80", 16, {0x1F0A1, 0x4E00}},  // a playing card, and a character DejaVu lacks
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text);
    lum::LFontAtlas atlas;
    ASSERT_TRUE(lum::RenderFontAtlas(font, test.text, test.pixelSize, atlas));
    EXPECT_EQ(test.pixelSize, atlas.pixelSize);
    CheckAtlas(file, atlas, test.characters);
    EXPECT_EQ("", Messages());
  }
  lum::LFontAtlas ascii;
  ASSERT_TRUE(lum::RenderFontAtlas(font, 0x20, 0x7E, 32, ascii));
  std::vector<uint32_t> printable;
  for (uint32_t character = 0x20; character <= 0x7E; ++character) printable.push_back(character);
  CheckAtlas(file, ascii, printable);
  Reference reference(file, 32);
  EXPECT_EQ(reference.face->size->metrics.height, ascii.lineHeight);
  EXPECT_EQ(reference.face->size->metrics.ascender, ascii.ascender);
  EXPECT_EQ(reference.face->size->metrics.descender, ascii.descender);
}

// The font with the outline of one glyph replaced, in place, by a line
// without height from x 0 to 1000.
Bytes WithFlatGlyph(Bytes font, unsigned glyphIndex) {
  bool longOffsets = BigEndian16(font, TableOffset(font, "head") + 50) != 0;
  size_t loca = TableOffset(font, "loca");
  size_t offset = longOffsets ? BigEndian32(font, loca + 4 * glyphIndex) : 2 * BigEndian16(font, loca + 2 * glyphIndex);
  // One contour of two points on the curve, both y the same as before (0).
  const unsigned char line[] = {0, 1, 0, 0, 0, 0, 0x03, 0xE8, 0, 0, 0, 1, 0, 0, 0x21, 0x21, 0, 0, 0x03, 0xE8};
  std::copy(std::begin(line), std::end(line), font.begin() + TableOffset(font, "glyf") + offset);
  return font;
}

TEST_F(FontTest, AGlyphWithoutHeightHasAnEmptyCell) {
  Bytes sans = ReadFile(DEJAVU / "DejaVuSans.ttf");
  Bytes file = WithFlatGlyph(sans, FT_Get_Char_Index(Reference(sans, 12).face, 'A'));
  lum::LData_Font font;
  ASSERT_TRUE(ReadFont(file, "flat.ttf", font));
  lum::LFontAtlas atlas;
  ASSERT_TRUE(lum::RenderFontAtlas(font, "A", 40, atlas));
  ASSERT_EQ(1, atlas.glyphs.GetNum());
  EXPECT_GT(Reference(file, 40).Draw('A')->bitmap.width, 0u) << "FreeType no longer gives the line a width";
  EXPECT_EQ(0, atlas.glyphs[0].width);
  CheckAtlas(file, atlas, {'A'});
}

TEST_F(FontTest, AnAtlasListsEveryKerningPairFreeTypeGives) {
  Bytes file = ReadFile(DEJAVU / "DejaVuSans.ttf");
  lum::LData_Font font;
  ASSERT_TRUE(ReadFont(file, "DejaVuSans.ttf", font));
  if (!font.hasKerning) GTEST_SKIP() << "this DejaVu Sans has no kerning table";
  lum::LFontAtlas atlas;
  const std::string text = "AVTaoyW.,L'";
  ASSERT_TRUE(lum::RenderFontAtlas(font, text.c_str(), 40, atlas));
  Reference reference(file, 40);
  std::set<std::vector<long>> expected, listed;
  for (char left : text)
    for (char right : text) {
      FT_Vector kerning;
      FT_Get_Kerning(reference.face, FT_Get_Char_Index(reference.face, FT_ULong(left)),
                     FT_Get_Char_Index(reference.face, FT_ULong(right)), FT_KERNING_DEFAULT, &kerning);
      if (kerning.x != 0) expected.insert({left, right, kerning.x});
    }
  for (int i = 0; i < atlas.kernings.GetNum(); ++i)
    listed.insert({long(atlas.kernings[i].left), long(atlas.kernings[i].right), long(atlas.kernings[i].amount)});
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(expected, listed);
}

TEST_F(FontTest, AtlasesBeyondTheLimitsAreRefusedLeavingTheAtlasAsItWas) {
  Bytes file = ReadFile(DEJAVU / "DejaVuSans.ttf");
  lum::LData_Font font, namesOnly;
  ASSERT_TRUE(ReadFont(file, "DejaVuSans.ttf", font));
  ASSERT_TRUE(ReadFont(file, "DejaVuSans.ttf", namesOnly, true));
  std::string start = "Can't draw font \"DejaVuSans.ttf\". ";
  struct Case {
    const char* what;
    const lum::LData_Font& font;
    uint32_t first, last;
    int pixelSize;
    std::string message;
  } cases[] = {
      {"pixel size 0", font, 'A', 'Z', 0, "The pixel size is out of range."},
      {"pixel size beyond the largest", font, 'A', 'Z', lum::FONT_ATLAS_LARGEST_PIXEL_SIZE + 1, "The pixel size is out of range."},
      {"more characters than an atlas holds", font, 0, lum::FONT_ATLAS_MOST_GLYPHS, 12, "The text holds too many characters."},
      {"every character there is", font, 0, 0xFFFFFFFF, 12, "The text holds too many characters."},
      {"an image beyond the largest side", font, 0x2500, 0x25FF, lum::FONT_ATLAS_LARGEST_PIXEL_SIZE, "The atlas would be too large."},
      {"a record read without its bytes", namesOnly, 'A', 'Z', 12, "The font was read without its glyphs."},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    lum::LFontAtlas atlas;
    EXPECT_FALSE(lum::RenderFontAtlas(test.font, test.first, test.last, test.pixelSize, atlas));
    EXPECT_EQ(Warning(start + test.message), Messages());
    EXPECT_EQ(nullptr, atlas.image.imageData);
    EXPECT_EQ(0, atlas.glyphs.GetNum());
  }
}

TEST(Utf8Text, BrokenSequencesReadAsReplacementCharacters) {
  const uint32_t R = lum::REPLACEMENT_CHARACTER;
  struct Case {
    const char* text;
    std::vector<uint32_t> characters;
  } cases[] = {
      {"", {}},
      {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {'a', 0xE9, 0x20AC, 0x1F600}},
      {"\xF4\x8F\xBF\xBF\xEF\xBF\xBF", {0x10FFFF, 0xFFFF}},
      {"\x80z", {R, 'z'}},                      // a continuation byte alone
      {"\xE2\x82", {R, R}},                     // cut short at the end
      {"\xE2\x82z", {R, R, 'z'}},               // cut short before another character
      {"\xC0\xAF\xE0\x80\xAF", {R, R, R, R, R}},  // overlong forms
      {"\xED\xA0\x80", {R, R, R}},              // a surrogate
      {"\xF4\x90\x80\x80\xF5\xFF", {R, R, R, R, R, R}},  // beyond U+10FFFF
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text);
    std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
    kor::UArray<uint32_t> characters;
    lum::DecodeUtf8(test.text, characters);
    EXPECT_EQ(test.characters, std::vector<uint32_t>(characters.GetData(), characters.GetData() + characters.GetNum()));
  }
}

}  // namespace
