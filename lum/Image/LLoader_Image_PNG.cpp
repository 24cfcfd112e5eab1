#include "lum/Image/LLoader_Image_PNG.h"

#include <cstdint>
#include <cstring>

#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UCompressor.h"
#include "lum/Image/LPngGreyInPlace.h"
#include "lum/Image/LPngReconstruct.h"
#include "lum/Image/LPngUnpack.h"
#include "lum/Image/LPngWriter.h"

namespace lum {

namespace {

const unsigned char PNG_SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// The largest array the containers hold: no inflated data or pixel buffer
// can be larger.
const uint64_t LARGEST_BUFFER = 0x7FFFFFC0;

// Deflate turns two bits into at most one match of 258 bytes: no stream
// expands more than 1032 times.
const uint64_t DEFLATE_MAX_EXPANSION = 1032;

// The largest width and height PNG allows.
const uint32_t LARGEST_SIDE = 0x7FFFFFFF;

enum { ZLIB_PRESET_DICTIONARY = 0x20 };

const char* const NOT_DEFLATE = "Files in png format must use the deflate compression scheme.";
const char* const CUT_SHORT = "The file ends before its IEND chunk";

kor::IMessageSink* WarningChannel() {
  kor::ICoreServices* services = kor::GetCoreServices();
  return services ? services->GetChannel(7) : nullptr;
}

void Report(const char* start, const kor::UString& name, const char* end) {
  kor::UMessageWriter(WarningChannel(), start) << name << end;
}

void ReportCorrupt(const kor::UString& name, const char* end) {
  kor::UMessageWriter(WarningChannel(), "File \"") << name << "\" is corrupt. " << end;
}

// A read that comes back short fails: bytes that never arrived are not used.
bool ReadExactly(kor::IInputStream& stream, void* buffer, uint64_t size) {
  return stream.Serialize(buffer, size) == size;
}

unsigned int BigEndian32(const unsigned char* bytes) {
  return (static_cast<unsigned int>(bytes[0]) << 24) | (static_cast<unsigned int>(bytes[1]) << 16) |
         (static_cast<unsigned int>(bytes[2]) << 8) | bytes[3];
}

bool IsChunkType(const unsigned char* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// The 13 IHDR data bytes and the CRC that follows them.
void ParseHeader(const unsigned char* bytes, PngHeader& header) {
  header.width = BigEndian32(bytes);
  header.height = BigEndian32(bytes + 4);
  header.bitDepth = bytes[8];
  header.colorType = bytes[9];
  header.compressionMethod = bytes[10];
  header.filterMethod = bytes[11];
  header.interlaceMethod = bytes[12];
  header.crc = BigEndian32(bytes + 13);
}

// Compression method 8 in the low nibble of CMF, and CMF and FLG together a
// multiple of 31.
bool HasZlibHeader(const kor::UArray<unsigned char>& data) {
  if (data.GetNum() < 2) return false;
  unsigned cmf = data[0];
  unsigned flg = data[1];
  return (cmf & 0x0F) == 8 && (cmf * 256 + flg) % 31 == 0;
}

// Decompress reads from an array: the deflate stream after the zlib header
// is lent to one where it lies rather than copied. The loan ends before
// the array is destroyed, so the bytes are never freed through it.
class LentBytes {
 public:
  LentBytes(const unsigned char* bytes, int count) {
    m_array.m_array = const_cast<unsigned char*>(bytes);
    m_array.m_arrayNum = count;
    m_array.m_arrayMax = count;
  }
  LentBytes(const LentBytes&) = delete;
  LentBytes& operator=(const LentBytes&) = delete;
  ~LentBytes() noexcept(false) {
    m_array.m_array = nullptr;
    m_array.m_arrayNum = 0;
    m_array.m_arrayMax = 0;
  }
  const kor::UArray<unsigned char>& Get() const { return m_array; }

 private:
  kor::UArray<unsigned char> m_array;
};

// Inflates the image data up to the bytes the image needs and no further;
// more data is a warning, not more memory. The Adler-32 trailer is never
// reached: decoding ends with the final block. False after a message when
// the data is broken or too short.
bool Inflate(const kor::UArray<unsigned char>& zlibStream, uint64_t needed, const kor::UString& name,
             kor::UArray<unsigned char>& inflated) {
  LentBytes body(zlibStream.GetData() + 2, zlibStream.GetNum() - 2);
  kor::InflateResult result;
  {
    kor::DecompressorPolicy_Deflate policy;
    result = kor::DecompressAtMost(body.Get(), policy, inflated, static_cast<int>(needed));
  }
  if (result == kor::INFLATE_FULL)
    Report("More image data than the image needs. \"", name, "\" may be a corrupt png file");
  if (result == kor::INFLATE_BROKEN || static_cast<uint64_t>(inflated.GetNum()) < needed) {
    ReportCorrupt(name, NOT_DEFLATE);
    return false;
  }
  return true;
}

// The array's storage, which the record's pixels then own: both come from
// the pool as arrays of bytes. The array is left empty.
unsigned char* TakeStorage(kor::UArray<unsigned char>& bytes) {
  unsigned char* storage = bytes.m_array;
  bytes.m_array = nullptr;
  bytes.m_arrayNum = 0;
  bytes.m_arrayMax = 0;
  return storage;
}

uint64_t PixelBufferSize(const LData_ImagePart& part, int pixelBytes) {
  if (part.width < 0 || part.height < 0) return UINT64_MAX;
  return static_cast<uint64_t>(part.width) * static_cast<uint64_t>(part.height) *
         static_cast<uint64_t>(pixelBytes);
}

// The rest of the stream in one read. False after a message when it is too
// large for one buffer or does not arrive whole.
bool ReadRemainder(kor::IInputStream& stream, kor::UArray<unsigned char>& bytes) {
  uint64_t size = stream.GetSize();
  uint64_t position = stream.GetPosition();
  uint64_t remainder = size > position ? size - position : 0;
  if (remainder > LARGEST_BUFFER) {
    Report("Can't handle file \"", stream.GetName(), "\". The file is too large.");
    return false;
  }
  bytes.Grow(static_cast<int>(remainder));
  if (remainder == 0 || ReadExactly(stream, bytes.GetData(), remainder)) return true;
  ReportCorrupt(stream.GetName(), CUT_SHORT);
  return false;
}

// Gathers the IDAT data and finds the last PLTE up to IEND, then decodes.
// Every chunk must lie wholly inside the bytes; no CRC after IHDR's is
// checked. The image data is gathered in place, each IDAT's data moved
// down behind the data before it, so the palette is kept as a copy.
bool DecodeChunks(const PngHeader& header, kor::UArray<unsigned char>& file, const kor::UString& name,
                  LData_Image& data) {
  unsigned char paletteEntries[3 * 256];
  PngPalette palette = {paletteEntries, 0};
  bool hasPalette = false;
  unsigned char* bytes = file.GetData();
  const uint64_t size = static_cast<uint64_t>(file.GetNum());
  uint64_t gathered = 0;
  for (uint64_t at = 0;;) {
    if (size - at < 12 || BigEndian32(bytes + at) > size - at - 12) {
      ReportCorrupt(name, CUT_SHORT);
      return false;
    }
    const uint64_t length = BigEndian32(bytes + at);
    const unsigned char* type = bytes + at + 4;
    const unsigned char* chunk = bytes + at + 8;
    if (IsChunkType(type, "IDAT")) {
      if (length > 0) std::memmove(bytes + gathered, chunk, static_cast<size_t>(length));
      gathered += length;
    } else if (IsChunkType(type, "PLTE")) {
      palette.entryNum = static_cast<int>(length / 3 < 256 ? length / 3 : 256);
      std::memcpy(paletteEntries, chunk, static_cast<size_t>(3 * palette.entryNum));
      hasPalette = true;
    } else if (IsChunkType(type, "IEND")) {
      file.m_arrayNum = static_cast<int>(gathered);
      return LLoader_Image_PNG::DecodeImageData(header, file, name, hasPalette ? &palette : nullptr, data);
    }
    at += 12 + length;
  }
}

}  // namespace

bool LLoader_Image_PNG::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[8];
  uint64_t arrived = stream.Serialize(bytes, sizeof(bytes));
  // Stepping back by what arrived, not by what was asked for, leaves a
  // short stream where it was too.
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  return arrived == sizeof(bytes) && std::memcmp(bytes, PNG_SIGNATURE, sizeof(bytes)) == 0;
  KOR_GUARD_END
}

bool LLoader_Image_PNG::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  PngHeader header;
  return ReadPngHeader(stream, header, data);
  KOR_GUARD_END
}

