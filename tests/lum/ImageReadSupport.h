// One read through an image loader, as the image tests make it: the file
// in a named memory stream, fresh services of the test's own with channel
// 7 recorded, and what the record held copied out before it is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/LLoader.h"

typedef std::vector<unsigned char> Bytes;

// An input stream over bytes with a name, as files have.
class NamedStream : public kor::UStream_Memory {
 public:
  NamedStream(const Bytes& bytes, const char* name) : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name) {}
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>(m_name.c_str()); }

 private:
  std::string m_name;
};

struct Decoded {
  bool ok = false;
  bool hasPart = false;
  bool hasPixels = false;
  int format = -1;
  int width = 0;
  int height = 0;
  Bytes pixels;            // only after a read that succeeded with pixels
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
        result.hasPart = true;
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

// The text channel 7 delivers for one message.
inline std::string Warning(const std::string& text) { return "WARNING: " + text + "\r\n"; }
