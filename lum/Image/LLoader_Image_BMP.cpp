#include "lum/Image/LLoader_Image_BMP.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "lum/Image/LBmpInfoHeader.h"
#include "lum/Image/LBmpPixels.h"
#include "lum/Image/LImageWarning.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

const char* const CANT_HANDLE = "Can't handle file \"";

enum { HEADERS_SIZE = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE, MASKS_SIZE = 12 };

void WarnCorrupt(const kor::UString& name) { WarnAboutImage(CANT_HANDLE, name, "\". It may be corrupt."); }

void WarnNotWindowsBitmap(const kor::UString& name) {
  WarnAboutImage(CANT_HANDLE, name, "\". Perhaps it is an unsupported OS/2 bitmap or just a corrupt one.");
}

// What the headers tell: where the pixels start, counted from the file's
// start, and the bitmap's size and kind.
struct BitmapFile {
  uint32_t dataOffset;
  LBmpInfoHeader header;
  LBmpBitmap bitmap;
};

bool ReadFileHeader(kor::IInputStream& stream, uint32_t& dataOffset) {
  unsigned char bytes[BMP_FILE_HEADER_SIZE];
  if (!ReadStreamBytes(stream, bytes, sizeof bytes)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  if (bytes[0] != 'B' || bytes[1] != 'M' || LittleEndian32(bytes + 2) == 0) {
    WarnNotWindowsBitmap(stream.GetName());
    return false;
  }
  dataOffset = LittleEndian32(bytes + 10);
  return true;
}

// Both headers; the record gets its image part and format. The 12-byte
// header of OS/2 bitmaps has other fields than the 40 bytes read here.
bool ReadHeaders(kor::IInputStream& stream, BitmapFile& file, LData_Image& data) {
  if (!ReadFileHeader(stream, file.dataOffset)) return false;
  LBmpInfoHeader& header = file.header;
  if (!ReadBmpInfoHeader(stream, header)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  if (header.size < BMP_INFO_HEADER_SIZE) {
    WarnNotWindowsBitmap(stream.GetName());
    return false;
  }
  if (!IsBmpBitCount(header.bitCount)) {
    WarnAboutImage(CANT_HANDLE, stream.GetName(), "\". This bitmap specifies an unsupported color depth");
    return false;
  }
  LBmpBitmap& bitmap = file.bitmap;
  if (!GetBmpImageSize(header, false, bitmap.width, bitmap.rows, bitmap.bottomUp)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  data.SetImageData(new LData_ImagePart(bitmap.width, bitmap.rows));
  data.format = header.bitCount == 32 ? TEXTURE_FORMAT_A8B8G8R8 : TEXTURE_FORMAT_X8B8G8R8;
  return true;
}

// The tables and pixels after the headers, read in one request.
bool DecodePixels(kor::IInputStream& stream, BitmapFile& file, LData_Image& data) {
  kor::UArray<unsigned char> bytes;
  if (file.dataOffset < HEADERS_SIZE || !ReadStreamRemainder(stream, LARGEST_IMAGE_BUFFER, bytes)) return false;
  const size_t size = static_cast<size_t>(bytes.GetNum());
  const size_t pixelStart = file.dataOffset - HEADERS_SIZE;
  uint64_t tablesEnd;
  if (pixelStart > size || !ReadBmpTables(file.header, bytes.GetData(), size, pixelStart, file.bitmap, tablesEnd))
    return false;

  const size_t pixelCount = static_cast<size_t>(file.bitmap.width) * static_cast<size_t>(file.bitmap.rows);
  unsigned char* pixels = NewPixelArray(pixelCount, 4);
  if (pixels == nullptr) return false;
  data.imageData->SetPixels(pixels);
  LBmpDecodeReport report;
  if (DecodeBmpBitmap(file.bitmap, bytes.GetData() + pixelStart, size - pixelStart, pixels, report) != BMP_DECODED)
    return false;
  // The skipped pixels are black rather than see-through: the record's
  // format for these bitmaps has no alpha.
  if (report.sawDelta)
    WarnAboutImage("file \"", stream.GetName(),
                   " uses an unsupported feature. Please send in the file to get full support");
  if (file.header.bitCount == 32 && !file.bitmap.hasAlphaMask) MakeUnusedAlphaOpaque(pixels, pixelCount);
  return true;
}

bool WriteHeaders(kor::IOutputStream& stream, const LData_ImagePart& part, bool wide, uint32_t rowSize,
                  uint32_t textLength) {
  unsigned char bytes[HEADERS_SIZE + MASKS_SIZE] = {'B', 'M'};
  const uint32_t dataOffset = HEADERS_SIZE + (wide ? MASKS_SIZE : 0) + textLength;
  const uint32_t imageSize = rowSize * static_cast<uint32_t>(part.height);
  PutLittleEndian32(bytes + 2, dataOffset + imageSize);
  PutLittleEndian32(bytes + 10, dataOffset);
  unsigned char* info = bytes + BMP_FILE_HEADER_SIZE;
  PutLittleEndian32(info, BMP_INFO_HEADER_SIZE);
  PutLittleEndian32(info + 4, static_cast<uint32_t>(part.width));
  // A negative height stores the rows top first, as the record holds them.
  PutLittleEndian32(info + 8, static_cast<uint32_t>(-part.height));
  PutLittleEndian16(info + 12, 1);
  PutLittleEndian16(info + 14, wide ? 32 : 24);
  PutLittleEndian32(info + 16, wide ? BMP_COMPRESSION_BITFIELDS : BMP_COMPRESSION_RGB);
  PutLittleEndian32(info + 20, imageSize);
  // Red in the top byte, alpha in the bottom one: the record's byte order.
  PutLittleEndian32(bytes + HEADERS_SIZE, 0xFF000000u);
  PutLittleEndian32(bytes + HEADERS_SIZE + 4, 0x00FF0000u);
  PutLittleEndian32(bytes + HEADERS_SIZE + 8, 0x0000FF00u);
  return WriteStreamBytes(stream, bytes, wide ? sizeof bytes : size_t(HEADERS_SIZE));
}

// Blue, green, red of each pixel and zero bytes up to the row size.
bool WriteRows24(kor::IOutputStream& stream, const LData_ImagePart& part, uint32_t rowSize) {
  kor::UArray<unsigned char> row(static_cast<int>(rowSize));
  std::memset(row.GetData(), 0, rowSize);
  const unsigned char* pixel = part.pixels;
  for (int y = 0; y < part.height; ++y) {
    unsigned char* out = row.GetData();
    for (int x = 0; x < part.width; ++x, pixel += 4, out += 3) std::memcpy(out, pixel + 1, 3);
    if (!WriteStreamBytes(stream, row.GetData(), rowSize)) return false;
  }
  return true;
}

}  // namespace

bool LLoader_Image_BMP::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[BMP_FILE_HEADER_SIZE];
  uint64_t arrived = stream.Serialize(bytes, sizeof bytes);
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  if (arrived != sizeof bytes) return false;
  static const char* const SIGNATURES[] = {"BM", "BA", "CI", "CP", "IC", "PT"};
  bool signature = false;
  for (const char* candidate : SIGNATURES) signature = signature || std::memcmp(bytes, candidate, 2) == 0;
  return signature && LittleEndian32(bytes + 2) != 0 && LittleEndian32(bytes + 6) == 0;
  KOR_GUARD_END
}

bool LLoader_Image_BMP::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  BitmapFile file;
  return ReadHeaders(stream, file, data);
  KOR_GUARD_END
}

