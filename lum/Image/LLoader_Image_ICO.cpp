#include "lum/Image/LLoader_Image_ICO.h"

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "lum/Image/LBmpInfoHeader.h"
#include "lum/Image/LBmpPixels.h"
#include "lum/Image/LImageWarning.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

const char* const CANT_HANDLE = "Can't handle file \"";

enum { DIRECTORY_SIZE = 6, ENTRY_SIZE = 16, ICON_TYPE = 1 };

void WarnCorrupt(const kor::UString& name) { WarnAboutImage("File \"", name, "\" is corrupt."); }

struct IconEntry {
  unsigned width;  // 0 stands for 256
  unsigned height;
  unsigned colorCount;
  unsigned reserved;
  unsigned planes;
  unsigned bitCount;
  uint32_t size;
  uint32_t offset;  // from the file's start
};

void ParseEntry(const unsigned char* bytes, IconEntry& entry) {
  entry.width = bytes[0] ? bytes[0] : 256;
  entry.height = bytes[1] ? bytes[1] : 256;
  entry.colorCount = bytes[2];
  entry.reserved = bytes[3];
  entry.planes = LittleEndian16(bytes + 4);
  entry.bitCount = LittleEndian16(bytes + 6);
  entry.size = LittleEndian32(bytes + 8);
  entry.offset = LittleEndian32(bytes + 12);
}

