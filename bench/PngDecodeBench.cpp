// PngDecode: our PNG reader, libpng, libspng and stb_image decoding the
// same files from memory, on the largest PNG files of the test data and on images of a
// few megapixels that libpng encodes here (colour with and without alpha),
// and on a 16 x 16 one.
// Every decoder makes a fresh image per iteration, in its own layout: ours
// the record's, the peers their natural one (libspng the samples as stored,
// as libpng gives them untransformed). Throughput counts the image's samples
// as the file stores them, the same figure for all four.
#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "BenchInputs.h"
#include "StbDecode.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Image/LLoader_Image_PNG.h"

namespace fs = std::filesystem;

namespace {

struct PngInput {
  std::string name;
  Bytes file;
  int64_t sampleBytes;  // height x row bytes, as decoded
};

// ---------------------------------------------------------------------------
// libpng, both ways

struct Reader {
  const Bytes* file;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep to, png_size_t size) {
  Reader* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (size > reader->file->size() - reader->at) png_error(png, "read past the end");
  std::memcpy(to, reader->file->data() + reader->at, size);
  reader->at += size;
}

void WriteToMemory(png_structp png, png_bytep from, png_size_t size) {
  Bytes* file = static_cast<Bytes*>(png_get_io_ptr(png));
  file->insert(file->end(), from, from + size);
}

void FlushNothing(png_structp) {}

// Decodes file into image (rows one after the other); false on any error.
bool DecodeWithLibpng(const Bytes& file, Bytes& image) {
  Reader reader{&file, 0};
  std::vector<png_bytep> rows;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  png_uint_32 height = png_get_image_height(png, info);
  image.resize(rowBytes * height);
  for (png_uint_32 y = 0; y < height; ++y) rows.push_back(image.data() + y * rowBytes);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// libspng's decode of file into image as stored (big-endian samples, rows
// one after the other); false on any error.
bool DecodeWithLibspng(const Bytes& file, Bytes& image) {
  spng_ctx* context = spng_ctx_new(0);
  if (context == nullptr) return false;
  size_t size = 0;
  bool ok = spng_set_png_buffer(context, file.data(), file.size()) == 0 &&
            spng_decoded_image_size(context, SPNG_FMT_RAW, &size) == 0;
  if (ok) {
    image.resize(size);
    ok = spng_decode_image(context, image.data(), size, SPNG_FMT_RAW, 0) == 0;
  }
  spng_ctx_free(context);
  return ok;
}

// libpng's default encoding (level 6, adaptive filters) of a synthetic
// picture: gradients, edges and noise, so that every filter gets chosen.
Bytes GeneratedPng(png_uint_32 width, png_uint_32 height, int channels) {
  std::mt19937 random(7);
  Bytes pixels(static_cast<size_t>(width) * height * channels);
  for (png_uint_32 y = 0; y < height; ++y)
    for (png_uint_32 x = 0; x < width; ++x) {
      unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * channels];
      bool disc = (x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) < height * height / 9;
      p[0] = static_cast<unsigned char>(x * 255 / width + random() % 6);
      p[1] = static_cast<unsigned char>(disc ? 200 + random() % 4 : y * 255 / height);
      p[2] = static_cast<unsigned char>(((x / 64) ^ (y / 64)) & 1 ? 30 : 220 + random() % 3);
      if (channels == 4) p[3] = static_cast<unsigned char>(disc ? 255 : (x + y) & 0xFF);
    }
  Bytes file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Bytes();
  }
  png_set_write_fn(png, &file, WriteToMemory, FlushNothing);
  png_set_IHDR(png, info, width, height, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (png_uint_32 y = 0; y < height; ++y) png_write_row(png, &pixels[static_cast<size_t>(y) * width * channels]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return file;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The largest test-data PNG files that libpng reads, and the generated ones.
const std::vector<PngInput>& Inputs() {
  static const std::vector<PngInput> inputs = [] {
    std::vector<PngInput> found;
    for (const char* folder : {"image-rs/images/png", "imagemagick/misc"}) {
      fs::path root = fs::path(LUM_TESTDATA_DIR) / folder;
      if (!fs::is_directory(root)) continue;
      for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() == ".png")
          found.push_back(PngInput{entry.path().filename().string(), ReadFile(entry.path()), 0});
    }
    std::sort(found.begin(), found.end(),
              [](const PngInput& a, const PngInput& b) { return a.file.size() > b.file.size(); });
    if (found.size() > 4) found.resize(4);
    found.push_back(PngInput{"generated-rgb-2048x1536", GeneratedPng(2048, 1536, 3), 0});
    found.push_back(PngInput{"generated-rgba-2048x1536", GeneratedPng(2048, 1536, 4), 0});
    // A small image, where the fixed cost of a decode shows.
    found.push_back(PngInput{"generated-rgba-16x16", GeneratedPng(16, 16, 4), 0});
    std::vector<PngInput> usable;
    for (PngInput& input : found) {
      Bytes image;
      if (!DecodeWithLibpng(input.file, image)) continue;
      input.sampleBytes = static_cast<int64_t>(image.size());
      usable.push_back(std::move(input));
    }
    return usable;
  }();
  return inputs;
}

// ---------------------------------------------------------------------------
// The four decoders

void DecodeOurs(benchmark::State& state, const PngInput* input) {
  lum::LLoader_Image_PNG loader;
  for (auto _ : state) {
    kor::UStream_Memory stream(input->file.data(), input->file.size());
    lum::LData_Image image;
    if (!loader.Read(stream, image, nullptr)) state.SkipWithError("Read failed");
    benchmark::DoNotOptimize(image.imageData->pixels);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->sampleBytes);
}

void DecodeLibpng(benchmark::State& state, const PngInput* input) {
  for (auto _ : state) {
    Bytes image;
    if (!DecodeWithLibpng(input->file, image)) state.SkipWithError("libpng failed");
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->sampleBytes);
}

void DecodeLibspng(benchmark::State& state, const PngInput* input) {
  for (auto _ : state) {
    Bytes image;
    if (!DecodeWithLibspng(input->file, image) || int64_t(image.size()) != input->sampleBytes) {
      state.SkipWithError("libspng failed");
      break;
    }
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->sampleBytes);
}

void DecodeStb(benchmark::State& state, const PngInput* input) {
  BenchmarkStbDecode(state, input->file, 0, input->sampleBytes);
}

void Register(const BenchInputs&) {
  for (const PngInput& input : Inputs()) {
    benchmark::RegisterBenchmark(("PngDecode/ours/" + input.name).c_str(), DecodeOurs, &input);
    benchmark::RegisterBenchmark(("PngDecode/libpng/" + input.name).c_str(), DecodeLibpng, &input);
    benchmark::RegisterBenchmark(("PngDecode/libspng/" + input.name).c_str(), DecodeLibspng, &input);
    benchmark::RegisterBenchmark(("PngDecode/stb/" + input.name).c_str(), DecodeStb, &input);
  }
}

const BenchRegistrar registrar(Register);

}  // namespace