bool LLoader_Image_BMP::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  BitmapFile file;
  if (!ReadHeaders(stream, file, data)) return false;
  // Compressions without a decoder are refused without a message.
  if (!IsBmpLayoutSupported(file.header.bitCount, file.header.compression)) return false;
  if (!DecodePixels(stream, file, data)) {
    WarnCorrupt(stream.GetName());
    return false;
  }
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_BMP::Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) {
  KOR_GUARD_BEGIN
  const LData_ImagePart* part = data.imageData;
  if (part == nullptr || part->pixels == nullptr || !CanWrite(data.format)) return false;
  if (part->width < 1 || part->height < 1) return false;
  const bool wide = data.format == TEXTURE_FORMAT_A8B8G8R8;
  const uint64_t rowSize = (static_cast<uint64_t>(part->width) * (wide ? 4 : 3) + 3) / 4 * 4;
  kor::UString text = options ? options->ConcatenateTexts() : kor::UString();
  const uint64_t textLength = static_cast<uint64_t>(text.GetLength());
  // Every size and offset must fit the headers' 32-bit fields.
  if (rowSize > LARGEST_IMAGE_BUFFER ||
      rowSize * static_cast<uint64_t>(part->height) + HEADERS_SIZE + MASKS_SIZE + textLength > 0xFFFFFFFFu)
    return false;
  if (!WriteHeaders(stream, *part, wide, static_cast<uint32_t>(rowSize), static_cast<uint32_t>(textLength)) ||
      !WriteStreamBytes(stream, text.GetData(), textLength))
    return false;
  if (wide) return WriteStreamBytes(stream, part->pixels, rowSize * static_cast<uint64_t>(part->height));
  return WriteRows24(stream, *part, static_cast<uint32_t>(rowSize));
  KOR_GUARD_END
}

bool LLoader_Image_BMP::CanWrite(int format) {
  return format == TEXTURE_FORMAT_A8B8G8R8 || format == TEXTURE_FORMAT_X8B8G8R8;
}

}  // namespace lum
