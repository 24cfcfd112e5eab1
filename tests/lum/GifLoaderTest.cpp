// The GIF loader on files built here with an LZW writer of the test's own:
// every code size, full tables with and without clear codes, extensions,
// interlacing, local tables, images placed on a larger or smaller screen,
// and broken code streams and block structures.
#include <map>
#include <random>

#include "GifHdrTestSupport.h"
#include "lum/Image/LLoader_Image_GIF.h"

namespace {

// A plain LZW writer, codes least significant bit first. Its next entry
// runs one ahead of the reader's, which makes its entry a code later.
// codesWhenFull: codes written with a full table before a clear (-1: none).
Bytes LzwEncode(const Bytes& indices, int codeSize, int codesWhenFull = 0, bool endCode = true) {
  Bytes out;
  uint64_t bits = 0;
  int bitCount = 0;
  const int clear = 1 << codeSize;
  int next = clear + 2, width = codeSize + 1, fullCodes = 0, prefix = -1;
  bool readerAdds = false;  // the reader makes no entry for a clear's first code
  std::map<std::pair<int, int>, int> table;
  auto put = [&](int code) {
    for (bits |= uint64_t(code) << bitCount, bitCount += width; bitCount >= 8; bits >>= 8, bitCount -= 8)
      out.push_back(static_cast<unsigned char>(bits));
  };
  put(clear);
  for (unsigned char index : indices) {
    auto known = table.find({prefix, index});
    if (prefix < 0 || known != table.end()) {
      prefix = prefix < 0 ? index : known->second;
      continue;
    }
    put(prefix);
    readerAdds = true;
    if (next < 4096) {
      table[{prefix, index}] = next++;
      if (next > (1 << width) && width < 12) ++width;
    } else if (codesWhenFull >= 0 && fullCodes++ == codesWhenFull) {
      put(clear);
      table.clear();
      next = clear + 2, width = codeSize + 1, fullCodes = 0, readerAdds = false;
    }
    prefix = index;
  }
  if (prefix >= 0) {
    int readerNext = readerAdds ? next : clear + 2;  // after this last code
    put(prefix);
    if (readerNext >= (1 << width) && width < 12) ++width;
  }
  if (endCode) put(clear + 1);
  if (bitCount > 0) out.push_back(static_cast<unsigned char>(bits));
  return out;
}

struct GifLayout {
  const char* signature = "GIF89a";
  int screenWidth = 4, screenHeight = 3, background = 0;
  Bytes globalTable;  // RGB triples, a power of two of them
  Bytes extensions;   // as written before the image
  int left = 0, top = 0, width = -1, height = -1;  // -1: the screen's
  bool interlaced = false;
  Bytes localTable;
  int codeSize = 8;
  Bytes data;  // the code stream, cut into sub-blocks of blockSize
  int blockSize = 255;
};

void Put16(Bytes& bytes, int value) { bytes.insert(bytes.end(), {uint8_t(value), uint8_t(value >> 8)}); }

int TableFlags(const Bytes& table) {
  int bits = 0;
  while ((6u << bits) < table.size()) ++bits;
  return table.empty() ? 0 : 0x80 | bits;
}

int Width(const GifLayout& s) { return s.width < 0 ? s.screenWidth : s.width; }
int Height(const GifLayout& s) { return s.height < 0 ? s.screenHeight : s.height; }

Bytes GifFile(const GifLayout& s) {
  Bytes file(s.signature, s.signature + 6);
  Put16(file, s.screenWidth);
  Put16(file, s.screenHeight);
  file.insert(file.end(), {uint8_t(TableFlags(s.globalTable)), uint8_t(s.background), 0});
  file.insert(file.end(), s.globalTable.begin(), s.globalTable.end());
  file.insert(file.end(), s.extensions.begin(), s.extensions.end());
  file.push_back(0x2C);
  for (int value : {s.left, s.top, Width(s), Height(s)}) Put16(file, value);
  file.push_back(uint8_t((s.interlaced ? 0x40 : 0) | TableFlags(s.localTable)));
  file.insert(file.end(), s.localTable.begin(), s.localTable.end());
  file.push_back(uint8_t(s.codeSize));
  for (size_t at = 0; at < s.data.size(); at += s.blockSize) {
    size_t length = std::min(s.data.size() - at, size_t(s.blockSize));
    file.push_back(uint8_t(length));
    file.insert(file.end(), s.data.begin() + at, s.data.begin() + at + length);
  }
  file.insert(file.end(), {0, 0x3B});
  return file;
}

Bytes RandomBytes(size_t count, int limit, uint32_t seed, bool blocky = false) {
  std::mt19937 random(seed);
  Bytes bytes;
  // Blocky bytes repeat, so that strings grow long.
  while (bytes.size() < count) bytes.insert(bytes.end(), blocky ? 1 + random() % 40 : 1, uint8_t(random() % limit));
  bytes.resize(count);
  return bytes;
}

// Filler 255, blue, green, red; black beyond the table.
Bytes Pixel(const Bytes& table, int index) {
  if (3 * index + 2 >= int(table.size())) return {255, 0, 0, 0};
  return {255, table[3 * index + 2], table[3 * index + 1], table[3 * index]};
}

// Background everywhere, then the first decoded pixels of the image (given
// in screen order) where they fall on the screen.
Bytes ExpectedScreen(const GifLayout& s, const Bytes& indices, int decoded = INT32_MAX) {
  Bytes screen;
  for (int i = 0; i < s.screenWidth * s.screenHeight; ++i) {
    Bytes background = Pixel(s.globalTable, s.background);
    screen.insert(screen.end(), background.begin(), background.end());
  }
  const Bytes& table = s.localTable.empty() ? s.globalTable : s.localTable;
  for (int i = 0; i < std::min(decoded, Width(s) * Height(s)); ++i) {
    int x = s.left + i % Width(s), y = s.top + i / Width(s);
    Bytes pixel = Pixel(table, indices[i]);
    if (x < s.screenWidth && y < s.screenHeight) std::copy(pixel.begin(), pixel.end(), &screen[4 * (y * s.screenWidth + x)]);
  }
  return screen;
}

GifLayout RandomLayout(int width, int height, int codeSize, uint32_t seed) {
  GifLayout layout;
  layout.screenWidth = width;
  layout.screenHeight = height;
  layout.globalTable = RandomBytes(3 << codeSize, 256, seed);
  layout.codeSize = codeSize;
  return layout;
}

Decoded ReadGif(const Bytes& file, const char* name = "image.gif", bool infoOnly = false) {
  lum::LLoader_Image_GIF loader;
  return DecodeWith(loader, file, name, infoOnly);
}

}  // namespace

