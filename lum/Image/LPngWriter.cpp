#include "lum/Image/LPngWriter.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "kor/Utils/UCompressor.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

const unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const unsigned char ZLIB_HEADER[2] = {0x78, 0xDA};

enum { IHDR_DATA_SIZE = 13, PAETH_FILTER = 4 };

void PutBigEndian32(unsigned char* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

// A chunk written in pieces, so that a large payload is not copied only to
// put a few bytes in front of it. The CRC runs over the type and every piece.
class ChunkWriter {
 public:
  ChunkWriter(kor::IOutputStream& stream, const char* type, uint32_t length) : m_stream(stream), m_ok(true) {
    unsigned char head[8];
    PutBigEndian32(head, length);
    std::memcpy(head + 4, type, 4);
    m_crc = kor::UpdateCrc32(0, head + 4, 4);
    m_ok = WriteStreamBytes(m_stream, head, sizeof head);
  }

  void Add(const unsigned char* data, uint32_t length) {
    if (!m_ok || length == 0) return;
    m_crc = kor::UpdateCrc32(m_crc, data, length);
    m_ok = WriteStreamBytes(m_stream, data, length);
  }

  bool Finish() {
    if (!m_ok) return false;
    unsigned char tail[4];
    PutBigEndian32(tail, m_crc);
    return WriteStreamBytes(m_stream, tail, sizeof tail);
  }

 private:
  kor::IOutputStream& m_stream;
  unsigned int m_crc;
  bool m_ok;
};

struct PngLayout {
  unsigned char bitDepth;
  unsigned char colorType;
  unsigned bpp;  // bytes of one pixel in PNG sample order
};

bool LayoutOf(int format, PngLayout& layout) {
  switch (format) {
    case TEXTURE_FORMAT_A8B8G8R8: layout = {8, 6, 4}; return true;
    case TEXTURE_FORMAT_X8B8G8R8: layout = {8, 2, 3}; return true;
    case TEXTURE_FORMAT_A16B16G16R16: layout = {16, 6, 8}; return true;
    // An alpha-only image has no PNG type of its own; its samples are kept as grey.
    case TEXTURE_FORMAT_A8:
    case TEXTURE_FORMAT_L8: layout = {8, 0, 1}; return true;
    case TEXTURE_FORMAT_L16: layout = {16, 0, 2}; return true;
    case TEXTURE_FORMAT_A8L8: layout = {8, 4, 2}; return true;
    default: return false;
  }
}

void PutBigEndian16(unsigned char* bytes, const unsigned char* machineWord) {
  uint16_t word;
  std::memcpy(&word, machineWord, 2);
  bytes[0] = static_cast<unsigned char>(word >> 8);
  bytes[1] = static_cast<unsigned char>(word);
}

// One record row in PNG sample order. The record keeps colours as alpha (or
// filler), blue, green, red, and 16-bit words in machine order.
void ConvertRow(int format, const unsigned char* in, unsigned char* out, int width) {
  for (int x = 0; x < width; ++x) {
    switch (format) {
      case TEXTURE_FORMAT_A8B8G8R8:
        out[0] = in[3], out[1] = in[2], out[2] = in[1], out[3] = in[0];
        in += 4, out += 4;
        break;
      case TEXTURE_FORMAT_X8B8G8R8:
        out[0] = in[3], out[1] = in[2], out[2] = in[1];
        in += 4, out += 3;
        break;
      case TEXTURE_FORMAT_A16B16G16R16:
        for (int word = 0; word < 4; ++word) PutBigEndian16(out + 2 * word, in + 6 - 2 * word);
        in += 8, out += 8;
        break;
      case TEXTURE_FORMAT_L16:
        PutBigEndian16(out, in);
        in += 2, out += 2;
        break;
      case TEXTURE_FORMAT_A8L8:
        out[0] = in[1], out[1] = in[0];
        in += 2, out += 2;
        break;
    }
  }
}

// The predictor and tie-break of PNG's filter type 4: left, then above,
// then above-left.
inline int PaethPredictor(int left, int above, int aboveLeft) {
  int estimate = left + above - aboveLeft;
  int toLeft = estimate > left ? estimate - left : left - estimate;
  int toAbove = estimate > above ? estimate - above : above - estimate;
  int toAboveLeft = estimate > aboveLeft ? estimate - aboveLeft : aboveLeft - estimate;
  if (toLeft <= toAbove && toLeft <= toAboveLeft) return left;
  return toAbove <= toAboveLeft ? above : aboveLeft;
}

void PaethFilterRow(const unsigned char* row, const unsigned char* prior, size_t length, size_t bpp,
                    unsigned char* out) {
  out[0] = PAETH_FILTER;
  for (size_t i = 0; i < length; ++i) {
    int left = i >= bpp ? row[i - bpp] : 0;
    int aboveLeft = i >= bpp ? prior[i - bpp] : 0;
    out[1 + i] = static_cast<unsigned char>(row[i] - PaethPredictor(left, prior[i], aboveLeft));
  }
}

// The filtered image data. The one-byte formats are filtered straight from
// the record's rows; the others through two converted rows.
bool BuildFilteredData(const LData_Image& image, const PngLayout& layout, kor::UArray<unsigned char>& filtered) {
  const LData_ImagePart& part = *image.imageData;
  uint64_t rowBytes = static_cast<uint64_t>(part.width) * layout.bpp;
  uint64_t total = static_cast<uint64_t>(part.height) * (1 + rowBytes);
  if (part.width <= 0 || part.height <= 0 || total > LARGEST_IMAGE_BUFFER) return false;
  int length = static_cast<int>(rowBytes);
  filtered.EmptyExact(static_cast<int>(total));
  filtered.Grow(static_cast<int>(total));
  // The first row is filtered against a row of zeros.
  kor::UArray<unsigned char> rowA(length);
  kor::UArray<unsigned char> rowB(length);
  std::memset(rowA.GetData(), 0, rowBytes);
  std::memset(rowB.GetData(), 0, rowBytes);
  unsigned char* current = rowA.GetData();
  unsigned char* prior = rowB.GetData();
  int pixelBytes = LData_Image::BytesPerPixel(image.format);
  bool direct = layout.bpp == 1;
  for (int y = 0; y < part.height; ++y) {
    const unsigned char* source = part.pixels + static_cast<size_t>(y) * part.width * pixelBytes;
    const unsigned char* row = source;
    if (!direct) {
      ConvertRow(image.format, source, current, part.width);
      row = current;
    }
    PaethFilterRow(row, prior, rowBytes, layout.bpp, filtered.GetData() + y * (1 + rowBytes));
    if (direct) {
      prior = const_cast<unsigned char*>(source);
    } else {
      unsigned char* swap = prior;
      prior = current;
      current = swap;
    }
  }
  return true;
}

}  // namespace

