// What the GIF and Radiance loader tests share: named memory streams, one
// decode run in services of the test's own with channel 7 recorded, and the
// shared test data.
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

#define SKIP_WITHOUT_TESTDATA(relative)                      \
  if (!std::filesystem::exists(TestDataPath(relative)))      \
  GTEST_SKIP() << "no test data at " << TestDataPath(relative)

// An input stream over bytes that has a name, as files have.
class NamedStream : public kor::UStream_Memory {
 public:
  NamedStream(const Bytes& bytes, const char* name)
      : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name) {}
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>(m_name.c_str()); }

 private:
  std::string m_name;
};

// One Read (or ReadInfo), copied out of the record.
struct Decoded {
  bool ok = false;
  bool hasPart = false;
  bool hasPixels = false;
  int format = -1;
  int width = 0;
  int height = 0;
  Bytes pixels;
  std::string messages;  // what channel 7 delivered
  int64_t blocksLeft = 0;  // pool blocks still held once the record is gone (without messages)
};

inline Decoded DecodeWith(lum::LLoader_Image& loader, const Bytes& file, const char* name = "image",
                          bool infoOnly = false) {
  Decoded result;
  RecordingSink sink;
  {
    // Held by pointer: the services' destructor may raise.
    std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
    services->Services().GetChannel(7)->AddListener(&sink);
    // Every allocation of the process goes to the pool, the test's own
    // copies too: those are not counted.
    int64_t before = services->Pool().m_currentAllocations;
    int64_t copies = 0;
    {
      lum::LData_Image record;
      NamedStream stream(file, name);
      result.ok = infoOnly ? loader.ReadInfo(stream, record, nullptr) : loader.Read(stream, record, nullptr);
      result.format = record.format;
      if (record.imageData) {
        result.hasPart = true;
        result.width = record.imageData->width;
        result.height = record.imageData->height;
        result.hasPixels = record.imageData->pixels != nullptr;
        if (result.hasPixels && result.ok) {
          size_t size = static_cast<size_t>(result.width) * result.height *
                        lum::LData_Image::BytesPerPixel(record.format);
          int64_t beforeCopy = services->Pool().m_currentAllocations;
          result.pixels.assign(record.imageData->pixels, record.imageData->pixels + size);
          copies = services->Pool().m_currentAllocations - beforeCopy;
        }
      }
    }
    result.blocksLeft = services->Pool().m_currentAllocations - before - copies;
    services->Services().GetChannel(7)->RemoveListener(&sink);
  }
  result.messages = sink.Text();
  return result;
}

// stb_image's decode of a GIF file's first image as RGBA; false when it
// refuses the file.
bool DecodeGifWithStb(const Bytes& file, int& width, int& height, Bytes& rgba);

// The text channel 7 delivers for one message.
inline std::string Warning(const std::string& text) { return "WARNING: " + text + "\r\n"; }

// Prefixes of file and copies with one byte flipped: each read must
// answer, keep inside its buffers (the sanitizer build watches) and hand
// back pixels whenever it says true. Every length and position within the
// first 256 bytes is tried, where the headers are; beyond them, about 256
// more spread evenly.
inline void ReadDamagedCopies(lum::LLoader_Image& loader, const Bytes& file, const std::string& what) {
  const size_t step = file.size() > 512 ? file.size() / 256 : 1;
  auto next = [&](size_t at) { return at < 256 ? at + 1 : at + step; };
  for (size_t length = 0; length <= file.size(); length = next(length)) {
    Decoded decoded = DecodeWith(loader, Bytes(file.begin(), file.begin() + length));
    ASSERT_TRUE(!decoded.ok || decoded.hasPixels || decoded.width == 0 || decoded.height == 0)
        << what << " cut to " << length;
  }
  for (size_t position = 0; position < file.size(); position = next(position)) {
    Bytes flipped = file;
    flipped[position] ^= static_cast<unsigned char>(0x80 >> (position % 8));
    Decoded decoded = DecodeWith(loader, flipped);
    ASSERT_TRUE(!decoded.ok || decoded.hasPixels || decoded.width == 0 || decoded.height == 0)
        << what << " flipped at " << position;
  }
}
