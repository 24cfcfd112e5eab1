// The PNG writer: its files read back through libpng and through our reader
// with the same samples, the chunks it writes byte by byte, and a stream
// that takes only part of the file makes the write fail.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <utility>

#include "WriterTestSupport.h"
#include "kor/Utils/UCompressor.h"
#include "lum/Image/LLoader_Image_PNG.h"

namespace {

lum::LLoader_Image_PNG loader;

const int WRITABLE[] = {lum::TEXTURE_FORMAT_A8B8G8R8, lum::TEXTURE_FORMAT_X8B8G8R8,
                        lum::TEXTURE_FORMAT_A16B16G16R16, lum::TEXTURE_FORMAT_A8,
                        lum::TEXTURE_FORMAT_L8, lum::TEXTURE_FORMAT_L16, lum::TEXTURE_FORMAT_A8L8};

struct LibpngImage {
  bool ok = false;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = -1, interlace = -1;
  Bytes samples;  // rows one after the other, as the file stores them
};

struct MemoryReader {
  const Bytes* file;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t size) {
  MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (size > reader->file->size() - reader->at) png_error(png, "read past the end");
  std::memcpy(out, reader->file->data() + reader->at, size);
  reader->at += size;
}

LibpngImage DecodeWithLibpng(const Bytes& file) {
  LibpngImage image;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryReader reader{&file, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    image.ok = false;
    return image;
  }
  png_set_read_fn(png, &reader, &ReadFromMemory);
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  image.width = png_get_image_width(png, info);
  image.height = png_get_image_height(png, info);
  image.bitDepth = png_get_bit_depth(png, info);
  image.colorType = png_get_color_type(png, info);
  image.interlace = png_get_interlace_type(png, info);
  png_bytepp rows = png_get_rows(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  for (png_uint_32 y = 0; y < image.height; ++y) image.samples.insert(image.samples.end(), rows[y], rows[y] + rowBytes);
  png_destroy_read_struct(&png, &info, nullptr);
  image.ok = true;
  return image;
}

void AppendWord(Bytes& out, const unsigned char* machineWord) {
  uint16_t word;
  std::memcpy(&word, machineWord, 2);
  out.push_back(static_cast<unsigned char>(word >> 8));
  out.push_back(static_cast<unsigned char>(word));
}

// The record's pixels in PNG sample order, worked out channel by channel.
Bytes PngSamples(const RecordPixels& record) {
  Bytes out;
  int pixelBytes = lum::LData_Image::BytesPerPixel(record.format);
  for (size_t at = 0; at < record.pixels.size(); at += pixelBytes) {
    const unsigned char* p = &record.pixels[at];
    switch (record.format) {
      case lum::TEXTURE_FORMAT_A8B8G8R8: out.insert(out.end(), {p[3], p[2], p[1], p[0]}); break;
      case lum::TEXTURE_FORMAT_X8B8G8R8: out.insert(out.end(), {p[3], p[2], p[1]}); break;
      case lum::TEXTURE_FORMAT_A16B16G16R16:
        for (int word = 3; word >= 0; --word) AppendWord(out, p + 2 * word);
        break;
      case lum::TEXTURE_FORMAT_L16: AppendWord(out, p); break;
      case lum::TEXTURE_FORMAT_A8L8: out.insert(out.end(), {p[1], p[0]}); break;
      default: out.push_back(p[0]);
    }
  }
  return out;
}

// Bit depth and colour type of each format's files; alpha-only is grey.
std::pair<int, int> DepthAndColourType(int format) {
  switch (format) {
    case lum::TEXTURE_FORMAT_A8B8G8R8: return {8, PNG_COLOR_TYPE_RGB_ALPHA};
    case lum::TEXTURE_FORMAT_X8B8G8R8: return {8, PNG_COLOR_TYPE_RGB};
    case lum::TEXTURE_FORMAT_A16B16G16R16: return {16, PNG_COLOR_TYPE_RGB_ALPHA};
    case lum::TEXTURE_FORMAT_L16: return {16, PNG_COLOR_TYPE_GRAY};
    case lum::TEXTURE_FORMAT_A8L8: return {8, PNG_COLOR_TYPE_GRAY_ALPHA};
    default: return {8, PNG_COLOR_TYPE_GRAY};
  }
}

// What our reader gives back: the filler reads as 255, alpha-only as grey.
int FormatBack(int format) { return format == lum::TEXTURE_FORMAT_A8 ? lum::TEXTURE_FORMAT_L8 : format; }
Bytes PixelsBack(const RecordPixels& record) {
  Bytes pixels = record.pixels;
  if (record.format == lum::TEXTURE_FORMAT_X8B8G8R8)
    for (size_t at = 0; at < pixels.size(); at += 4) pixels[at] = 255;
  return pixels;
}

lum::LImageSaveOptions TitleAndComment() {
  lum::LImageSaveOptions options;
  options.title = "A title";
  options.comment = "Two words";
  return options;
}

}  // namespace

TEST(PngWrite, CanWriteTheFormatsItHasColourTypesFor) {
  for (int format = 0; format <= lum::TEXTURE_FORMAT_NONE; ++format) {
    bool expected = std::find(std::begin(WRITABLE), std::end(WRITABLE), format) != std::end(WRITABLE);
    EXPECT_EQ(expected, loader.CanWrite(format)) << format;
  }
}

TEST(PngWrite, EveryFormatReadsBackThroughLibpngAndOurReader) {
  const int sizes[][2] = {{1, 1}, {2, 3}, {31, 7}, {64, 40}};
  for (int format : WRITABLE) {
    for (const auto& size : sizes) {
      SCOPED_TRACE(testing::Message() << "format " << format << ", " << size[0] << "x" << size[1]);
      RecordPixels record = PatternRecord(format, size[0], size[1], unsigned(format + size[0]));
      bool written = false;
      Bytes file = WriteWith(loader, record, nullptr, &written);
      ASSERT_TRUE(written);

      LibpngImage theirs = DecodeWithLibpng(file);
      ASSERT_TRUE(theirs.ok);
      EXPECT_EQ(png_uint_32(size[0]), theirs.width);
      EXPECT_EQ(png_uint_32(size[1]), theirs.height);
      EXPECT_EQ(PNG_INTERLACE_NONE, theirs.interlace);
      EXPECT_EQ(DepthAndColourType(format), std::make_pair(theirs.bitDepth, theirs.colorType));
      EXPECT_TRUE(PngSamples(record) == theirs.samples);

      Decoded ours = DecodeWith(loader, file, "written.png");
      ASSERT_TRUE(ours.ok) << ours.messages;
      EXPECT_EQ(FormatBack(format), ours.format);
      EXPECT_TRUE(PixelsBack(record) == ours.pixels);
    }
  }
}

TEST(PngWrite, ChunksOfASmallColourImage) {
  RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_X8B8G8R8, 2, 2);
  Bytes file = WriteWith(loader, record, nullptr);
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  ASSERT_GE(file.size(), 8u);
  EXPECT_EQ(0, std::memcmp(file.data(), signature, 8));
  std::vector<ParsedChunk> chunks = ParseChunks(file);
  ASSERT_EQ((std::vector<std::string>{"IHDR", "IDAT", "IEND"}), TypesOf(chunks));
  for (const ParsedChunk& chunk : chunks) EXPECT_TRUE(chunk.crcGood) << chunk.type;
  EXPECT_EQ((Bytes{0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0, 0}), chunks[0].data);

