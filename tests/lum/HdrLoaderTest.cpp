// The Radiance loader on files built here: headers in the forms the
// tokenizer meets (comments, single-digit sizes, values after '='), the
// messages, pixel data that starts with bytes the tokenizer skips, and
// scanlines stored flat, in the old run-length form and in the new one.
#include <cmath>
#include <cstring>
#include <random>

#include "GifHdrTestSupport.h"
#include "lum/Image/LLoader_Image_HDR.h"

namespace {

typedef std::vector<float> Floats;

const std::string HEADER = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n";
const std::string CANT = "Can't handle file \"sky.hdr. ";

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes File(int width, int height, const Bytes& data) {
  return Concat(Text(HEADER + "-Y " + std::to_string(height) + " +X " + std::to_string(width) + "\n"), data);
}

// Random pixels, a third of them repeating the one before, none starting
// a repeat (1, 1, 1) or a new-form marker (2, 2) by chance.
Bytes RandomRgbe(size_t pixels, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(4 * pixels);
  for (size_t at = 0; at < bytes.size(); at += 4) {
    for (int c = 0; c < 4; ++c) bytes[at + c] = uint8_t(random());
    bytes[at] |= 4;
    if (at > 0 && random() % 3 == 0) std::memcpy(&bytes[at], &bytes[at - 4], 4);
  }
  return bytes;
}

// Per component: runs of 3 or more as runs, the rest as literal stretches.
Bytes NewForm(const Bytes& rgbe, int width) {
  Bytes out;
  for (size_t line = 0; line < rgbe.size(); line += 4 * width) {
    out.insert(out.end(), {2, 2, uint8_t(width >> 8), uint8_t(width)});
    for (int c = 0; c < 4; ++c) {
      auto at = [&](int x) { return rgbe[line + 4 * x + c]; };
      auto runAt = [&](int x) { return x + 2 < width && at(x) == at(x + 1) && at(x) == at(x + 2); };
      for (int x = 0; x < width;) {
        int n = 1;
        if (runAt(x)) {
          while (x + n < width && n < 127 && at(x + n) == at(x)) ++n;
          out.insert(out.end(), {uint8_t(128 + n), at(x)});
        } else {
          while (x + n < width && n < 128 && !runAt(x + n)) ++n;
          out.push_back(uint8_t(n));
          for (int i = 0; i < n; ++i) out.push_back(at(x + i));
        }
        x += n;
      }
    }
  }
  return out;
}

// Repeats of the previous pixel as 1, 1, 1, n (counts above 255 in
// consecutive ones, low byte first), never at a scanline's start.
Bytes OldForm(const Bytes& rgbe, int width) {
  Bytes out;
  for (size_t line = 0; line < rgbe.size(); line += 4 * width)
    for (int x = 0, repeat; x < width; x += 1 + repeat) {
      const unsigned char* pixel = &rgbe[line + 4 * x];
      out.insert(out.end(), pixel, pixel + 4);
      for (repeat = 0; x + 1 + repeat < width && std::memcmp(pixel, pixel + 4 * (1 + repeat), 4) == 0;) ++repeat;
      for (int count = repeat; count > 0; count >>= 8) out.insert(out.end(), {1, 1, 1, uint8_t(count)});
    }
  return out;
}

Floats Expected(const Bytes& rgbe) {
  Floats out;
  for (size_t at = 0; at < rgbe.size(); at += 4) {
    double f = rgbe[at + 3] ? std::ldexp(1.0, rgbe[at + 3] - 136) : 0.0;
    out.insert(out.end(), {1.0f, float(rgbe[at + 2] * f), float(rgbe[at + 1] * f), float(rgbe[at] * f)});
  }
  return out;
}

Floats AsFloats(const Bytes& pixels) {
  Floats out(pixels.size() / 4);
  if (!out.empty()) std::memcpy(out.data(), pixels.data(), pixels.size());
  return out;
}

Decoded ReadHdr(const Bytes& file, bool infoOnly = false) {
  lum::LLoader_Image_HDR loader;
  return DecodeWith(loader, file, "sky.hdr", infoOnly);
}

}  // namespace

