#include "StbDecode.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

stbi_uc* Decode(const Bytes& file, int channels, int& width, int& height) {
  int stored;
  return stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &stored, channels);
}

}  // namespace

bool StbDecodes(const Bytes& file, int channels, int& width, int& height) {
  stbi_uc* image = Decode(file, channels, width, height);
  stbi_image_free(image);
  return image != nullptr;
}

void BenchmarkStbDecode(benchmark::State& state, const Bytes& file, int channels, int64_t bytesPerDecode) {
  for (auto _ : state) {
    int width, height;
    stbi_uc* image = Decode(file, channels, width, height);
    if (image == nullptr) state.SkipWithError("stb_image failed");
    benchmark::DoNotOptimize(image);
    stbi_image_free(image);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytesPerDecode);
}