bool WritePngChunk(kor::IOutputStream& stream, const char* type, const unsigned char* data, uint32_t length) {
  ChunkWriter chunk(stream, type, length);
  chunk.Add(data, length);
  return chunk.Finish();
}

bool WritePngHeaderChunk(const LData_Image& image, kor::IOutputStream& stream) {
  KOR_GUARD_BEGIN
  PngLayout layout;
  if (image.imageData == nullptr || !LayoutOf(image.format, layout)) return false;
  unsigned char data[IHDR_DATA_SIZE] = {};
  PutBigEndian32(data, static_cast<uint32_t>(image.imageData->width));
  PutBigEndian32(data + 4, static_cast<uint32_t>(image.imageData->height));
  data[8] = layout.bitDepth;
  data[9] = layout.colorType;
  return WritePngChunk(stream, "IHDR", data, IHDR_DATA_SIZE);
  KOR_GUARD_END
}

bool WriteImageDataChunk(const LData_Image& image, kor::IOutputStream& stream) {
  KOR_GUARD_BEGIN
  PngLayout layout;
  if (image.imageData == nullptr || image.imageData->pixels == nullptr || !LayoutOf(image.format, layout))
    return false;
  kor::UArray<unsigned char> filtered;
  if (!BuildFilteredData(image, layout, filtered)) return false;
  kor::UArray<unsigned char> compressed;
  if (!kor::Compress(filtered, compressed)) return false;
  unsigned char adler[4];
  PutBigEndian32(adler, kor::ComputeAdler32(filtered.GetData(), static_cast<unsigned>(filtered.GetNum())));
  uint32_t compressedLength = static_cast<uint32_t>(compressed.GetNum());
  ChunkWriter chunk(stream, "IDAT", sizeof ZLIB_HEADER + compressedLength + sizeof adler);
  chunk.Add(ZLIB_HEADER, sizeof ZLIB_HEADER);
  chunk.Add(compressed.GetData(), compressedLength);
  chunk.Add(adler, sizeof adler);
  return chunk.Finish();
  KOR_GUARD_END
}

bool WriteTextChunk(const LImageSaveOptions& options, kor::IOutputStream& stream) {
  KOR_GUARD_BEGIN
  kor::UString block = options.BuildTextBlock();
  return WritePngChunk(stream, "tEXt", reinterpret_cast<const unsigned char*>(block.GetText()),
                       static_cast<uint32_t>(block.GetLength()));
  KOR_GUARD_END
}

bool WriteEndChunk(kor::IOutputStream& stream) { return WritePngChunk(stream, "IEND", nullptr, 0); }

bool WritePngFile(kor::IOutputStream& stream, const LData_Image& image, const LImageSaveOptions* options) {
  KOR_GUARD_BEGIN
  PngLayout layout;
  if (image.imageData == nullptr || image.imageData->pixels == nullptr || !LayoutOf(image.format, layout))
    return false;
  if (!WriteStreamBytes(stream, PNG_SIGNATURE, sizeof PNG_SIGNATURE)) return false;
  if (!WritePngHeaderChunk(image, stream)) return false;
  if (options != nullptr && options->CountSetTexts() > 0 && !WriteTextChunk(*options, stream)) return false;
  return WriteImageDataChunk(image, stream) && WriteEndChunk(stream);
  KOR_GUARD_END
}

bool CanWritePng(int format) {
  PngLayout layout;
  return LayoutOf(format, layout);
}

}  // namespace lum