TEST(HdrHeader, SizesAndValuesAreReadFromTheTextAfterTheirWords) {
  // Single-digit sizes have no token of their own; nor has EXPOSURE's 1,
  // which must not take -Y with it.
  Bytes rgbe = RandomRgbe(6, 1);
  for (const std::string& header :
       {HEADER + "-Y 2 +X 3\n", std::string("#?RADIANCE\n# made by x\nEXPOSURE=1\nGAMMA=2.2\n# FORMAT=32-bit_rle_xyze\n"
                                "FORMAT=32-bit_rle_rgbe\nEXPOSURE= 1.5e+00 # c\n\n-Y 2 +X 3\n")}) {
    Decoded decoded = ReadHdr(Concat(Text(header), rgbe));
    ASSERT_TRUE(decoded.ok) << decoded.messages;
    EXPECT_EQ(lum::TEXTURE_FORMAT_A32B32G32R32F, decoded.format);
    EXPECT_EQ(3, decoded.width);
    EXPECT_EQ(2, decoded.height);
    EXPECT_EQ(Expected(rgbe), AsFloats(decoded.pixels));
    EXPECT_EQ("", decoded.messages);
    EXPECT_EQ(0, decoded.blocksLeft);
  }
  Decoded info = ReadHdr(Text(HEADER + "-Y 1080 +X 1920\n"), true);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(1920, info.width);
  EXPECT_EQ(1080, info.height);
  EXPECT_FALSE(info.hasPixels);
}

TEST(HdrHeader, MessagesWordForWord) {
  const std::string NOT_RADIANCE = "File \"sky.hdr\" doesn't seem to be a \"Radiance RGBE\" file.";
  const std::string DIMENSIONS = CANT + "Can't determine the image dimensions.";
  const std::pair<std::string, std::string> cases[] = {
      {"#?RGBE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n", NOT_RADIANCE},
      {"", NOT_RADIANCE},
      {"#?RADIANCE\nFORMAT=32-bit_rle_xyze\n\n-Y 2 +X 3\n", CANT + "It uses the unsupported format \"32-bit_rle_xyze\"."},
      {"#?RADIANCE\n\n-Y 2 +X 3\n", CANT + "Can't determine the image format."},
      {HEADER + "+Y 2 +X 3\n", DIMENSIONS},
      {HEADER + "-Y 2\n", DIMENSIONS},
      {HEADER + "-Y -2 +X 3\n", DIMENSIONS},
      {HEADER + "-Y 2 +X 3", DIMENSIONS},  // no line break ends it
  };
  for (const auto& [text, message] : cases)
    for (bool infoOnly : {false, true}) {
      Decoded decoded = ReadHdr(Text(text), infoOnly);
      EXPECT_FALSE(decoded.ok) << text;
      EXPECT_EQ(Warning(message), decoded.messages) << text;
    }

  lum::LLoader_Image_HDR loader;
  for (std::string start : {"#?RADIANCE", "#?RADIANC", "#?RGBE\n\n\n\n"}) {
    Bytes bytes = Text(start);
    NamedStream stream(bytes, "s");
    EXPECT_EQ(start == "#?RADIANCE", loader.CanRead(stream));
    EXPECT_EQ(0u, stream.GetPosition());
  }
  EXPECT_FALSE(loader.CanWrite(lum::TEXTURE_FORMAT_A32B32G32R32F));
}

TEST(HdrPixels, MantissasScaleByTheSharedExponent) {
  Decoded decoded = ReadHdr(File(3, 1, {128, 64, 0, 129, 255, 255, 255, 0, 1, 2, 3, 255}));
  ASSERT_TRUE(decoded.ok);
  const float big = std::ldexp(1.0f, 119);
  EXPECT_EQ(Floats({1, 0, 0.5f, 1, 1, 0, 0, 0, 1, 3 * big, 2 * big, big}), AsFloats(decoded.pixels));
}

