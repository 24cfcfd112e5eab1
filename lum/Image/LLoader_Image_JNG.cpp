#include "lum/Image/LLoader_Image_JNG.h"

#include <cstring>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UCompressor.h"
#include "lum/Image/LJngWriter.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"
#include "lum/Image/LLoader_Image_PNG.h"

namespace lum {

namespace {

const unsigned char JNG_SIGNATURE[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

enum { JHDR_DATA_SIZE = 16, JHDR_RECORD_SIZE = JHDR_DATA_SIZE + 4, CHUNK_FRAME_SIZE = 12 };

uint32_t BigEndian32(const unsigned char* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

constexpr uint32_t ChunkType(const char (&name)[5]) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(name[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(name[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(name[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(name[3]));
}

const uint32_t CHUNK_JHDR = ChunkType("JHDR");
const uint32_t CHUNK_JDAT = ChunkType("JDAT");
const uint32_t CHUNK_JDAA = ChunkType("JDAA");
const uint32_t CHUNK_IDAT = ChunkType("IDAT");
const uint32_t CHUNK_JSEP = ChunkType("JSEP");
const uint32_t CHUNK_IEND = ChunkType("IEND");

// One message on the warnings channel: a fixed start, the stream's name and
// a fixed end.
void Report(kor::IInputStream& stream, const char* start, const char* end) {
  kor::UMessageWriter(kor::GetCoreServices()->GetChannel(7), start) << stream.GetName() << end;
}

void ReportCorrupt(kor::IInputStream& stream, const char* end) { Report(stream, "File \"", end); }

const char* const CUT_SHORT = "\" is corrupt. The file ends before its IEND chunk";

// The largest width and height a record can take.
const uint32_t LARGEST_SIDE = 0x7FFFFFFF;

int HeaderFormat(const LLoader_Image_JNG::JngHeader& header) {
  bool twelveBit = header.sampleDepth == 12;
  switch (header.colorType) {
    case LLoader_Image_JNG::COLOR_TYPE_GREY:
      return twelveBit ? TEXTURE_FORMAT_L16 : TEXTURE_FORMAT_L8;
    case LLoader_Image_JNG::COLOR_TYPE_COLOR:
      return twelveBit ? TEXTURE_FORMAT_A16B16G16R16 : TEXTURE_FORMAT_X8B8G8R8;
    case LLoader_Image_JNG::COLOR_TYPE_GREY_ALPHA:
      return TEXTURE_FORMAT_A8L8;
    case LLoader_Image_JNG::COLOR_TYPE_COLOR_ALPHA:
      return twelveBit ? TEXTURE_FORMAT_A16B16G16R16 : TEXTURE_FORMAT_A8B8G8R8;
    default:
      return TEXTURE_FORMAT_NONE;
  }
}

void ParseHeader(const unsigned char* bytes, LLoader_Image_JNG::JngHeader& header) {
  header.width = BigEndian32(bytes);
  header.height = BigEndian32(bytes + 4);
  header.colorType = bytes[8];
  header.sampleDepth = bytes[9];
  header.compressionMethod = bytes[10];
  header.interlaceMethod = bytes[11];
  header.alphaSampleDepth = bytes[12];
  header.alphaCompressionMethod = bytes[13];
  header.alphaFilterMethod = bytes[14];
  header.alphaInterlaceMethod = bytes[15];
  header.crc = BigEndian32(bytes + JHDR_DATA_SIZE);
}

// Reserved beforehand to the whole remainder, so appending never moves.
void Append(kor::UArray<unsigned char>& stream, const unsigned char* bytes, uint32_t length) {
  if (length == 0) return;
  int start = stream.Grow(static_cast<int>(length));
  std::memcpy(stream.GetData() + start, bytes, length);
}

// Walks the chunks after JHDR up to JSEP or IEND: JDAT data makes the colour
// stream, IDAT and JDAA data the alpha stream. False when a chunk reaches
// past the end or the data ends before JSEP or IEND. Chunk CRCs are not
// checked.
bool GatherStreams(const kor::UArray<unsigned char>& file, kor::UArray<unsigned char>& colour,
                   kor::UArray<unsigned char>& alpha) {
  uint64_t size = static_cast<uint64_t>(file.GetNum());
  colour.EmptyExact(file.GetNum());
  alpha.EmptyExact(file.GetNum());
  uint64_t position = 0;
  for (;;) {
    if (size - position < CHUNK_FRAME_SIZE) return false;
    const unsigned char* chunk = file.GetData() + position;
    uint32_t length = BigEndian32(chunk);
    uint32_t type = BigEndian32(chunk + 4);
    // 64-bit sums: no length can wrap the position around.
    uint64_t next = position + CHUNK_FRAME_SIZE + length;
    if (next > size) return false;
    if (type == CHUNK_JDAT) Append(colour, chunk + 8, length);
    else if (type == CHUNK_IDAT || type == CHUNK_JDAA) Append(alpha, chunk + 8, length);
    else if (type == CHUNK_JSEP || type == CHUNK_IEND) return true;
    position = next;
  }
}

// The deflated alpha is reconstructed at the header's size into a record of
// the colour image's size: the two must agree, or the samples would not fit.
bool DecodeDeflatedAlpha(kor::IInputStream& stream, const LLoader_Image_JNG::JngHeader& header,
                         const kor::UArray<unsigned char>& data, LData_Image& alpha) {
  const LData_ImagePart& part = *alpha.imageData;
  if (header.width != static_cast<uint32_t>(part.width) || header.height != static_cast<uint32_t>(part.height))
    return false;
  PngHeader png;
  std::memset(&png, 0, sizeof png);
  png.width = header.width;
  png.height = header.height;
  png.bitDepth = header.alphaSampleDepth;
  png.colorType = 0;
  png.compressionMethod = 0;
  png.filterMethod = header.alphaFilterMethod;
  png.interlaceMethod = header.alphaInterlaceMethod;
  return LLoader_Image_PNG::DecodeImageData(png, data, stream.GetName(), nullptr, alpha);
}

uint32_t AlphaSample8(const unsigned char* samples, size_t index) { return samples[index]; }

uint32_t AlphaSample16(const unsigned char* samples, size_t index) {
  uint16_t word;
  std::memcpy(&word, samples + 2 * index, sizeof word);
  return word / 257u;
}

// The value of a byte at position `byte` of a word in machine order:
// pixels are merged a whole word at a time, which the compiler turns into
// vector code (byte by byte the merge would cost as much as the decode).
template <class WORD>
WORD ByteUnit(int byte) {
  unsigned char bytes[sizeof(WORD)] = {};
  bytes[byte] = 1;
  WORD unit;
  std::memcpy(&unit, bytes, sizeof unit);
  return unit;
}

// Byte 0 of each four-byte pixel (the filler) becomes its alpha sample.
template <uint32_t (*SAMPLE)(const unsigned char*, size_t)>
void FillFillers(const unsigned char* __restrict samples, unsigned char* __restrict pixels, size_t begin, size_t end) {
  const uint32_t unit = ByteUnit<uint32_t>(0);
  const uint32_t keep = ~(unit * 0xFFu);
  for (size_t i = begin; i < end; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, pixels + 4 * i, sizeof pixel);
    pixel = (pixel & keep) | SAMPLE(samples, i) * unit;
    std::memcpy(pixels + 4 * i, &pixel, sizeof pixel);
  }
}

// Alpha then grey for each pixel.
template <uint32_t (*SAMPLE)(const unsigned char*, size_t)>
void Interleave(const unsigned char* __restrict samples, const unsigned char* __restrict grey,
                unsigned char* __restrict pixels, size_t begin, size_t end) {
  const uint16_t alphaUnit = ByteUnit<uint16_t>(0);
  const uint16_t greyUnit = ByteUnit<uint16_t>(1);
  for (size_t i = begin; i < end; ++i) {
    uint16_t pixel = static_cast<uint16_t>(SAMPLE(samples, i) * alphaUnit + grey[i] * greyUnit);
    std::memcpy(pixels + 2 * i, &pixel, sizeof pixel);
  }
}

// An alpha record that can be merged into image: grey samples, one for
// every pixel of the image's part.
bool AlphaFits(const LData_Image& alpha, const LData_Image& image) {
  const LData_ImagePart* samples = alpha.imageData;
  const LData_ImagePart* target = image.imageData;
  if (samples == nullptr || target == nullptr || samples->pixels == nullptr) return false;
  if (samples->width != target->width || samples->height != target->height) return false;
  return alpha.format == TEXTURE_FORMAT_L8 || alpha.format == TEXTURE_FORMAT_L16;
}

// Merges a fitting alpha into the image's rows as they become ready, while
// they are still in the cache; Finish gives the image its format with
// alpha. A four-component image keeps its bytes.
class AlphaMerger : public LLoader_Image_JPG_Base::RowListener {
 public:
  AlphaMerger(const LData_Image& alpha, LData_Image& image)
      : m_alpha(alpha), m_image(image), m_width(static_cast<size_t>(image.imageData->width)), m_interleaved(nullptr) {
    if (image.format == TEXTURE_FORMAT_L8)
      m_interleaved = new unsigned char[2 * m_width * static_cast<size_t>(image.imageData->height)];
  }
  ~AlphaMerger() override { delete[] m_interleaved; }
  AlphaMerger(const AlphaMerger&) = delete;
  AlphaMerger& operator=(const AlphaMerger&) = delete;

  void RowsReady(int firstRow, int rowCount) override {
    size_t begin = static_cast<size_t>(firstRow) * m_width;
    size_t end = begin + static_cast<size_t>(rowCount) * m_width;
    const unsigned char* samples = m_alpha.imageData->pixels;
    unsigned char* pixels = m_image.imageData->pixels;
    bool wide = m_alpha.format == TEXTURE_FORMAT_L16;
    if (m_image.format == TEXTURE_FORMAT_X8B8G8R8) {
      if (wide) FillFillers<AlphaSample16>(samples, pixels, begin, end);
      else FillFillers<AlphaSample8>(samples, pixels, begin, end);
    } else if (m_interleaved) {
      if (wide) Interleave<AlphaSample16>(samples, pixels, m_interleaved, begin, end);
      else Interleave<AlphaSample8>(samples, pixels, m_interleaved, begin, end);
    }
  }

  void Finish() {
    if (m_image.format == TEXTURE_FORMAT_X8B8G8R8) {
      m_image.format = TEXTURE_FORMAT_A8B8G8R8;
    } else if (m_interleaved) {
      m_image.imageData->SetPixels(m_interleaved);
      m_interleaved = nullptr;
      m_image.format = TEXTURE_FORMAT_A8L8;
    }
  }

 private:
  const LData_Image& m_alpha;
  LData_Image& m_image;
  size_t m_width;
  unsigned char* m_interleaved;
};

// Decodes the alpha stream by the header's method into alpha, sized like
// image (whose header has been read). False after a message when the
// method is unknown or the alpha cannot be decoded or would not fit.
bool DecodeAlpha(kor::IInputStream& stream, const LLoader_Image_JNG::JngHeader& header,
                 const kor::UArray<unsigned char>& data, const LData_Image& image, LData_Image& alpha) {
  alpha.format = header.alphaSampleDepth == 16 ? TEXTURE_FORMAT_L16 : TEXTURE_FORMAT_L8;
  alpha.SetImageData(new LData_ImagePart(image.imageData->width, image.imageData->height));
  bool decoded;
  if (header.alphaCompressionMethod == LLoader_Image_JNG::ALPHA_COMPRESSION_DEFLATE) {
    decoded = DecodeDeflatedAlpha(stream, header, data, alpha);
  } else if (header.alphaCompressionMethod == LLoader_Image_JNG::ALPHA_COMPRESSION_JPEG) {
    // The alpha stream's own header is checked before its pixels are made.
    LLoader_Image_JPG_Base::Decompressor decompressor(stream.GetName());
    LLoader_Image_JPG_Base::ReadJpegHeader(data.GetData(), static_cast<size_t>(data.GetNum()), decompressor, alpha);
    decoded = alpha.imageData->width == image.imageData->width &&
              alpha.imageData->height == image.imageData->height &&
              LLoader_Image_JPG_Base::DecodePixels(decompressor, alpha, nullptr);
  } else {
    Report(stream, "Can't handle file \"", "\". The alpha channel type specified is not supported.");
    return false;
  }
  if (decoded && AlphaFits(alpha, image)) return true;
  Report(stream, "Can't handle file \"", "\". The embedded alpha channel stream is corrupt.");
  return false;
}

}  // namespace

bool LLoader_Image_JNG::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char signature[8];
  uint64_t got = stream.Serialize(signature, sizeof signature);
  // Back by what was read: a short stream must end up where it started too.
  stream.SeekBackward(static_cast<int64_t>(got));
  return got == sizeof signature && std::memcmp(signature, JNG_SIGNATURE, sizeof signature) == 0;
  KOR_GUARD_END
}

bool LLoader_Image_JNG::ReadJngHeader(kor::IInputStream& stream, JngHeader& header, LData_Image& image) {
  KOR_GUARD_BEGIN
  unsigned char signature[8];
  if (stream.Serialize(signature, sizeof signature) != sizeof signature ||
      std::memcmp(signature, JNG_SIGNATURE, sizeof signature) != 0) {
    Report(stream, "Can't handle \"", "\". This is not a jng file");
    return false;
  }
  // The chunk's length is not looked at: JHDR always holds 16 bytes.
  unsigned char frame[8];
  if (stream.Serialize(frame, sizeof frame) != sizeof frame || BigEndian32(frame + 4) != CHUNK_JHDR) {
    ReportCorrupt(stream, "\" is corrupt. The first chunk in a jng file must be the JHDR chunk");
    return false;
  }
  unsigned char record[JHDR_RECORD_SIZE];
  bool complete = stream.Serialize(record, sizeof record) == sizeof record;
  if (complete) ParseHeader(record, header);
  if (!complete || kor::UpdateCrc32(kor::UpdateCrc32(0, frame + 4, 4), record, JHDR_DATA_SIZE) != header.crc) {
    ReportCorrupt(stream, "\" is corrupt. CRC failed in JHDR chunk");
    return false;
  }
  // Sizes beyond 2^31 - 1 would turn negative in the record.
  if (header.width > LARGEST_SIDE || header.height > LARGEST_SIDE) {
    ReportCorrupt(stream, "\" is corrupt. Its width or height is too large");
    return false;
  }
  image.SetImageData(new LData_ImagePart(static_cast<int>(header.width), static_cast<int>(header.height)));
  image.format = HeaderFormat(header);
  if (image.format == TEXTURE_FORMAT_NONE) {
    ReportCorrupt(stream, "\" is corrupt. It uses an unknown color type");
    return false;
  }
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_JNG::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  JngHeader header;
  return ReadJngHeader(stream, header, data);
  KOR_GUARD_END
}

// The alpha fields are read only for colour types with alpha: colour-only
// files often carry stray values there. The colour stream's own header must
// give the JHDR's size, so that ReadInfo and Read agree and nothing is
// allocated for a size the header did not announce. The alpha is decoded
// between the colour stream's header and its pixels, so that it can be
// merged into the colour rows as they arrive instead of in a second pass
// over the image.
bool LLoader_Image_JNG::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  JngHeader header;
  if (!ReadJngHeader(stream, header, data)) return false;
  kor::UArray<unsigned char> file;
  if (!LLoader_Image_JPG_Base::ReadRemainder(stream, file)) {
    ReportCorrupt(stream, CUT_SHORT);
    return false;
  }
  kor::UArray<unsigned char> colour;
  kor::UArray<unsigned char> alphaStream;
  if (!GatherStreams(file, colour, alphaStream)) {
    ReportCorrupt(stream, CUT_SHORT);
    return false;
  }
  if (colour.GetNum() == 0) {
    ReportCorrupt(stream, "\" is corrupt. It has no JDAT chunk");
    return false;
  }
  LLoader_Image_JPG_Base::Decompressor decompressor(stream.GetName());
  LLoader_Image_JPG_Base::ReadJpegHeader(colour.GetData(), static_cast<size_t>(colour.GetNum()), decompressor, data);
  if (static_cast<uint32_t>(data.imageData->width) != header.width ||
      static_cast<uint32_t>(data.imageData->height) != header.height) {
    ReportCorrupt(stream, "\" is corrupt. The size in its JHDR chunk is not the size of its colour stream");
    return false;
  }
  if ((header.colorType & COLOR_TYPE_ALPHA_BIT) == 0)
    return LLoader_Image_JPG_Base::DecodePixels(decompressor, data, nullptr);
  LData_Image alpha;
  if (!DecodeAlpha(stream, header, alphaStream, data, alpha)) return false;
  AlphaMerger merger(alpha, data);
  LLoader_Image_JPG_Base::DecodePixels(decompressor, data, &merger);
  merger.Finish();
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_JNG::AttachAlpha(const LData_Image& alpha, LData_Image& image) {
  KOR_GUARD_BEGIN
  if (!AlphaFits(alpha, image) || image.imageData->pixels == nullptr) return false;
  AlphaMerger merger(alpha, image);
  merger.RowsReady(0, image.imageData->height);
  merger.Finish();
  return true;
  KOR_GUARD_END
}

// ---------------------------------------------------------------------------
// Writing (LJngWriter.h)

bool LLoader_Image_JNG::Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) {
  return WriteJngFile(stream, data, options);
}

bool LLoader_Image_JNG::CanWrite(int format) { return CanWriteJng(format); }

}  // namespace lum
