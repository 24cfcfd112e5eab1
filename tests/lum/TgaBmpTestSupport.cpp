#include "TgaBmpTestSupport.h"

#include <png.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "RecordingSink.h"
#include "TestServices.h"

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void Append16(Bytes& bytes, unsigned value) {
  bytes.push_back(static_cast<unsigned char>(value));
  bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void Append32(Bytes& bytes, uint32_t value) {
  Append16(bytes, value & 0xFFFF);
  Append16(bytes, value >> 16);
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

uint64_t MemoryOutput::Serialize(const void* buffer, uint64_t size) {
  size_t room = m_limit - m_bytes.size();
  size_t taken = size < room ? static_cast<size_t>(size) : room;
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
  m_bytes.insert(m_bytes.end(), bytes, bytes + taken);
  return taken;
}

namespace {

class CountingSink : public kor::IMessageSink {
 public:
  void Lock() override {}
  void Unlock() override {}
  void BeginMessage() override { ++count; }
  void Write(const kor::UBaseString<unsigned char>&) override {}
  void EndMessage() override {}
  int count = 0;
};

uint64_t HashOf(const unsigned char* bytes, size_t size) {
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}

}  // namespace

struct ReadProbe::Impl {
  ScopedTestServices services;
  CountingSink sink;
};

ReadProbe::ReadProbe() : m_impl(new Impl) { m_impl->services.Services().GetChannel(7)->AddListener(&m_impl->sink); }

ReadProbe::~ReadProbe() {
  m_impl->services.Services().GetChannel(7)->RemoveListener(&m_impl->sink);
  delete m_impl;
}

ReadProbe::Result ReadProbe::Read(lum::LLoader_Image& loader, const unsigned char* bytes, size_t size) {
  Result result;
  m_impl->sink.count = 0;
  const int64_t blocksBefore = m_impl->services.Pool().m_currentAllocations;
  {
    lum::LData_Image record;
    kor::UStream_Memory stream(bytes, size);
    result.ok = loader.Read(stream, record, nullptr);
    const lum::LData_ImagePart* part = record.imageData;
    if (result.ok && part && part->pixels)
      result.pixelHash = HashOf(part->pixels, size_t(part->width) * part->height *
                                                  lum::LData_Image::BytesPerPixel(record.format));
  }
  result.blocksLeft = m_impl->services.Pool().m_currentAllocations - blocksBefore;
  result.messages = m_impl->sink.count;
  return result;
}

Bytes WriteWith(lum::LLoader_Image& loader, const RecordPixels& record, const lum::LImageSaveOptions* options,
                bool* written, size_t limit) {
  std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
  MemoryOutput output(limit);
  {
    lum::LData_Image data;
    data.format = record.format;
    data.SetImageData(new lum::LData_ImagePart(record.width, record.height));
    unsigned char* pixels = new unsigned char[record.pixels.size() + 1];
    std::copy(record.pixels.begin(), record.pixels.end(), pixels);
    data.imageData->SetPixels(pixels);
    bool ok = loader.Write(output, data, options);
    if (written) *written = ok;
  }
  return output.Written();
}

bool ReadReferencePng(const std::string& path, ReferenceImage& image) {
  png_image png = {};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.hasColor = (png.format & PNG_FORMAT_FLAG_COLOR) != 0;
  image.hasAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.format = PNG_FORMAT_RGBA;
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  bool ok = png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

Bytes RecordAsRgba(int format, const Bytes& pixels) {
  const unsigned char kOpaque = 255;
  Bytes rgba;
  bool grey = format == lum::TEXTURE_FORMAT_L8 || format == lum::TEXTURE_FORMAT_A8;
  size_t step = grey ? 1 : 4;
  for (size_t at = 0; at + step <= pixels.size(); at += step) {
    const unsigned char* p = &pixels[at];
    if (grey) rgba.insert(rgba.end(), {p[0], p[0], p[0], 255});
    else rgba.insert(rgba.end(), {p[3], p[2], p[1], format == lum::TEXTURE_FORMAT_A8B8G8R8 ? p[0] : kOpaque});
  }
  return rgba;
}

Bytes TgaFile(unsigned imageType, unsigned width, unsigned height, unsigned depth, unsigned descriptor,
              const Bytes& data, const Bytes& colorMap, unsigned entrySize, unsigned first) {
  unsigned entryBytes = (entrySize + 1) / 8;
  Bytes file = {0, static_cast<unsigned char>(colorMap.empty() ? 0 : 1), static_cast<unsigned char>(imageType)};
  Append16(file, first);
  Append16(file, entryBytes ? static_cast<unsigned>(colorMap.size() / entryBytes) : 0);
  file.push_back(static_cast<unsigned char>(entrySize));
  Append32(file, 0);
  Append16(file, width);
  Append16(file, height);
  file.push_back(static_cast<unsigned char>(depth));
  file.push_back(static_cast<unsigned char>(descriptor));
  return Concat({file, colorMap, data});
}

namespace {

Bytes InfoHeader(const BitmapLayout& layout, int storedHeight) {
  Bytes header;
  Append32(header, layout.headerSize);
  Append32(header, static_cast<uint32_t>(layout.width));
  Append32(header, static_cast<uint32_t>(storedHeight));
  Append16(header, 1);
  Append16(header, layout.bitCount);
  Append32(header, layout.compression);
  Append32(header, static_cast<uint32_t>(layout.pixels.size()));
  Append32(header, 2835);
  Append32(header, 2835);
  Append32(header, layout.colorsUsed);
  Append32(header, 0);
  for (uint32_t mask : layout.masks) Append32(header, mask);
  if (header.size() < layout.headerSize) header.resize(layout.headerSize, 0);
  return Concat({header, layout.palette});
}

}  // namespace

Bytes InfoHeaderAndTables(const BitmapLayout& layout) { return InfoHeader(layout, layout.height); }

Bytes BmpFile(const BitmapLayout& layout) {
  Bytes tables = InfoHeaderAndTables(layout);
  Bytes file = {'B', 'M'};
  Append32(file, static_cast<uint32_t>(14 + tables.size() + layout.pixels.size()));
  Append32(file, 0);
  Append32(file, static_cast<uint32_t>(14 + tables.size()));
  return Concat({file, tables, layout.pixels});
}

Bytes IcoFile(const BitmapLayout& layout, const Bytes& mask, unsigned bitCountInEntry, unsigned colorCount) {
  Bytes image = Concat({InfoHeader(layout, 2 * layout.height), layout.pixels, mask});
  Bytes file;
  Append16(file, 0);
  Append16(file, 1);
  Append16(file, 1);
  file.push_back(static_cast<unsigned char>(layout.width & 0xFF));
  file.push_back(static_cast<unsigned char>(layout.height & 0xFF));
  file.push_back(static_cast<unsigned char>(colorCount));
  file.push_back(0);
  Append16(file, 1);
  Append16(file, bitCountInEntry);
  Append32(file, static_cast<uint32_t>(image.size()));
  Append32(file, 22);
  return Concat({file, image});
}
