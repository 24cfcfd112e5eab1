// What the GIF and Radiance loader tests share: named memory streams, one
// read in services of the test's own with channel 7 recorded, damaged
// copies, and the shared test data.
#pragma once

#include <gtest/gtest.h>

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
#include "lum/LLoader.h"

typedef std::vector<unsigned char> Bytes;

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

class NamedStream : public kor::UStream_Memory {
 public:
  NamedStream(const Bytes& bytes, const char* name) : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name) {}
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>(m_name.c_str()); }

 private:
  std::string m_name;
};

// One Read (or ReadInfo), copied out of the record.
struct Decoded {
  bool ok = false;
  bool hasPixels = false;
  int format = -1;
  int width = 0;
  int height = 0;
  Bytes pixels;
  std::string messages;    // what channel 7 delivered
  int64_t blocksLeft = 0;  // pool blocks the read kept once its record is gone
};

inline Decoded DecodeWith(lum::LLoader_Image& loader, const Bytes& file, const char* name = "image",
                          bool infoOnly = false) {
  Decoded result;
  RecordingSink sink;
  {
    // Held by pointer: the services' destructor may raise.
    std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
    services->Services().GetChannel(7)->AddListener(&sink);
    // Every allocation of the process comes from the pool, the test's own
    // copy of the pixels too, which is not counted.
    int64_t before = services->Pool().m_currentAllocations, copies = 0;
    {
      lum::LData_Image record;
      NamedStream stream(file, name);
      result.ok = infoOnly ? loader.ReadInfo(stream, record, nullptr) : loader.Read(stream, record, nullptr);
      result.format = record.format;
      if (const lum::LData_ImagePart* part = record.imageData) {
        result.width = part->width;
        result.height = part->height;
        result.hasPixels = part->pixels != nullptr;
        if (result.hasPixels && result.ok) {
          size_t size = size_t(part->width) * part->height * lum::LData_Image::BytesPerPixel(record.format);
          copies = services->Pool().m_currentAllocations;
          result.pixels.assign(part->pixels, part->pixels + size);
          copies = services->Pool().m_currentAllocations - copies;
        }
      }
    }
    result.blocksLeft = services->Pool().m_currentAllocations - before - copies;
    services->Services().GetChannel(7)->RemoveListener(&sink);
  }
  result.messages = sink.Text();
  return result;
}

inline std::string Warning(const std::string& text) { return "WARNING: " + text + "\r\n"; }

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
