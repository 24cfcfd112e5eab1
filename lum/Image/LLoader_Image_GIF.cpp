#include "lum/Image/LLoader_Image_GIF.h"

#include <cstdint>
#include <cstring>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "lum/Image/LGifLzw.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// The largest array the containers hold.
const uint64_t LARGEST_BUFFER = LARGEST_IMAGE_BUFFER;

enum { SIGNATURE_BYTES = 6, SCREEN_BYTES = 7, DESCRIPTOR_BYTES = 9, PIXEL_BYTES = 4 };
enum { EXTENSION_INTRODUCER = 0x21, IMAGE_SEPARATOR = 0x2C };
enum { TABLE_PRESENT = 0x80, INTERLACED = 0x40, TABLE_SIZE_BITS = 0x07 };

struct GifScreen {
  int width;
  int height;
  int flags;
  int background;
};

struct GifImage {
  int left;
  int top;
  int width;
  int height;
  int flags;
};

// Colour entries as 3-byte red, green, blue triples; null when absent.
struct GifColourTable {
  const unsigned char* entries;
  int entryNum;
};

// Each index as the pixel it becomes. Indices beyond the table, and every
// index when there is no table, are black.
struct GifPalette {
  unsigned char pixels[256][PIXEL_BYTES];
};

unsigned Word16(const unsigned char* bytes) { return bytes[0] | (static_cast<unsigned>(bytes[1]) << 8); }

bool IsSignature(const unsigned char* bytes) {
  return std::memcmp(bytes, "GIF87a", SIGNATURE_BYTES) == 0 || std::memcmp(bytes, "GIF89a", SIGNATURE_BYTES) == 0;
}

void ReportNotGif(const kor::UString& name) {
  kor::ICoreServices* services = kor::GetCoreServices();
  kor::UMessageWriter(services ? services->GetChannel(7) : nullptr, "\"") << name << "\"  is not a valid gif file";
}

// A reading position in the bytes after the screen descriptor that never
// passes their end: a read that would is refused and moves nothing.
class GifBytes {
 public:
  explicit GifBytes(const kor::UArray<unsigned char>& bytes)
      : m_bytes(bytes.GetData()), m_size(bytes.GetNum()), m_at(0) {}

  bool Has(int count) const { return count >= 0 && count <= m_size - m_at; }
  const unsigned char* Here() const { return m_bytes + m_at; }
  bool Peek(int& value) const {
    if (!Has(1)) return false;
    value = m_bytes[m_at];
    return true;
  }
  bool Byte(int& value) {
    if (!Peek(value)) return false;
    ++m_at;
    return true;
  }
  bool Skip(int count) {
    if (!Has(count)) return false;
    m_at += count;
    return true;
  }

 private:
  const unsigned char* m_bytes;
  int m_size;
  int m_at;
};

bool ReadScreen(kor::IInputStream& stream, GifScreen& screen, LData_Image& data) {
  unsigned char bytes[SIGNATURE_BYTES + SCREEN_BYTES];
  uint64_t arrived = stream.Serialize(bytes, SIGNATURE_BYTES);
  if (arrived != SIGNATURE_BYTES || !IsSignature(bytes)) {
    ReportNotGif(stream.GetName());
    return false;
  }
  if (stream.Serialize(bytes + SIGNATURE_BYTES, SCREEN_BYTES) != SCREEN_BYTES) return false;
  screen.width = static_cast<int>(Word16(bytes + 6));
  screen.height = static_cast<int>(Word16(bytes + 8));
  screen.flags = bytes[10];
  screen.background = bytes[11];
  data.format = TEXTURE_FORMAT_X8B8G8R8;
  data.SetImageData(new LData_ImagePart(screen.width, screen.height));
  return true;
}

// The table that flags announce, skipped over; an absent table is empty.
bool SkipColourTable(GifBytes& bytes, int flags, GifColourTable& table) {
  table.entries = nullptr;
  table.entryNum = 0;
  if ((flags & TABLE_PRESENT) == 0) return true;
  int entryNum = 2 << (flags & TABLE_SIZE_BITS);
  if (!bytes.Has(3 * entryNum)) return false;
  table.entries = bytes.Here();
  table.entryNum = entryNum;
  return bytes.Skip(3 * entryNum);
}

// Data sub-blocks up to and including the zero length that ends them.
bool SkipSubBlocks(GifBytes& bytes) {
  for (int length; bytes.Byte(length);) {
    if (length == 0) return true;
    if (!bytes.Skip(length)) return false;
  }
  return false;
}

// Every block of an extension is a sub-block, the first included, so an
// extension whose first block is empty ends there.
bool SkipExtensions(GifBytes& bytes) {
  int introducer;
  while (bytes.Peek(introducer) && introducer == EXTENSION_INTRODUCER) {
    if (!bytes.Skip(2) || !SkipSubBlocks(bytes)) return false;
  }
  return true;
}

bool ReadImageDescriptor(GifBytes& bytes, GifImage& image) {
  int separator;
  if (!bytes.Byte(separator) || separator != IMAGE_SEPARATOR || !bytes.Has(DESCRIPTOR_BYTES)) return false;
  const unsigned char* descriptor = bytes.Here();
  image.left = static_cast<int>(Word16(descriptor));
  image.top = static_cast<int>(Word16(descriptor + 2));
  image.width = static_cast<int>(Word16(descriptor + 4));
  image.height = static_cast<int>(Word16(descriptor + 6));
  image.flags = descriptor[8];
  return bytes.Skip(DESCRIPTOR_BYTES);
}