bool LLoader_Image_PNG::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  PngHeader header;
  if (!ReadPngHeader(stream, header, data)) return false;
  kor::UArray<unsigned char> file;
  if (!ReadRemainder(stream, file)) return false;
  return DecodeChunks(header, file, stream.GetName(), data);
  KOR_GUARD_END
}

bool LLoader_Image_PNG::Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) {
  return WritePngFile(stream, data, options);
}

bool LLoader_Image_PNG::CanWrite(int format) { return CanWritePng(format); }

bool LLoader_Image_PNG::ReadPngHeader(kor::IInputStream& stream, PngHeader& header, LData_Image& data) {
  KOR_GUARD_BEGIN
  unsigned char bytes[17];
  if (!ReadExactly(stream, bytes, 8) || std::memcmp(bytes, PNG_SIGNATURE, 8) != 0) {
    Report("Can't handle \"", stream.GetName(), "\". This is not a png file");
    return false;
  }
  // The chunk's length is not looked at: IHDR always holds 13 bytes.
  unsigned char chunkType[8];
  if (!ReadExactly(stream, chunkType, 8) || !IsChunkType(chunkType + 4, "IHDR")) {
    ReportCorrupt(stream.GetName(), "The first chunk in a png file must be the IHDR chunk");
    return false;
  }
  if (!ReadExactly(stream, bytes, 17)) {
    ReportCorrupt(stream.GetName(), "CRC failed in IHDR chunk");
    return false;
  }
  ParseHeader(bytes, header);
  if (kor::UpdateCrc32(kor::UpdateCrc32(0, chunkType + 4, 4), bytes, 13) != header.crc) {
    ReportCorrupt(stream.GetName(), "CRC failed in IHDR chunk");
    return false;
  }
  // Sizes beyond 2^31 - 1 do not exist in PNG, and would turn negative.
  if (header.width > LARGEST_SIDE || header.height > LARGEST_SIDE) {
    ReportCorrupt(stream.GetName(), "Its width or height is too large");
    return false;
  }
  data.SetImageData(new LData_ImagePart(static_cast<int>(header.width), static_cast<int>(header.height)));
  data.format = GetPngPixelFormat(header.colorType, header.bitDepth);
  if (data.format == TEXTURE_FORMAT_NONE) {
    ReportCorrupt(stream.GetName(), "It uses an unknown color type");
    return false;
  }
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_PNG::DecodeImageData(const PngHeader& header, const kor::UArray<unsigned char>& data,
                                        const kor::UString& name, const PngPalette* palette,
                                        LData_Image& image) {
  KOR_GUARD_BEGIN
  const PngPass* passes;
  if (GetPngPasses(header.interlaceMethod, passes) == 0) {
    Report("Can't handle file \"", name, "\". The specified interlacing method is invalid or not supported.");
    return false;
  }
  PngPixelLayout layout;
  if (!GetPngPixelLayout(header.colorType, header.bitDepth, layout)) {
    ReportCorrupt(name, "It uses an unknown color type");
    return false;
  }
  if (!HasZlibHeader(data)) {
    ReportCorrupt(name, NOT_DEFLATE);
    return false;
  }
  // A dictionary is never needed for image data: decoding goes on without one.
  if (data[1] & ZLIB_PRESET_DICTIONARY)
    Report("Unexpected zLib dictionary found (there shouldn't be one). \"", name,
           "\" may be a corrupt png file");

  LData_ImagePart* part = image.imageData;
  assure(part != nullptr);
  assure(LData_Image::BytesPerPixel(image.format) == layout.pixelBytes);
  // Sizes from the file are checked before anything is sized by them: a
  // size the buffers cannot hold, or that the data present could not
  // inflate to, is refused before a byte is allocated for it.
  uint64_t needed = PngImageDataSize(header, layout.bitsPerPixel);
  uint64_t pixelBytes = PixelBufferSize(*part, layout.pixelBytes);
  if (needed > LARGEST_BUFFER || pixelBytes > LARGEST_BUFFER) {
    Report("Can't handle file \"", name, "\". The image is too large.");
    return false;
  }
  if (needed / DEFLATE_MAX_EXPANSION > static_cast<uint64_t>(data.GetNum())) {
    ReportCorrupt(name, "Its image data is too short for the size in its header");
    return false;
  }

  kor::UArray<unsigned char> inflated;
  if (!Inflate(data, needed, name, inflated)) return false;
  // Grey rows become the record's pixels where they were inflated (a JNG's
  // alpha channel is such an image).
  if (CanReconstructGreyInPlace(header) && header.width == static_cast<uint32_t>(part->width) &&
      header.height == static_cast<uint32_t>(part->height)) {
    ReconstructGreyInPlace(header, inflated.GetData());
    part->SetPixels(TakeStorage(inflated));
    return true;
  }
  part->SetPixels(new unsigned char[static_cast<size_t>(pixelBytes)]);
  if (ReconstructImage(image, header, inflated, palette)) return true;
  ReportCorrupt(name, NOT_DEFLATE);
  return false;
  KOR_GUARD_END
}

}  // namespace lum
