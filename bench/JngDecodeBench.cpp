// JngDecode: our JNG reader beside libmng reading the same file, and beside
// libjpeg decoding the file's colour stream alone (the floor: a JNG read
// cannot beat the JPEG decode inside it). A file with alpha has a second
// floor, "alphafloor": the colour decoded as before and the alpha stream
// decoded after it by the fastest libraries at hand, libdeflate for deflated
// rows and libjpeg for a JPEG, neither unfiltered nor merged. Inputs: the
// test data's JNG files and large JNG files built here, with and without
// alpha. Throughput counts the decoded image at four bytes per pixel for all.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchInputs.h"
#include "JngColourStream.h"
#include "MngDecode.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Image/LLoader_Image_JNG.h"

namespace {

struct JngInput {
  std::string name;
  Bytes file;
  Bytes colourStream;  // the JDAT data, concatenated
  Bytes alphaStream;   // the IDAT or JDAA data, concatenated
  bool alphaIsJpeg = false;
  int width = 0;
  int height = 0;
};

// The JDAT data, the alpha data and the size from JHDR.
void TakeApart(JngInput& input) {
  JngColourStream colour;
  FindJngColourStream(input.file, colour);
  input.colourStream = std::move(colour.jpeg);
  input.alphaStream = std::move(colour.alpha);
  input.alphaIsJpeg = colour.alphaIsJpeg;
  input.width = colour.width;
  input.height = colour.height;
}

// ---------------------------------------------------------------------------
// Large files built chunk by chunk

void PutBigEndian32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutChunk(Bytes& file, const char* type, const unsigned char* data, size_t length) {
  size_t start = file.size();
  PutBigEndian32(file, uint32_t(length));
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data, data + length);
  PutBigEndian32(file, uint32_t(crc32(0, file.data() + start + 4, uInt(length + 4))));
}

// Large streams go into chunks of 32 KiB, as writers commonly split them.
void PutChunks(Bytes& file, const char* type, const Bytes& data) {
  for (size_t at = 0; at < data.size(); at += 32768)
    PutChunk(file, type, data.data() + at, std::min<size_t>(32768, data.size() - at));
}

Bytes EncodeJpeg(const Bytes& pixels, int width, int height, int components, int quality) {
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
  info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(info.next_scanline) * width * components]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  Bytes result(out, out + outSize);
  jpeg_destroy_compress(&info);
  std::free(out);
  return result;
}

// A photograph-like picture: smooth waves with a little noise.
Bytes Picture(int width, int height) {
  Bytes pixels(size_t(width) * height * 3);
  uint32_t noise = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &pixels[(size_t(y) * width + x) * 3];
      for (int c = 0; c < 3; ++c) {
        noise = noise * 1664525u + 1013904223u;
        double wave = std::sin(x * (0.011 + 0.004 * c) + y * 0.007) * std::cos(y * (0.013 - 0.003 * c));
        p[c] = static_cast<unsigned char>(std::clamp(128.0 + 100.0 * wave + double(noise >> 28), 0.0, 255.0));
      }
    }
  return pixels;
}

// A soft vignette: what an alpha channel usually looks like.
Bytes AlphaMask(int width, int height) {
  Bytes alpha(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double dx = (x - width / 2.0) / width, dy = (y - height / 2.0) / height;
      alpha[size_t(y) * width + x] = static_cast<unsigned char>(std::clamp(400.0 - 1200.0 * (dx * dx + dy * dy), 0.0, 255.0));
    }
  return alpha;
}

Bytes DeflatedRows(const Bytes& alpha, int width, int height) {
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), alpha.begin() + size_t(y) * width, alpha.begin() + size_t(y + 1) * width);
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes deflated(size);
  compress2(deflated.data(), &size, raw.data(), uLong(raw.size()), 6);
  deflated.resize(size);
  return deflated;
}

// alphaCompression: -1 none, 0 deflated rows (IDAT), 8 a JPEG stream (JDAA).
JngInput LargeJng(const std::string& name, int width, int height, int alphaCompression) {
  Bytes file = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes header;
  PutBigEndian32(header, uint32_t(width));
  PutBigEndian32(header, uint32_t(height));
  unsigned char colorType = alphaCompression < 0 ? 10 : 14;
  unsigned char method = alphaCompression < 0 ? 0 : static_cast<unsigned char>(alphaCompression);
  unsigned char alphaDepth = alphaCompression < 0 ? 0 : 8;
  header.insert(header.end(), {colorType, 8, 8, 0, alphaDepth, method, 0, 0});
  PutChunk(file, "JHDR", header.data(), header.size());
  if (alphaCompression == 0) PutChunks(file, "IDAT", DeflatedRows(AlphaMask(width, height), width, height));
  if (alphaCompression == 8) PutChunks(file, "JDAA", EncodeJpeg(AlphaMask(width, height), width, height, 1, 90));
  PutChunks(file, "JDAT", EncodeJpeg(Picture(width, height), width, height, 3, 85));
  PutChunk(file, "IEND", nullptr, 0);
  JngInput input;
  input.name = name;
  input.file = file;
  TakeApart(input);
  return input;
}