// The sub-blocks' bytes one after the other; false when they run past the
// end of the file.
bool GatherSubBlocks(GifBytes& bytes, int capacity, kor::UArray<unsigned char>& gathered) {
  gathered.EmptyExact(capacity);
  for (int length; bytes.Byte(length);) {
    if (length == 0) return true;
    if (!bytes.Has(length)) return false;
    int offset = gathered.Grow(length);
    std::memcpy(gathered.GetData() + offset, bytes.Here(), static_cast<size_t>(length));
    bytes.Skip(length);
  }
  return false;
}

void BuildPalette(const GifColourTable& table, GifPalette& palette) {
  for (int index = 0; index < 256; ++index) {
    unsigned char* pixel = palette.pixels[index];
    const unsigned char* rgb = index < table.entryNum ? table.entries + 3 * index : nullptr;
    pixel[0] = 255;
    pixel[1] = rgb ? rgb[2] : 0;
    pixel[2] = rgb ? rgb[1] : 0;
    pixel[3] = rgb ? rgb[0] : 0;
  }
}

void FillScreen(unsigned char* pixels, uint64_t pixelNum, const unsigned char* pixel) {
  for (uint64_t i = 0; i < pixelNum; ++i) std::memcpy(pixels + i * PIXEL_BYTES, pixel, PIXEL_BYTES);
}

// Where the index-th decoded row of an interlaced image of height rows
// belongs: passes of every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1.
int InterlacedRow(int index, int height) {
  static const int START[4] = {0, 4, 2, 1};
  static const int STEP[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    int rows = height > START[pass] ? (height - START[pass] + STEP[pass] - 1) / STEP[pass] : 0;
    if (index < rows) return START[pass] + index * STEP[pass];
    index -= rows;
  }
  return height;
}

// Writes the part of one image row that lies on the screen.
void PlaceRow(const GifScreen& screen, const GifImage& image, int row, const unsigned char* indices, int count,
              const GifPalette& palette, unsigned char* pixels) {
  int y = image.top + row;
  if (y >= screen.height || image.left >= screen.width) return;
  int visible = screen.width - image.left;
  if (count > visible) count = visible;
  unsigned char* out = pixels + (static_cast<uint64_t>(y) * screen.width + image.left) * PIXEL_BYTES;
  for (int x = 0; x < count; ++x) std::memcpy(out + x * PIXEL_BYTES, palette.pixels[indices[x]], PIXEL_BYTES);
}

// Decodes the image row by row onto the screen. Pixels the data does not
// reach keep the background. False when the code stream is broken.
bool DecodeImage(const kor::UArray<unsigned char>& gathered, int minimumCodeSize, const GifScreen& screen,
                 const GifImage& image, const GifPalette& palette, unsigned char* pixels) {
  LGifLzw lzw(gathered.GetData(), gathered.GetNum(), minimumCodeSize);
  if (image.width == 0 || image.height == 0) return !lzw.IsBroken();
  kor::UArray<unsigned char> row(image.width);
  bool interlaced = (image.flags & INTERLACED) != 0;
  for (int index = 0; index < image.height; ++index) {
    int count = lzw.Decode(row.GetData(), image.width);
    int y = interlaced ? InterlacedRow(index, image.height) : index;
    PlaceRow(screen, image, y, row.GetData(), count, palette, pixels);
    if (count < image.width) break;
  }
  return !lzw.IsBroken();
}

bool DecodeFile(const GifScreen& screen, const kor::UArray<unsigned char>& file, LData_Image& data) {
  GifBytes bytes(file);
  GifColourTable globalTable, localTable;
  GifImage image;
  int minimumCodeSize;
  if (!SkipColourTable(bytes, screen.flags, globalTable) || !SkipExtensions(bytes) ||
      !ReadImageDescriptor(bytes, image) || !SkipColourTable(bytes, image.flags, localTable) ||
      !bytes.Byte(minimumCodeSize))
    return false;
  if (screen.width == 0 || screen.height == 0) return true;
  if (!LGifLzw::IsValidCodeSize(minimumCodeSize)) return false;

  kor::UArray<unsigned char> gathered;
  if (!GatherSubBlocks(bytes, file.GetNum(), gathered)) return false;

  uint64_t pixelNum = static_cast<uint64_t>(screen.width) * static_cast<uint64_t>(screen.height);
  if (pixelNum * PIXEL_BYTES > LARGEST_BUFFER) return false;
  unsigned char* pixels = new unsigned char[static_cast<size_t>(pixelNum * PIXEL_BYTES)];
  data.imageData->SetPixels(pixels);

  // The background colour belongs to the global table, whatever the image uses.
  GifPalette palette;
  BuildPalette(globalTable, palette);
  FillScreen(pixels, pixelNum, palette.pixels[screen.background]);
  if (localTable.entries) BuildPalette(localTable, palette);
  return DecodeImage(gathered, minimumCodeSize, screen, image, palette, pixels);
}

}  // namespace

bool LLoader_Image_GIF::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[SIGNATURE_BYTES];
  uint64_t arrived = stream.Serialize(bytes, sizeof(bytes));
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  return arrived == sizeof(bytes) && IsSignature(bytes);
  KOR_GUARD_END
}

bool LLoader_Image_GIF::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  GifScreen screen;
  return ReadScreen(stream, screen, data);
  KOR_GUARD_END
}

bool LLoader_Image_GIF::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  GifScreen screen;
  if (!ReadScreen(stream, screen, data)) return false;
  kor::UArray<unsigned char> file;
  if (!ReadStreamRemainder(stream, UINT64_MAX, file)) return false;
  return DecodeFile(screen, file, data);
  KOR_GUARD_END
}

bool LLoader_Image_GIF::Write(kor::IOutputStream&, LData_Image&, const LImageSaveOptions*) { return false; }

bool LLoader_Image_GIF::CanWrite(int) { return false; }

}  // namespace lum