bool ReadDirectory(kor::IInputStream& stream) {
  unsigned char bytes[DIRECTORY_SIZE];
  if (!ReadStreamBytes(stream, bytes, sizeof bytes)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  if (LittleEndian16(bytes) != 0 || LittleEndian16(bytes + 2) != ICON_TYPE) {
    WarnAboutImage(CANT_HANDLE, stream.GetName(),
                   "\". Perhaps it is an unsupported icon format or just a corrupt one.");
    return false;
  }
  if (LittleEndian16(bytes + 4) == 0) {
    WarnAboutImage("Warning,  \"", stream.GetName(),
                   "\" seems to be a valid icon file, but does not contain any images.");
    return false;
  }
  return true;
}

// The directory and its first entry. An entry without bit count names its
// colour count instead.
bool ReadFirstEntry(kor::IInputStream& stream, IconEntry& entry) {
  if (!ReadDirectory(stream)) return false;
  unsigned char bytes[ENTRY_SIZE];
  if (!ReadStreamBytes(stream, bytes, sizeof bytes)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  ParseEntry(bytes, entry);
  if (entry.reserved != 0) {
    WarnAboutImage(CANT_HANDLE, stream.GetName(), "\". The file seems to be corrupt.");
    return false;
  }
  if (entry.bitCount == 0) entry.bitCount = entry.colorCount == 2 ? 1 : entry.colorCount == 16 ? 4 : 0;
  if (!IsBmpBitCount(entry.bitCount)) {
    WarnAboutImage(CANT_HANDLE, stream.GetName(), "\". This bitmap specifies an unsupported color depth");
    return false;
  }
  return true;
}

// The image's information header, found at the entry's offset; the record
// gets its image part. The stream stands after the directory's first entry.
bool ReadImageHeader(kor::IInputStream& stream, const IconEntry& entry, LBmpInfoHeader& header,
                     LBmpBitmap& bitmap, LData_Image& data) {
  if (entry.offset < DIRECTORY_SIZE + ENTRY_SIZE) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  stream.SeekForward(static_cast<int64_t>(entry.offset) - (DIRECTORY_SIZE + ENTRY_SIZE));
  if (!ReadBmpInfoHeader(stream, header)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  if (!IsBmpBitCount(header.bitCount)) {
    WarnAboutImage(CANT_HANDLE, stream.GetName(), "\". This icon specifies an unsupported color depth");
    return false;
  }
  if (header.size < BMP_INFO_HEADER_SIZE || !GetBmpImageSize(header, true, bitmap.width, bitmap.rows, bitmap.bottomUp)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  data.SetImageData(new LData_ImagePart(bitmap.width, bitmap.rows));
  data.format = TEXTURE_FORMAT_A8B8G8R8;
  return true;
}

// One bit per pixel, rows padded to a multiple of 4 bytes and stored in the
// colour bitmap's row order: a set bit makes the pixel transparent, a clear
// one opaque.
bool ApplyMask(const unsigned char* mask, size_t size, const LBmpBitmap& bitmap, unsigned char* pixels) {
  const size_t width = static_cast<size_t>(bitmap.width);
  const size_t rowBytes = (width + 31) / 32 * 4;
  if (size / rowBytes < static_cast<size_t>(bitmap.rows)) return false;
  for (size_t y = 0; y < static_cast<size_t>(bitmap.rows); ++y) {
    const unsigned char* row = mask + y * rowBytes;
    unsigned char* pixel = BmpRecordRow(bitmap, pixels, y);
    for (size_t x = 0; x < width; ++x, pixel += 4) pixel[0] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
  }
  return true;
}

// The colour bitmap and the mask, which follow the header and its tables.
bool DecodeImage(kor::IInputStream& stream, const LBmpInfoHeader& header, LBmpBitmap& bitmap, LData_Image& data) {
  kor::UArray<unsigned char> bytes;
  if (!ReadStreamRemainder(stream, LARGEST_IMAGE_BUFFER, bytes)) return false;
  const size_t size = static_cast<size_t>(bytes.GetNum());
  uint64_t tablesEnd;
  if (!ReadBmpTables(header, bytes.GetData(), size, size, bitmap, tablesEnd) || tablesEnd > size) return false;
  const size_t pixelCount = static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.rows);
  unsigned char* pixels = NewPixelArray(pixelCount, 4);
  if (pixels == nullptr) return false;
  data.imageData->SetPixels(pixels);
  const unsigned char* colors = bytes.GetData() + tablesEnd;
  const size_t colorBytes = size - static_cast<size_t>(tablesEnd);
  LBmpDecodeReport report;
  if (DecodeBmpBitmap(bitmap, colors, colorBytes, pixels, report) != BMP_DECODED) return false;
  if (header.bitCount < 32 && !ApplyMask(colors + report.consumed, colorBytes - report.consumed, bitmap, pixels))
    return false;
  if (report.sawDelta)
    WarnAboutImage("file \"", stream.GetName(),
                   " uses an unsupported feature. Please send in the file to get full support");
  return true;
}

}  // namespace

bool LLoader_Image_ICO::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[DIRECTORY_SIZE];
  uint64_t arrived = stream.Serialize(bytes, sizeof bytes);
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  return arrived == sizeof bytes && LittleEndian16(bytes) == 0 && bytes[2] == ICON_TYPE && bytes[3] == 0 &&
         LittleEndian16(bytes + 4) != 0;
  KOR_GUARD_END
}

bool LLoader_Image_ICO::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  IconEntry entry;
  if (!ReadFirstEntry(stream, entry)) return false;
  data.SetImageData(new LData_ImagePart(static_cast<int>(entry.width), static_cast<int>(entry.height)));
  data.format = TEXTURE_FORMAT_A8B8G8R8;
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_ICO::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  IconEntry entry;
  LBmpInfoHeader header;
  LBmpBitmap bitmap;
  if (!ReadFirstEntry(stream, entry) || !ReadImageHeader(stream, entry, header, bitmap, data)) return false;
  // Compressions without a decoder are refused without a message.
  if (!IsBmpLayoutSupported(header.bitCount, header.compression)) return false;
  if (!DecodeImage(stream, header, bitmap, data)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_ICO::Write(kor::IOutputStream&, LData_Image&, const LImageSaveOptions*) { return false; }

bool LLoader_Image_ICO::CanWrite(int) { return false; }

}  // namespace lum