TEST(GifDecode, EveryCodeSizeShapeAndFullTable) {
  const int shapes[][2] = {{1, 1}, {17, 5}, {300, 7}, {3, 400}, {200, 100}};
  uint32_t seed = 1;
  for (int codeSize = 1; codeSize <= 8; ++codeSize)
    for (const auto& shape : shapes)
      // The largest fills the 4096 entries: clear codes at once, later, or never.
      for (int codesWhenFull : shape[1] == 100 ? std::vector<int>{0, 300, -1} : std::vector<int>{0}) {
        GifLayout layout = RandomLayout(shape[0], shape[1], codeSize, ++seed);
        Bytes indices = RandomBytes(shape[0] * shape[1], 1 << codeSize, seed, seed % 2 == 0);
        layout.data = LzwEncode(indices, codeSize, codesWhenFull);
        layout.blockSize = 1 + seed % 255;
        Decoded decoded = ReadGif(GifFile(layout));
        ASSERT_TRUE(decoded.ok) << codeSize << " " << shape[0] << " " << codesWhenFull;
        EXPECT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, decoded.format);
        EXPECT_EQ(ExpectedScreen(layout, indices), decoded.pixels) << codeSize << " " << shape[0] << " " << codesWhenFull;
        EXPECT_EQ(0, decoded.blocksLeft);
      }
}

