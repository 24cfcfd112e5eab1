// What the GIF and Radiance loader tests share: damaged copies and the
// shared test data.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ImageReadSupport.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"

inline Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline std::filesystem::path TestDataPath(const std::string& relative) {
  return std::filesystem::path(LUM_TESTDATA_DIR) / relative;
}

#define SKIP_WITHOUT_TESTDATA(relative)                 \
  if (!std::filesystem::exists(TestDataPath(relative))) \
  GTEST_SKIP() << "no test data at " << TestDataPath(relative)

// stb_image's decode of a GIF file's first image as RGBA; false when it
// refuses the file.
bool DecodeGifWithStb(const Bytes& file, int& width, int& height, Bytes& rgba);

// Prefixes of file and copies with one byte flipped: each read must answer,
// stay inside its buffers (the sanitizer build watches) and hand back
// pixels whenever it says true. Every length and position within the first
// 256 bytes, where the headers are, and about 256 more spread over the rest.
inline void ReadDamagedCopies(lum::LLoader_Image& loader, const Bytes& file, const std::string& what) {
  const size_t step = file.size() > 512 ? file.size() / 256 : 1;
  for (size_t at = 0; at <= file.size(); at += at < 256 ? 1 : step) {
    Bytes flipped = file;
    if (at < file.size()) flipped[at] ^= uint8_t(0x80 >> (at % 8));
    for (const Bytes& copy : {Bytes(file.begin(), file.begin() + at), flipped}) {
      Decoded decoded = DecodeWith(loader, copy);
      ASSERT_TRUE(!decoded.ok || decoded.hasPixels || decoded.width == 0 || decoded.height == 0) << what << " at " << at;
    }
  }
}