TEST(HdrPixels, DataStartsAfterTheResolutionLineWhateverItsFirstBytes) {
  // White space, '=', '#', NUL, a lone byte, a word: the tokenizer skips or
  // swallows each; the pixels still start after the line break.
  const unsigned char firsts[][4] = {{' ', '\t', '\n', 130}, {'=', '=', 'a', 131}, {'#', '?', 'x', 132},
                                     {0, 0, 0, 0},           {'7', ' ', ' ', 133}, {'A', 'B', 'C', 134}};
  for (const auto& first : firsts)
    for (std::string line : {"-Y 2 +X 3\n", "-Y 2 +X 3 \r\n"}) {
      Bytes rgbe = Concat(Bytes(first, first + 4), RandomRgbe(5, first[0]));
      Decoded decoded = ReadHdr(Concat(Text(HEADER + line), rgbe));
      ASSERT_TRUE(decoded.ok) << int(first[0]);
      EXPECT_EQ(Expected(rgbe), AsFloats(decoded.pixels)) << int(first[0]);
    }
}

TEST(HdrPixels, FlatOldAndNewFormScanlinesInAnyMix) {
  for (int width : {2, 7, 8, 129, 300, 0x7FFF}) {
    Bytes rgbe = RandomRgbe(3u * width, width);
    // Long runs, above 255 pixels too, for the old form's shifted counts.
    for (size_t at = 4; at < rgbe.size() / 2; at += 4) std::memcpy(&rgbe[at], &rgbe[0], 4);
    auto line = [&](int y) { return Bytes(rgbe.begin() + 4 * width * y, rgbe.begin() + 4 * width * (y + 1)); };
    // Narrow scanlines can have no new form: there 2, 2, ... is a pixel.
    Bytes first = width < 8 ? line(0) : NewForm(line(0), width);
    for (const Bytes& data : {Concat(Concat(first, OldForm(line(1), width)), line(2)), OldForm(rgbe, width),
                              width < 8 ? rgbe : NewForm(rgbe, width)}) {
      Decoded decoded = ReadHdr(File(width, 3, data));
      ASSERT_TRUE(decoded.ok) << width;
      EXPECT_EQ(Expected(rgbe), AsFloats(decoded.pixels)) << width;
    }
  }
  Bytes narrow = {2, 2, 0, 4, 9, 9, 9, 140, 7, 7, 7, 150, 2, 2, 0, 4};
  EXPECT_EQ(Expected(narrow), AsFloats(ReadHdr(File(4, 1, narrow)).pixels));
  Decoded empty = ReadHdr(File(5, 0, {}));
  EXPECT_TRUE(empty.ok);
  EXPECT_FALSE(empty.hasPixels);
}

TEST(HdrPixels, ShortDataAndRunsPastTheirScanlineFail) {
  Bytes rgbe = RandomRgbe(20, 11);
  for (const Bytes& data : {rgbe, NewForm(rgbe, 10), OldForm(rgbe, 10)}) {
    EXPECT_TRUE(ReadHdr(Concat(File(10, 2, data), {1, 2, 3})).ok);  // bytes after the image are not looked at
    for (size_t cut = 1; cut < 8; ++cut) EXPECT_FALSE(ReadHdr(File(10, 2, Bytes(data.begin(), data.end() - cut))).ok);
  }
  Bytes otherWidth = {2, 2, 0, 9, 136, 1, 136, 1, 136, 1, 136, 1};
  Bytes shifted = {5, 5, 5, 5, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1};
  for (const Bytes& data : {Bytes{2, 2, 0, 8, 137, 5},                      // a new-form run of 9 in 8
                            Bytes{2, 2, 0, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9},  // a literal stretch of 9
                            otherWidth,                                     // a marker naming another width
                            Bytes{1, 1, 1, 3, 5, 5, 5, 5},                  // a repeat with nothing before it
                            Bytes{5, 5, 5, 5, 1, 1, 1, 8},                  // a repeat past the scanline
                            shifted})                                       // a count shifted past 32 bits
    EXPECT_FALSE(ReadHdr(File(8, 1, data)).ok);
  otherWidth[3] = 8;
  EXPECT_TRUE(ReadHdr(File(8, 1, otherWidth)).ok);
}
