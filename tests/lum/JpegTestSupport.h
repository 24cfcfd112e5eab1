// Shared by the JPEG and JNG tests: files of the test data, libjpeg and
// libpng as oracles, JNG files built chunk by chunk, and a named memory
// stream that can deliver less than it announces.
#pragma once

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/LData_Image.h"

typedef std::vector<unsigned char> Bytes;

inline std::string TestDataPath(const std::string& relative) { return std::string(LUM_TESTDATA_DIR) + "/" + relative; }

inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

#define SKIP_WITHOUT_TESTDATA(relative)                                                  \
  if (!std::filesystem::exists(TestDataPath(relative)))                                  \
  GTEST_SKIP() << "test data not found: " << TestDataPath(relative)

// A memory stream with a name, which may cut every read short after a
// number of bytes.
class TestStream : public kor::UStream_Memory {
 public:
  TestStream(const Bytes& bytes, const char* name = "test.jng", uint64_t deliverable = UINT64_MAX)
      : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name), m_deliverable(deliverable) {}
  kor::UString GetName() override { return kor::UString(m_name); }
  uint64_t Serialize(void* buffer, uint64_t size) override {
    uint64_t allowed = size < m_deliverable ? size : m_deliverable;
    uint64_t got = kor::UStream_Memory::Serialize(buffer, allowed);
    m_deliverable -= got;
    return got;
  }

 private:
  const char* m_name;
  uint64_t m_deliverable;
};

// Services of the test's own with a sink on the warnings channel; every
// test ends with all of its blocks returned to the pool.
class CodecTest : public ::testing::Test {
 protected:
  // The sink and its log come from the default services, so that the pool
  // of the test's own counts only what the code under test allocates. Both
  // are held by pointer: their destructors may raise, the fixture's may not.
  CodecTest()
      : sinkOwner(new RecordingSink("", &messages)), services(new ScopedTestServices), sink(*sinkOwner) {
    services->Services().GetChannel(7)->AddListener(&sink);
  }
  void TearDown() override {
    std::vector<std::string>().swap(messages);
    EXPECT_EQ(0, services->Pool().m_currentAllocations);
  }
  // The warnings as the channel delivers them, each on its own line.
  static std::string Warning(const std::string& text) { return "WARNING: " + text + "\r\n"; }

  std::vector<std::string> messages;
  std::unique_ptr<RecordingSink> sinkOwner;
  std::unique_ptr<ScopedTestServices> services;
  RecordingSink& sink;
};

// libjpeg's own decode with its default settings.
struct JpegPixels {
  int width = 0;
  int height = 0;
  int components = 0;
  Bytes pixels;
};

inline JpegPixels LibjpegDecode(const Bytes& jpeg) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), jpeg.size());
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  JpegPixels result;
  result.width = info.output_width;
  result.height = info.output_height;
  result.components = info.output_components;
  result.pixels.resize(size_t(result.width) * result.height * result.components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = result.pixels.data() + size_t(info.output_scanline) * result.width * result.components;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return result;
}

// libjpeg's own encode of packed rows; the bridge must write the same bytes.
inline Bytes LibjpegEncode(const Bytes& pixels, int width, int height, int components, J_COLOR_SPACE space,
                           int quality, const Bytes& comment = Bytes(),
                           const std::vector<int>& sampling = std::vector<int>()) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  if (space == JCS_UNKNOWN) jpeg_set_colorspace(&info, JCS_UNKNOWN);
  jpeg_set_quality(&info, quality, FALSE);
  // Horizontal and vertical sampling factors, component by component.
  for (size_t c = 0; 2 * c + 1 < sampling.size(); ++c) {
    info.comp_info[c].h_samp_factor = sampling[2 * c];
    info.comp_info[c].v_samp_factor = sampling[2 * c + 1];
  }
  jpeg_start_compress(&info, TRUE);
  if (!comment.empty()) jpeg_write_marker(&info, JPEG_COM, comment.data(), unsigned(comment.size()));
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + size_t(info.next_scanline) * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  Bytes result(out, out + outSize);
  jpeg_destroy_compress(&info);
  std::free(out);
  return result;
}

// Deterministic pixels with detail, so that streams are neither trivial nor
// all alike.
inline Bytes Pattern(int width, int height, int components, unsigned seed = 1) {
  Bytes pixels(size_t(width) * height * components);
  for (size_t i = 0; i < pixels.size(); ++i) {
    size_t pixel = i / components;
    unsigned x = unsigned(pixel % width), y = unsigned(pixel / width);
    pixels[i] = static_cast<unsigned char>((x * 7 + y * 3) ^ (seed * 37 + i % components * 85) ^ (x * y >> 3));
  }
  return pixels;
}

// A PNG decoded by libpng into 8-bit RGBA.
inline bool ReadPngRgba(const std::string& path, int& width, int& height, Bytes& rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(image));
  bool ok = png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
  width = int(image.width);
  height = int(image.height);
  return ok;
}

// ---------------------------------------------------------------------------
// JNG files chunk by chunk

inline void PutBigEndian32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

inline Bytes Chunk(const char* type, const Bytes& data) {
  Bytes chunk;
  PutBigEndian32(chunk, uint32_t(data.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  PutBigEndian32(chunk, uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))));
  return chunk;
}

struct Jhdr {
  uint32_t width = 16;
  uint32_t height = 8;
  unsigned char colorType = 10;
  unsigned char sampleDepth = 8;
  unsigned char alphaDepth = 8;
  unsigned char alphaCompression = 0;
  unsigned char alphaFilter = 0;
  unsigned char alphaInterlace = 0;

  Bytes Data() const {
    Bytes data;
    PutBigEndian32(data, width);
    PutBigEndian32(data, height);
    Bytes rest = {colorType, sampleDepth, 8, 0, alphaDepth, alphaCompression, alphaFilter, alphaInterlace};
    data.insert(data.end(), rest.begin(), rest.end());
    return data;
  }
};

inline Bytes JngFile(const std::vector<Bytes>& chunks) {
  Bytes file = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (const Bytes& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}

// Grey samples of depth bits (one value per pixel) as zlib-deflated PNG
// rows, each with filter type 0; 16-bit samples are big-endian.
inline Bytes DeflatedRows(const std::vector<unsigned>& samples, int width, int height, int depth) {
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    unsigned accumulator = 0;
    int bits = 0;
    for (int x = 0; x < width; ++x) {
      unsigned sample = samples[size_t(y) * width + x];
      if (depth == 16) {
        raw.push_back(static_cast<unsigned char>(sample >> 8));
        raw.push_back(static_cast<unsigned char>(sample));
        continue;
      }
      accumulator = (accumulator << depth) | sample;
      bits += depth;
      if (bits == 8) {
        raw.push_back(static_cast<unsigned char>(accumulator));
        accumulator = 0;
        bits = 0;
      }
    }
    if (bits > 0) raw.push_back(static_cast<unsigned char>(accumulator << (8 - bits)));
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes deflated(size);
  compress2(deflated.data(), &size, raw.data(), uLong(raw.size()), 9);
  deflated.resize(size);
  return deflated;
}
