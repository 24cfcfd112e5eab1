// BmpDecode and TgaDecode: our BMP and TGA readers beside stb_image, both
// decoding the same files from memory: the largest BMP and TGA files of the
// test data that both read, and images of a few megapixels that our own
// writers make here. Each decoder makes a fresh image per iteration in its
// own layout; throughput counts the decoded pixels at 4 bytes each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "BenchInputs.h"
#include "StbDecode.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Image/LLoader_Image_BMP.h"
#include "lum/Image/LLoader_Image_TGA.h"

namespace fs = std::filesystem;

namespace {

struct ImageInput {
  std::string name;
  Bytes file;
  int64_t pixelBytes;  // width x height x 4
};

class BytesOutput : public kor::IOutputStream {
 public:
  uint64_t Serialize(const void* buffer, uint64_t size) override {
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    return size;
  }
  void Close() override {}
  bool IsOpen() override { return true; }
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>(); }
  void Flush() override {}
  Bytes m_bytes;
};

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A synthetic picture (gradients, blocks and noise) written by our writer.
Bytes GeneratedFile(lum::LLoader_Image& writer, int format, int width, int height) {
  std::mt19937 random(11);
  lum::LData_Image image;
  image.format = format;
  image.SetImageData(new lum::LData_ImagePart(width, height));
  unsigned char* pixels = new unsigned char[size_t(width) * height * 4];
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = pixels + (size_t(y) * width + x) * 4;
      p[0] = static_cast<unsigned char>((x ^ y) & 0xFF);
      p[1] = static_cast<unsigned char>(x * 255 / width + random() % 4);
      p[2] = static_cast<unsigned char>(((x / 64) ^ (y / 64)) & 1 ? 40 : 210);
      p[3] = static_cast<unsigned char>(y * 255 / height);
    }
  image.imageData->SetPixels(pixels);
  BytesOutput output;
  writer.Write(output, image, nullptr);
  return output.m_bytes;
}

// stb_image reads the file; its pixels counted at 4 bytes.
bool StbReads(const Bytes& file, int64_t& pixelBytes) {
  int width, height;
  if (!StbDecodes(file, 0, width, height)) return false;
  pixelBytes = int64_t(width) * height * 4;
  return true;
}

bool OursDecodes(lum::LLoader_Image& loader, const Bytes& file) {
  kor::UStream_Memory stream(file.data(), file.size());
  lum::LData_Image image;
  return loader.Read(stream, image, nullptr) && image.imageData && image.imageData->pixels;
}

// The three largest files of the extension that both decoders read, and
// the generated ones.
std::vector<ImageInput> InputsOf(const char* extension, const char* folder, lum::LLoader_Image& loader) {
  std::vector<ImageInput> found;
  fs::path root = fs::path(LUM_TESTDATA_DIR) / folder;
  if (fs::is_directory(root))
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file() && entry.path().extension() == extension)
        found.push_back(ImageInput{entry.path().filename().string(), ReadFile(entry.path()), 0});
  std::sort(found.begin(), found.end(),
            [](const ImageInput& a, const ImageInput& b) { return a.file.size() > b.file.size(); });
  std::vector<ImageInput> usable;
  for (ImageInput& input : found)
    if (usable.size() < 3 && OursDecodes(loader, input.file) && StbReads(input.file, input.pixelBytes))
      usable.push_back(std::move(input));
  for (int format : {lum::TEXTURE_FORMAT_X8B8G8R8, lum::TEXTURE_FORMAT_A8B8G8R8}) {
    const char* kind = format == lum::TEXTURE_FORMAT_X8B8G8R8 ? "24" : "32";
    ImageInput input{std::string("generated-") + kind + "bit-2048x1536", GeneratedFile(loader, format, 2048, 1536), 0};
    if (StbReads(input.file, input.pixelBytes)) usable.push_back(std::move(input));
  }
  return usable;
}

lum::LLoader_Image_BMP g_bmp;
lum::LLoader_Image_TGA g_tga;

void DecodeOurs(benchmark::State& state, lum::LLoader_Image* loader, const ImageInput* input) {
  for (auto _ : state) {
    kor::UStream_Memory stream(input->file.data(), input->file.size());
    lum::LData_Image image;
    if (!loader->Read(stream, image, nullptr)) state.SkipWithError("Read failed");
    benchmark::DoNotOptimize(image.imageData->pixels);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->pixelBytes);
}

void DecodeStb(benchmark::State& state, const ImageInput* input) {
  BenchmarkStbDecode(state, input->file, 0, input->pixelBytes);
}

void RegisterFormat(const char* operation, const std::vector<ImageInput>& inputs, lum::LLoader_Image* loader) {
  for (const ImageInput& input : inputs) {
    benchmark::RegisterBenchmark((std::string(operation) + "/ours/" + input.name).c_str(), DecodeOurs, loader,
                                 &input);
    benchmark::RegisterBenchmark((std::string(operation) + "/stb/" + input.name).c_str(), DecodeStb, &input);
  }
}

void Register(const BenchInputs&) {
  static const std::vector<ImageInput> bmpInputs = InputsOf(".bmp", "image-rs/images/bmp", g_bmp);
  static const std::vector<ImageInput> tgaInputs = InputsOf(".tga", "image-rs/images/tga", g_tga);
  RegisterFormat("BmpDecode", bmpInputs, &g_bmp);
  RegisterFormat("TgaDecode", tgaInputs, &g_tga);
}

const BenchRegistrar registrar(Register);

}  // namespace