  // Two rows of filter byte 4 and six bytes, and the Adler-32 of those 14.
  const Bytes& zlib = chunks[1].data;
  ASSERT_GE(zlib.size(), 6u);
  EXPECT_EQ(0x78, zlib[0]);
  EXPECT_EQ(0xDA, zlib[1]);
  Bytes filtered;
  ASSERT_TRUE(ZlibInflate(zlib, filtered));
  ASSERT_EQ(14u, filtered.size());
  EXPECT_EQ(4, filtered[0]);
  EXPECT_EQ(4, filtered[7]);
  EXPECT_EQ(kor::ComputeAdler32(filtered.data(), 14), BigEndian32At(zlib, zlib.size() - 4));

  Bytes end(file.end() - 12, file.end());
  EXPECT_EQ((Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}), end);
}

TEST(PngWrite, OneTextChunkHoldsEverySetText) {
  RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_L8, 4, 4);
  lum::LImageSaveOptions none;
  EXPECT_EQ((std::vector<std::string>{"IHDR", "IDAT", "IEND"}), TypesOf(ParseChunks(WriteWith(loader, record, &none))));

  lum::LImageSaveOptions two = TitleAndComment();
  Bytes file = WriteWith(loader, record, &two);
  std::vector<ParsedChunk> chunks = ParseChunks(file);
  ASSERT_EQ((std::vector<std::string>{"IHDR", "tEXt", "IDAT", "IEND"}), TypesOf(chunks));
  EXPECT_TRUE(chunks[1].crcGood);
  std::string expected("Title\0A title\0Comment\0Two words\0", 32);
  EXPECT_EQ(expected, std::string(chunks[1].data.begin(), chunks[1].data.end()));
  EXPECT_TRUE(DecodeWithLibpng(file).ok);
}

TEST(PngWrite, FailsWhenTheStreamTakesOnlyPartOfTheFile) {
  RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_A8B8G8R8, 9, 9);
  lum::LImageSaveOptions texts = TitleAndComment();
  bool written = false;
  size_t whole = WriteWith(loader, record, &texts, &written).size();
  ASSERT_TRUE(written);
  // Inside the signature, each chunk's frame, data and CRC, and the last byte.
  for (size_t limit : {size_t(0), size_t(5), size_t(8), size_t(20), size_t(33), size_t(40), size_t(60), whole / 2,
                       whole - 12, whole - 1}) {
    WriteWith(loader, record, &texts, &written, limit);
    EXPECT_FALSE(written) << "limit " << limit << " of " << whole;
  }
}

TEST(PngWrite, NothingWithoutPixelsOrForAFormatWithoutColourType) {
  lum::LData_Image empty;
  empty.format = lum::TEXTURE_FORMAT_L8;
  MemoryOutput output;
  EXPECT_FALSE(loader.Write(output, empty, nullptr));
  empty.SetImageData(new lum::LData_ImagePart(2, 2));
  EXPECT_FALSE(loader.Write(output, empty, nullptr));
  EXPECT_TRUE(output.Written().empty());

  bool written = true;
  RecordPixels floats{lum::TEXTURE_FORMAT_R32F, 2, 2, Bytes(16)};
  Bytes file = WriteWith(loader, floats, nullptr, &written);
  EXPECT_FALSE(written);
  EXPECT_TRUE(file.empty());
}