const std::vector<JngInput>& Inputs() {
  static const std::vector<JngInput> inputs = [] {
    std::vector<JngInput> all;
    std::string folder = std::string(LUM_TESTDATA_DIR) + "/imagemagick/jng";
    if (std::filesystem::exists(folder)) {
      std::vector<std::string> paths;
      for (const auto& entry : std::filesystem::directory_iterator(folder)) paths.push_back(entry.path().string());
      std::sort(paths.begin(), paths.end());
      for (const std::string& path : paths) {
        std::ifstream stream(path, std::ios::binary);
        JngInput input;
        input.name = std::filesystem::path(path).stem().string();
        input.file.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
        TakeApart(input);
        all.push_back(input);
      }
    }
    all.push_back(LargeJng("large-rgb", 2048, 1536, -1));
    all.push_back(LargeJng("large-rgb-idat", 2048, 1536, 0));
    all.push_back(LargeJng("large-rgb-jdaa", 2048, 1536, 8));
    return all;
  }();
  return inputs;
}

void SetThroughput(benchmark::State& state, const JngInput* input) {
  state.SetBytesProcessed(int64_t(state.iterations()) * input->width * input->height * 4);
}

// ---------------------------------------------------------------------------
// The three readers

void DecodeOurs(benchmark::State& state, const JngInput* input) {
  lum::LLoader_Image_JNG loader;
  for (auto _ : state) {
    kor::UStream_Memory stream(input->file.data(), input->file.size());
    lum::LData_Image image;
    if (!loader.Read(stream, image, nullptr)) state.SkipWithError("Read failed");
    benchmark::DoNotOptimize(image.imageData->pixels);
  }
  SetThroughput(state, input);
}

// libjpeg on a stream, into pixels kept across iterations, in pixels of
// the size a JNG reader hands on: a grey stream as one byte a pixel, a
// colour stream as four (red, green, blue and a fourth byte, as the floor
// program of the whole-process timings writes them, peers/JngFloor.cpp),
// not the three of libjpeg's default.
void DecodeJpeg(const Bytes& stream, Bytes& pixels) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, stream.data(), stream.size());
  jpeg_read_header(&info, TRUE);
  if (info.jpeg_color_space != JCS_GRAYSCALE) info.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  size_t stride = size_t(info.output_width) * info.output_components;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + info.output_scanline * stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  benchmark::DoNotOptimize(pixels.data());
}

// libjpeg on the colour stream alone.
void DecodeLibjpeg(benchmark::State& state, const JngInput* input) {
  Bytes pixels(size_t(input->width) * input->height * 4);
  for (auto _ : state) DecodeJpeg(input->colourStream, pixels);
  SetThroughput(state, input);
}

// The colour as above, then the alpha: its rows inflated by libdeflate (room
// for samples of up to 16 bits), or its JPEG stream decoded by libjpeg.
void DecodeAlphaFloor(benchmark::State& state, const JngInput* input) {
  Bytes pixels(size_t(input->width) * input->height * 4);
  Bytes alpha(size_t(input->height) * (2 * size_t(input->width) + 1));
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    DecodeJpeg(input->colourStream, pixels);
    if (input->alphaIsJpeg) {
      DecodeJpeg(input->alphaStream, alpha);
    } else {
      size_t produced = 0;
      if (libdeflate_zlib_decompress(inflater, input->alphaStream.data(), input->alphaStream.size(),
                                     alpha.data(), alpha.size(), &produced) != LIBDEFLATE_SUCCESS)
        state.SkipWithError("libdeflate failed");
      benchmark::DoNotOptimize(alpha.data());
    }
  }
  libdeflate_free_decompressor(inflater);
  SetThroughput(state, input);
}

void DecodeLibmng(benchmark::State& state, const JngInput* input) {
  MngSession session;
  session.file = &input->file;
  for (auto _ : state) {
    if (!MngDecode(session)) {
      state.SkipWithError(session.error.c_str());
      break;
    }
    benchmark::DoNotOptimize(session.canvas.data());
  }
  SetThroughput(state, input);
}

void Register(const BenchInputs&) {
  for (const JngInput& input : Inputs()) {
    benchmark::RegisterBenchmark(("JngDecode/ours/" + input.name).c_str(), DecodeOurs, &input);
    benchmark::RegisterBenchmark(("JngDecode/libmng/" + input.name).c_str(), DecodeLibmng, &input);
    benchmark::RegisterBenchmark(("JngDecode/libjpeg/" + input.name).c_str(), DecodeLibjpeg, &input);
    if (!input.alphaStream.empty())
      benchmark::RegisterBenchmark(("JngDecode/alphafloor/" + input.name).c_str(), DecodeAlphaFloor, &input);
  }
}

const BenchRegistrar registrar(Register);

}  // namespace
