#include "lum/Image/LLoader_Image_TGA.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "lum/Image/LImageWarning.h"
#include "lum/Image/LStreamBytes.h"
#include "lum/Image/LTgaHeader.h"
#include "lum/Image/LTgaPixels.h"

namespace lum {

namespace {

void WarnUnsupportedFormat(const kor::UString& name) {
  WarnAboutImage("Can't handle file \"", name,
                 "\". This tga file uses an unsupported image format (it may be corrupt).");
}

bool ReadHeader(kor::IInputStream& stream, LTgaHeader& header, LData_Image& data) {
  unsigned char bytes[TGA_HEADER_SIZE];
  if (!ReadStreamBytes(stream, bytes, sizeof bytes)) {
    WarnUnsupportedFormat(stream.GetName());
    return false;
  }
  ParseTgaHeader(bytes, header);
  data.SetImageData(new LData_ImagePart(static_cast<int>(header.width), static_cast<int>(header.height)));
  data.format = GetTgaPixelFormat(header);
  if (!IsTgaPixelDepth(header.pixelDepth)) {
    WarnAboutImage("Can't handle \"", stream.GetName(),
                   "\". This tga file uses an unsupported color depth (supported: 8, 15, 16, 24 and 32 bits "
                   "per pixel).");
    return false;
  }
  return true;
}

bool IsColorMapped(const LTgaHeader& header) {
  return header.imageType == TGA_TYPE_COLOR_MAPPED || header.imageType == TGA_TYPE_RLE_COLOR_MAPPED;
}

// Bytes per value in the file, or 0 for combinations that have no
// conversion: indices are single bytes into a map that is present, colours
// are 15, 16, 24 or 32 bits, and greyscale is read as 8-bit samples only.
unsigned ValueBytesOf(const LTgaHeader& header) {
  if (IsColorMapped(header)) {
    unsigned entrySize = header.colorMapEntrySize;
    bool entriesConvert = entrySize == 15 || entrySize == 16 || entrySize == 24 || entrySize == 32;
    return header.colorMapType == 1 && header.pixelDepth == 8 && entriesConvert ? 1 : 0;
  }
  if (header.imageType == TGA_TYPE_GRAYSCALE) return header.pixelDepth == 8 ? 1 : 0;
  return header.pixelDepth == 8 ? 0 : (header.pixelDepth + 1) / 8;
}

// The fewest data bytes that can hold the image: every value once, or one
// packet of 128 repeated pixels per 128 pixels.
uint64_t LeastDataBytes(uint64_t pixelCount, unsigned valueBytes, bool runLength) {
  if (!runLength) return pixelCount * valueBytes;
  return (pixelCount + 127) / 128 * (1 + valueBytes);
}

uint64_t RemainingBytes(kor::IInputStream& stream) {
  uint64_t size = stream.GetSize();
  uint64_t position = stream.GetPosition();
  return size > position ? size - position : 0;
}

// The identification and the colour map that follow the header.
bool ReadPrelude(kor::IInputStream& stream, const LTgaHeader& header, kor::UArray<unsigned char>& prelude) {
  const unsigned mapBytes = header.colorMapType == 1 ? header.colorMapLength * TgaColorMapEntryBytes(header) : 0;
  prelude.Grow(static_cast<int>(header.idLength + mapBytes));
  return ReadStreamBytes(stream, prelude.GetData(), static_cast<uint64_t>(prelude.GetNum()));
}

// Uncompressed values are read a row at a time: no copy of the whole file
// is made on the way.
bool DecodeRows(kor::IInputStream& stream, const LTgaHeader& header, const LTgaValues& layout, bool grey,
                LTgaCursor& cursor) {
  kor::UArray<unsigned char> row(static_cast<int>(header.width * layout.valueBytes));
  const size_t rowBytes = static_cast<size_t>(row.GetNum());
  for (unsigned y = 0; y < header.height; ++y) {
    if (!ReadStreamBytes(stream, row.GetData(), rowBytes)) return false;
    if (grey) DecodeTgaGrey(row.GetData(), rowBytes, cursor, header.width);
    else DecodeTgaPixels(layout, false, row.GetData(), rowBytes, cursor, header.width);
  }
  return true;
}

// Packets run on across rows: they are decoded from all the bytes the
// image can use at most, read at once.
bool DecodeRuns(kor::IInputStream& stream, const LTgaValues& layout, uint64_t pixelCount, LTgaCursor& cursor) {
  kor::UArray<unsigned char> bytes;
  if (!ReadStreamRemainder(stream, pixelCount * (layout.valueBytes + 1), bytes)) return false;
  return DecodeTgaPixels(layout, true, bytes.GetData(), static_cast<size_t>(bytes.GetNum()), cursor,
                         static_cast<size_t>(pixelCount));
}

// Decodes the image that follows the header into the record, turned so
// that the top row comes first, left to right; false for data that is
// short or has no conversion. The data must be able to hold the image
// before its pixels are allocated.
bool DecodeImage(kor::IInputStream& stream, const LTgaHeader& header, LData_Image& data) {
  const unsigned valueBytes = ValueBytesOf(header);
  const uint64_t pixelCount = static_cast<uint64_t>(header.width) * header.height;
  const bool runLength = header.imageType >= TGA_TYPE_RLE_COLOR_MAPPED;
  kor::UArray<unsigned char> prelude;
  if (valueBytes == 0 || pixelCount == 0 || !ReadPrelude(stream, header, prelude)) return false;
  if (RemainingBytes(stream) < LeastDataBytes(pixelCount, valueBytes, runLength)) return false;

  const bool grey = header.imageType == TGA_TYPE_GRAYSCALE;
  unsigned char* pixels = NewPixelArray(pixelCount, grey ? 1 : 4);
  if (pixels == nullptr) return false;
  data.imageData->SetPixels(pixels);
  LTgaCursor cursor(pixels, header.width, header.height, grey ? 1 : 4, !(header.descriptor & TGA_TOP_TO_BOTTOM),
                    (header.descriptor & TGA_RIGHT_TO_LEFT) != 0);
  unsigned char table[TGA_INDEX_TABLE_SIZE];
  LTgaValues layout = {valueBytes, nullptr};
  if (IsColorMapped(header)) {
    BuildTgaIndexTable(prelude.GetData() + header.idLength, header.colorMapFirst, header.colorMapLength,
                       TgaColorMapEntryBytes(header), table);
    layout.indexTable = table;
  }
  return runLength ? DecodeRuns(stream, layout, pixelCount, cursor) : DecodeRows(stream, header, layout, grey, cursor);
}

bool WriteIdentification(kor::IOutputStream& stream, const kor::UString& text, unsigned length) {
  return WriteStreamBytes(stream, text.GetData(), length);
}

// Blue, green, red and, for 32 bits, alpha of each pixel, row by row.
bool WriteColorPixels(kor::IOutputStream& stream, const LData_ImagePart& part, bool withAlpha) {
  const size_t width = static_cast<size_t>(part.width);
  const unsigned outBytes = withAlpha ? 4 : 3;
  kor::UArray<unsigned char> row(static_cast<int>(width * outBytes));
  const unsigned char* pixel = part.pixels;
  for (int y = 0; y < part.height; ++y) {
    unsigned char* out = row.GetData();
    for (size_t x = 0; x < width; ++x, pixel += 4, out += outBytes) {
      out[0] = pixel[1];
      out[1] = pixel[2];
      out[2] = pixel[3];
      if (withAlpha) out[3] = pixel[0];
    }
    if (!WriteStreamBytes(stream, row.GetData(), width * outBytes)) return false;
  }
  return true;
}

}  // namespace

bool LLoader_Image_TGA::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[TGA_HEADER_SIZE];
  uint64_t arrived = stream.Serialize(bytes, sizeof bytes);
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  if (arrived != sizeof bytes) return false;
  LTgaHeader header;
  ParseTgaHeader(bytes, header);
  static const unsigned char TYPES[] = {0, 1, 2, 3, 9, 10, 11, 32, 33};
  bool knownType = std::memchr(TYPES, static_cast<int>(header.imageType), sizeof TYPES) != nullptr;
  return header.colorMapType <= 1 && IsTgaPixelDepth(header.pixelDepth) &&
         (header.descriptor & TGA_INTERLEAVING) == 0 && knownType;
  KOR_GUARD_END
}