TEST(GifDecode, ExtensionsBeforeTheImageAreSkipped) {
  GifLayout layout = RandomLayout(6, 4, 3, 3);
  Bytes indices = RandomBytes(24, 8, 3);
  layout.data = LzwEncode(indices, 3);
  layout.extensions = {0x21, 0xF9, 4, 1, 0, 0, 2, 0,                          // graphic control
                     0x21, 0xFE, 2, 'h', 'i', 3, '!', '!', '!', 0,          // comment of two blocks
                     0x21, 0xFE, 0,                                         // empty: its first block ends it
                     0x21, 0xFF, 3, 'A', 'P', 'P', 3, 1, 0, 0, 0};          // application
  EXPECT_EQ(ExpectedScreen(layout, indices), ReadGif(GifFile(layout)).pixels);
}

TEST(GifDecode, InterlacedRowsAreReordered) {
  // 1 x 10: the rows, in the order they come, belong at 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  GifLayout layout = RandomLayout(1, 10, 4, 4);
  layout.interlaced = true;
  layout.data = LzwEncode({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 4);
  EXPECT_EQ(ExpectedScreen(layout, {0, 5, 3, 6, 2, 7, 4, 8, 1, 9}), ReadGif(GifFile(layout)).pixels);
}

TEST(GifDecode, LocalTablesAndPlacementOnTheScreen) {
  // Inside, across the right and bottom edges, wholly outside, empty.
  const int placements[][4] = {{1, 2, 3, 2}, {0, 0, 9, 7}, {4, 3, 5, 5}, {6, 0, 2, 2}, {1, 1, 0, 0}};
  uint32_t seed = 20;
  for (const auto& p : placements)
    for (bool local : {false, true}) {
      GifLayout layout = RandomLayout(6, 5, 4, ++seed);
      if (local) layout.localTable = RandomBytes(3 * 16, 256, seed + 100);
      layout.background = 3;
      layout.left = p[0], layout.top = p[1], layout.width = p[2], layout.height = p[3];
      Bytes indices = RandomBytes(p[2] * p[3], 16, seed);
      layout.data = LzwEncode(indices, 4);
      Decoded decoded = ReadGif(GifFile(layout));
      ASSERT_TRUE(decoded.ok);
      // The screen around the image keeps the global table's background.
      EXPECT_EQ(ExpectedScreen(layout, indices), decoded.pixels) << p[0] << "," << p[1] << " local " << local;
    }
}

TEST(GifDecode, IndicesBeyondTheTableOrWithoutOneAreBlack) {
  GifLayout layout = RandomLayout(4, 1, 3, 30);
  layout.globalTable.resize(6);  // two entries for indices up to 7
  layout.data = LzwEncode({0, 1, 2, 7}, 3);
  EXPECT_EQ(ExpectedScreen(layout, {0, 1, 2, 7}), ReadGif(GifFile(layout)).pixels);
  layout.globalTable.clear();
  layout.background = 200;
  Bytes black;
  for (int i = 0; i < 4; ++i) black.insert(black.end(), {255, 0, 0, 0});
  EXPECT_EQ(black, ReadGif(GifFile(layout)).pixels);
}

TEST(GifCodes, EarlyEndsAndSurplusData) {
  GifLayout layout = RandomLayout(8, 8, 8, 40);
  Bytes indices = RandomBytes(64, 256, 40);
  layout.data = LzwEncode(indices, 8, 0, false);  // no end code
  EXPECT_EQ(ExpectedScreen(layout, indices), ReadGif(GifFile(layout)).pixels);
  // An end code after 20 pixels: the rest of the image is background.
  layout.data = LzwEncode(Bytes(indices.begin(), indices.begin() + 20), 8);
  EXPECT_EQ(ExpectedScreen(layout, indices, 20), ReadGif(GifFile(layout)).pixels);
  // Data for 64 pixels into an image of 4: nothing written past them.
  layout.data = LzwEncode(indices, 8);
  layout.width = layout.height = 2;
  EXPECT_EQ(ExpectedScreen(layout, indices), ReadGif(GifFile(layout)).pixels);
}

TEST(GifCodes, CodesBeyondTheTableAndBadCodeSizesFail) {
  GifLayout layout = RandomLayout(4, 4, 2, 60);
  // Clear 4, end 5, next entry 6; codes of 3 bits.
  auto codes = [](std::initializer_list<int> list) {
    uint32_t bits = 0;
    int count = 0;
    for (int code : list) bits |= uint32_t(code) << (3 * count++);
    return Bytes{uint8_t(bits), uint8_t(bits >> 8)};
  };
  layout.data = codes({4, 1, 6, 5});  // the entry about to be made: 1 1, then 1
  Decoded decoded = ReadGif(GifFile(layout));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(ExpectedScreen(layout, {1, 1, 1}, 3), decoded.pixels);
  layout.data = codes({4, 1, 7, 5});  // beyond it
  EXPECT_FALSE(ReadGif(GifFile(layout)).ok);
  layout.data = codes({4, 6, 5});  // a string code with no previous string
  EXPECT_FALSE(ReadGif(GifFile(layout)).ok);
  for (int codeSize : {0, 9, 12}) {
    layout.codeSize = codeSize;
    EXPECT_FALSE(ReadGif(GifFile(layout)).ok) << codeSize;
  }
}

TEST(GifFile, SignatureMessageReadInfoAndCanRead) {
  GifLayout layout = RandomLayout(300, 2, 2, 100);
  layout.data = LzwEncode(Bytes(600, 1), 2);
  for (const char* signature : {"GIF88a", "GIF87b", "gif89a"}) {
    layout.signature = signature;
    for (bool infoOnly : {false, true}) {
      Decoded decoded = ReadGif(GifFile(layout), "dir/a.gif", infoOnly);
      EXPECT_FALSE(decoded.ok);
      EXPECT_EQ(Warning("\"dir/a.gif\"  is not a valid gif file"), decoded.messages) << signature;
    }
  }
  layout.signature = "GIF87a";
  Bytes file = GifFile(layout);
  Decoded info = ReadGif(Bytes(file.begin(), file.begin() + 13), "a.gif", true);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, info.format);
  EXPECT_EQ(300, info.width);
  EXPECT_EQ(2, info.height);
  EXPECT_FALSE(info.hasPixels);
  EXPECT_FALSE(ReadGif(Bytes(file.begin(), file.begin() + 12), "a.gif", true).ok);

  lum::LLoader_Image_GIF loader;
  for (size_t length : {13, 6, 5, 0}) {
    Bytes prefix(file.begin(), file.begin() + length);
    NamedStream stream(prefix, "s");
    EXPECT_EQ(length >= 6, loader.CanRead(stream));
    EXPECT_EQ(0u, stream.GetPosition());
  }
  EXPECT_FALSE(loader.CanWrite(lum::TEXTURE_FORMAT_X8B8G8R8));
}

TEST(GifFile, EmptyScreensMissingImagesAndBlocksPastTheEnd) {
  GifLayout layout = RandomLayout(0, 5, 2, 140);
  layout.width = layout.height = 2;
  layout.data = LzwEncode(Bytes(4, 1), 2);
  Decoded empty = ReadGif(GifFile(layout));
  EXPECT_TRUE(empty.ok);
  EXPECT_FALSE(empty.hasPixels);

  layout.screenWidth = 4;
  Bytes file = GifFile(layout);
  const size_t image = 13 + layout.globalTable.size();
  Bytes trailerOnly(file.begin(), file.begin() + image);
  trailerOnly.push_back(0x3B);
  Bytes longBlock = file;
  longBlock[image + 11] = 200;  // the first sub-block's length
  Bytes longExtension(file.begin(), file.begin() + image);
  longExtension.insert(longExtension.end(), {0x21, 0xFE, 9, 'a'});
  for (const Bytes& broken : {trailerOnly, longBlock, longExtension, Bytes(file.begin(), file.end() - 2),
                              Bytes(file.begin(), file.begin() + 20)})
    EXPECT_FALSE(ReadGif(broken).ok);
}
