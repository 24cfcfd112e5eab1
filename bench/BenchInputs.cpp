#include "BenchInputs.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool IsSourceFile(const fs::path& path) {
  std::string extension = path.extension().string();
  return extension == ".h" || extension == ".cpp";
}

Bytes SourceText() {
  std::vector<fs::path> files;
  for (const char* folder : {"kor", "quarn", "lum", "Plugin_JNG", "standins", "tools", "tests", "bench"}) {
    fs::path root = fs::path(LUM_SOURCE_DIR) / folder;
    if (!fs::is_directory(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file() && IsSourceFile(entry.path())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  Bytes text;
  for (const fs::path& file : files) {
    Bytes bytes = ReadFile(file);
    text.insert(text.end(), bytes.begin(), bytes.end());
  }
  return text;
}

// The decompressed image data of a PNG file (filter bytes and all), or
// nothing when it is not a readable PNG.
Bytes PixelData(const fs::path& path) {
  Bytes file = ReadFile(path);
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return Bytes();
  Bytes idat;
  for (size_t at = 8; at + 12 <= file.size();) {
    size_t length = (size_t(file[at]) << 24) | (size_t(file[at + 1]) << 16) |
                    (size_t(file[at + 2]) << 8) | file[at + 3];
    if (length > file.size() - at - 12) break;
    if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
      idat.insert(idat.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
    at += 12 + length;
  }
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  if (inflateInit(&z) != Z_OK) return Bytes();
  z.next_in = idat.data();
  z.avail_in = static_cast<uInt>(idat.size());
  Bytes out;
  unsigned char buffer[1 << 16];
  int status;
  do {
    z.next_out = buffer;
    z.avail_out = sizeof(buffer);
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof(buffer) - z.avail_out));
  } while (status == Z_OK);
  inflateEnd(&z);
  return status == Z_STREAM_END ? out : Bytes();
}

// The largest images' pixel data joined: a few MiB of the data a texture
// load inflates.
Bytes LargestPixelData(size_t images) {
  std::vector<Bytes> all;
  fs::path root(LUM_TESTDATA_DIR);
  if (!fs::is_directory(root)) return Bytes();
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file() && entry.path().extension() == ".png") {
      Bytes pixels = PixelData(entry.path());
      if (!pixels.empty()) all.push_back(std::move(pixels));
    }
  std::sort(all.begin(), all.end(), [](const Bytes& a, const Bytes& b) { return a.size() > b.size(); });
  Bytes joined;
  for (size_t i = 0; i < all.size() && i < images; ++i) joined.insert(joined.end(), all[i].begin(), all[i].end());
  return joined;
}

unsigned char PaethPredictor(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<unsigned char>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The image data of a 16-bit grey PNG like a large alpha channel: a smooth
// gradient with noise in the low byte, every row Paeth-filtered. Deflated
// as PNG writers do it (filtered strategy), it is almost all literals.
Bytes NoisyAlpha16Rows() {
  const int width = 2048, height = 2048, rowBytes = 2 * width;
  Bytes data;
  data.reserve(static_cast<size_t>(height) * (rowBytes + 1));
  Bytes prior(rowBytes, 0), row(rowBytes);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int noise = static_cast<int>((seed >> 16) % 513) - 256;
      int value = std::clamp(8192 + 12 * x + 20 * y + noise, 0, 65535);
      row[2 * x] = static_cast<unsigned char>(value >> 8);
      row[2 * x + 1] = static_cast<unsigned char>(value);
    }
    data.push_back(4);
    for (int i = 0; i < rowBytes; ++i) {
      int left = i >= 2 ? row[i - 2] : 0, leftAbove = i >= 2 ? prior[i - 2] : 0;
      data.push_back(static_cast<unsigned char>(row[i] - PaethPredictor(left, prior[i], leftAbove)));
    }
    prior.swap(row);
  }
  return data;
}

Bytes RawDeflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::vector<BenchRegistration>& Registrations() {
  static std::vector<BenchRegistration> registrations;
  return registrations;
}

}  // namespace

const BenchInputs& GetBenchInputs() {
  static const BenchInputs inputs = [] {
    BenchInputs built;
    built.raw.push_back(BenchInput{"text", SourceText()});
    Bytes pixels = LargestPixelData(8);
    if (pixels.empty())
      std::fprintf(stderr, "lumbench: no PNG files in %s; the pixels input is left out\n", LUM_TESTDATA_DIR);
    else
      built.raw.push_back(BenchInput{"pixels", std::move(pixels)});
    for (const BenchInput& input : built.raw)
      for (int level : {1, 6, 9})
        built.deflated.push_back(
            DeflatedInput{input.name + "-l" + std::to_string(level), level, nullptr, RawDeflate(input.data, level)});
    built.inflateOnly.push_back(BenchInput{"alpha16", NoisyAlpha16Rows()});
    built.deflated.push_back(
        DeflatedInput{"alpha16-l6", 6, nullptr, RawDeflate(built.inflateOnly.back().data, 6, Z_FILTERED)});
    // Pointers only once the vectors of originals no longer move.
    for (DeflatedInput& d : built.deflated)
      for (const std::vector<BenchInput>* originals : {&built.raw, &built.inflateOnly})
        for (const BenchInput& input : *originals)
          if (d.name.compare(0, input.name.size() + 2, input.name + "-l") == 0) d.original = &input;
    return built;
  }();
  return inputs;
}

BenchRegistrar::BenchRegistrar(BenchRegistration registration) {
  Registrations().push_back(registration);
}

void RunBenchRegistrations(const BenchInputs& inputs) {
  for (BenchRegistration registration : Registrations()) registration(inputs);
}