bool LLoader_Image_TGA::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  LTgaHeader header;
  return ReadHeader(stream, header, data);
  KOR_GUARD_END
}

bool LLoader_Image_TGA::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  LTgaHeader header;
  if (!ReadHeader(stream, header, data)) return false;
  switch (header.imageType) {
    case TGA_TYPE_NONE:
      WarnAboutImage("File \"", stream.GetName(),
                     "\" doesn't contain any image data. There are tga files without image data, but that is "
                     "usually not intended to be like that.");
      return true;
    case TGA_TYPE_RLE_GRAYSCALE:
      WarnAboutImage("File \"", stream.GetName(),
                     "\" is a RLE encoded grayscale tga file, which is not supported yet. Please send in the "
                     "file which caused this message to get full mind-blowing support of realistic RLE "
                     "encoded grayscale 'TrueVision Graphics Adapter (TM)' files.");
      return false;
    case TGA_TYPE_COLOR_MAPPED:
    case TGA_TYPE_TRUE_COLOR:
    case TGA_TYPE_GRAYSCALE:
    case TGA_TYPE_RLE_COLOR_MAPPED:
    case TGA_TYPE_RLE_TRUE_COLOR:
      break;
    default:
      WarnUnsupportedFormat(stream.GetName());
      return false;
  }
  if (!DecodeImage(stream, header, data)) {
    WarnUnsupportedFormat(stream.GetName());
    return false;
  }
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_TGA::Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) {
  KOR_GUARD_BEGIN
  const LData_ImagePart* part = data.imageData;
  if (part == nullptr || part->pixels == nullptr || !CanWrite(data.format)) return false;
  if (part->width < 1 || part->width > 0xFFFF || part->height < 1 || part->height > 0xFFFF) return false;

  kor::UString text = options ? options->ConcatenateTexts() : kor::UString();
  const unsigned idLength = text.GetLength() < 255 ? static_cast<unsigned>(text.GetLength()) : 255;
  const bool grey = data.format == TEXTURE_FORMAT_A8 || data.format == TEXTURE_FORMAT_L8;
  const bool withAlpha = data.format == TEXTURE_FORMAT_A8B8G8R8;
  LTgaHeader header = {};
  header.idLength = idLength;
  header.imageType = grey ? TGA_TYPE_GRAYSCALE : TGA_TYPE_TRUE_COLOR;
  header.width = static_cast<unsigned>(part->width);
  header.height = static_cast<unsigned>(part->height);
  header.pixelDepth = grey ? 8 : withAlpha ? 32 : 24;
  header.descriptor = TGA_TOP_TO_BOTTOM | (withAlpha ? 8 : 0);
  unsigned char bytes[TGA_HEADER_SIZE];
  FormatTgaHeader(header, bytes);

  if (!WriteStreamBytes(stream, bytes, sizeof bytes) || !WriteIdentification(stream, text, idLength)) return false;
  if (grey) return WriteStreamBytes(stream, part->pixels, static_cast<uint64_t>(part->width) * part->height);
  return WriteColorPixels(stream, *part, withAlpha);
  KOR_GUARD_END
}

bool LLoader_Image_TGA::CanWrite(int format) {
  return format == TEXTURE_FORMAT_A8B8G8R8 || format == TEXTURE_FORMAT_X8B8G8R8 || format == TEXTURE_FORMAT_A8 ||
         format == TEXTURE_FORMAT_L8;
}

}  // namespace lum
