// What the TGA, BMP and icon tests share: files built byte by byte, a
// decode through one of our loaders in services of the test's own with
// channel 7 recorded, output streams that collect or refuse bytes, and the
// reference decodes read with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ImageReadSupport.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"

Bytes ReadFile(const std::string& path);
void Append16(Bytes& bytes, unsigned value);
void Append32(Bytes& bytes, uint32_t value);
Bytes Concat(const std::vector<Bytes>& parts);

// Collects what is written, but takes only the first limit bytes.
class MemoryOutput : public kor::IOutputStream {
 public:
  explicit MemoryOutput(size_t limit = SIZE_MAX) : m_limit(limit) {}
  uint64_t Serialize(const void* buffer, uint64_t size) override;
  void Close() override {}
  bool IsOpen() override { return true; }
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>("out"); }
  void Flush() override {}
  const Bytes& Written() const { return m_bytes; }

 private:
  size_t m_limit;
  Bytes m_bytes;
};

// Many reads in one set of services, each counting what it leaves behind
// without allocating anything itself.
class ReadProbe {
 public:
  struct Result {
    bool ok = false;
    int messages = 0;        // messages on channel 7
    uint64_t pixelHash = 0;  // of the pixels, after a read that succeeded
    int64_t blocksLeft = 0;  // pool blocks still allocated once the record is gone
  };
  ReadProbe();
  ~ReadProbe();
  Result Read(lum::LLoader_Image& loader, const unsigned char* bytes, size_t size);

 private:
  struct Impl;
  Impl* m_impl;
};

// A record of the given format and size holding pixels.
struct RecordPixels {
  int format;
  int width;
  int height;
  Bytes pixels;
};
// Writes record through the loader; the bytes written, and whether Write
// said it succeeded.
Bytes WriteWith(lum::LLoader_Image& loader, const RecordPixels& record, const lum::LImageSaveOptions* options,
                bool* written = nullptr, size_t limit = SIZE_MAX);

// A reference decode as 8-bit RGBA, and which channels the file defines.
struct ReferenceImage {
  int width = 0;
  int height = 0;
  bool hasColor = false;
  bool hasAlpha = false;
  Bytes rgba;
};
bool ReadReferencePng(const std::string& path, ReferenceImage& image);

// Our pixels as 8-bit RGBA: grey repeated, no-alpha formats opaque.
Bytes RecordAsRgba(int format, const Bytes& pixels);

// Files built by hand. Palettes and colour maps are given as the file
// stores them.
Bytes TgaFile(unsigned imageType, unsigned width, unsigned height, unsigned depth, unsigned descriptor,
              const Bytes& data, const Bytes& colorMap = Bytes(), unsigned entrySize = 0, unsigned first = 0);

struct BitmapLayout {
  int width = 1;
  int height = 1;
  unsigned bitCount = 24;
  unsigned compression = 0;
  uint32_t headerSize = 40;  // the bytes past 40 are zero
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> masks;  // after the first 40 header bytes
  Bytes palette;
  Bytes pixels;
};
Bytes InfoHeaderAndTables(const BitmapLayout& layout);
Bytes BmpFile(const BitmapLayout& layout);
// An icon file of one image: layout.height is the image's, the mask follows.
Bytes IcoFile(const BitmapLayout& layout, const Bytes& mask, unsigned bitCountInEntry, unsigned colorCount = 0);
