// GifDecode: our GIF loader, giflib and stb_image decoding the same files
// from memory: the largest GIF files of the test data and a picture of a
// megapixel that giflib encodes here. Every decoder makes a fresh image of
// 4-byte pixels per iteration: ours the record's, giflib its indices mapped
// through the colour table (as ours does), stb_image RGBA. Throughput counts
// the screen's pixels at 4 bytes, the same figure for all three.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "BenchInputs.h"
#include "StbDecode.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Image/LLoader_Image_GIF.h"

namespace fs = std::filesystem;

namespace {

struct GifInput {
  std::string name;
  Bytes file;
  int64_t screenBytes;  // width x height x 4
};

// ---------------------------------------------------------------------------
// giflib, both ways

struct Reader {
  const Bytes* file;
  size_t at;
};

int ReadFromMemory(GifFileType* gif, GifByteType* to, int size) {
  Reader* reader = static_cast<Reader*>(gif->UserData);
  size_t count = std::min(static_cast<size_t>(size), reader->file->size() - reader->at);
  std::memcpy(to, reader->file->data() + reader->at, count);
  reader->at += count;
  return static_cast<int>(count);
}

int WriteToMemory(GifFileType* gif, const GifByteType* from, int size) {
  Bytes* file = static_cast<Bytes*>(gif->UserData);
  file->insert(file->end(), from, from + size);
  return size;
}

// The first image's rows as indices (interlaced ones in file order, as
// giflib hands them), then mapped to 4-byte pixels on the screen.
bool DecodeWithGiflib(const Bytes& file, Bytes& pixels) {
  Reader reader{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (gif == nullptr) return false;
  bool ok = false;
  GifRecordType type;
  while (DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
    if (type == EXTENSION_RECORD_TYPE) {
      int code;
      GifByteType* block;
      if (DGifGetExtension(gif, &code, &block) != GIF_OK) break;
      while (block != nullptr)
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) break;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) != GIF_OK) break;
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    int width = gif->SWidth, height = gif->SHeight;
    pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    std::vector<GifPixelType> row(image.Width);
    ok = true;
    for (int y = 0; ok && y < image.Height; ++y) {
      ok = DGifGetLine(gif, row.data(), image.Width) == GIF_OK;
      int sy = image.Top + y;
      for (int x = 0; ok && sy < height && x < image.Width && image.Left + x < width; ++x) {
        unsigned char* p = &pixels[(static_cast<size_t>(sy) * width + image.Left + x) * 4];
        const GifColorType* colour = map && row[x] < map->ColorCount ? &map->Colors[row[x]] : nullptr;
        p[0] = 255;
        p[1] = colour ? colour->Blue : 0;
        p[2] = colour ? colour->Green : 0;
        p[3] = colour ? colour->Red : 0;
      }
    }
    break;
  }
  DGifCloseFile(gif, &error);
  return ok;
}

// giflib's encoding of a 256-colour picture: gradients, a disc and noise.
Bytes GeneratedGif(int width, int height) {
  std::mt19937 random(7);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i) map->Colors[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                                                  static_cast<GifByteType>((i * 7) & 0xFF)};
  Bytes file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, WriteToMemory, &error);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
  std::vector<GifPixelType> row(width);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bool disc = (x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) < height * height / 9;
      row[x] = static_cast<GifPixelType>(disc ? 200 + random() % 4 : (x * 128 / width + y * 64 / height + random() % 3));
    }
    EGifPutLine(gif, row.data(), width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return file;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The two largest test-data GIF files that giflib reads, and the generated one.
const std::vector<GifInput>& Inputs() {
  static const std::vector<GifInput> inputs = [] {
    std::vector<GifInput> found;
    for (const char* folder : {"image-rs/images/gif", "imagemagick/misc"}) {
      fs::path root = fs::path(LUM_TESTDATA_DIR) / folder;
      if (!fs::is_directory(root)) continue;
      for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() == ".gif")
          found.push_back(GifInput{entry.path().filename().string(), ReadFile(entry.path()), 0});
    }
    std::sort(found.begin(), found.end(),
              [](const GifInput& a, const GifInput& b) { return a.file.size() > b.file.size(); });
    if (found.size() > 2) found.resize(2);
    found.push_back(GifInput{"generated-1024x1024", GeneratedGif(1024, 1024), 0});
    std::vector<GifInput> usable;
    for (GifInput& input : found) {
      Bytes pixels;
      if (!DecodeWithGiflib(input.file, pixels)) continue;
      input.screenBytes = static_cast<int64_t>(pixels.size());
      usable.push_back(std::move(input));
    }
    return usable;
  }();
  return inputs;
}

// ---------------------------------------------------------------------------
// The three decoders

void DecodeOurs(benchmark::State& state, const GifInput* input) {
  lum::LLoader_Image_GIF loader;
  for (auto _ : state) {
    kor::UStream_Memory stream(input->file.data(), input->file.size());
    lum::LData_Image image;
    if (!loader.Read(stream, image, nullptr)) state.SkipWithError("Read failed");
    benchmark::DoNotOptimize(image.imageData->pixels);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->screenBytes);
}

void DecodeGiflib(benchmark::State& state, const GifInput* input) {
  for (auto _ : state) {
    Bytes pixels;
    if (!DecodeWithGiflib(input->file, pixels)) state.SkipWithError("giflib failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->screenBytes);
}

void DecodeStb(benchmark::State& state, const GifInput* input) {
  BenchmarkStbDecode(state, input->file, 4, input->screenBytes);
}

void Register(const BenchInputs&) {
  for (const GifInput& input : Inputs()) {
    benchmark::RegisterBenchmark(("GifDecode/ours/" + input.name).c_str(), DecodeOurs, &input);
    benchmark::RegisterBenchmark(("GifDecode/giflib/" + input.name).c_str(), DecodeGiflib, &input);
    benchmark::RegisterBenchmark(("GifDecode/stb/" + input.name).c_str(), DecodeStb, &input);
  }
}

const BenchRegistrar registrar(Register);

}  // namespace
