#include "lum/Image/LLoader_Image_JNG.h"

#include <atomic>
#include <cstring>
#include <exception>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageHold.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UCompressor.h"
#include "lum/Image/LJngAlpha.h"
#include "lum/Image/LJngAlphaMerger.h"
#include "lum/Image/LJngAlphaTask.h"
#include "lum/Image/LJngStreams.h"
#include "lum/Image/LJngWriter.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"

namespace lum {

namespace {

const unsigned char JNG_SIGNATURE[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

enum { JHDR_DATA_SIZE = 16, JHDR_RECORD_SIZE = JHDR_DATA_SIZE + 4 };

const uint32_t CHUNK_JHDR = JngChunkType("JHDR");

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
  header.width = JngBigEndian32(bytes);
  header.height = JngBigEndian32(bytes + 4);
  header.colorType = bytes[8];
  header.sampleDepth = bytes[9];
  header.compressionMethod = bytes[10];
  header.interlaceMethod = bytes[11];
  header.alphaSampleDepth = bytes[12];
  header.alphaCompressionMethod = bytes[13];
  header.alphaFilterMethod = bytes[14];
  header.alphaInterlaceMethod = bytes[15];
  header.crc = JngBigEndian32(bytes + JHDR_DATA_SIZE);
}

// SetParallelAlphaPixels's size; Reads run on any thread.
std::atomic<uint64_t> s_parallelAlphaPixels(LLoader_Image_JNG::PARALLEL_ALPHA_PIXELS);

// The colour pixels of a record whose alpha failed go: a failed Read leaves
// what decoding the alpha first would have left, a part without pixels.
void DropPixels(LData_Image& image) { image.imageData->SetPixels(nullptr); }

// The colour decodes on this thread while task decodes the alpha. The
// colour's messages are held until the alpha's have been replayed, and
// dropped with the colour when the alpha fails: the outcome and the
// messages are those of the alpha decoded first, then the colour.
bool DecodeBesideAlpha(LLoader_Image_JPG_Base::Decompressor& decompressor, LJngAlphaTask& task, LData_Image& image) {
  kor::UMessageHold colourMessages;
  LJngAlphaMerger merger(task.Alpha(), image, &task.Ready());
  std::exception_ptr colourError;
  {
    kor::UMessageHold::Scope hold(colourMessages);
    try {
      LLoader_Image_JPG_Base::DecodePixels(decompressor, image, &merger);
    } catch (...) {
      colourError = std::current_exception();
    }
  }
  bool alphaDecoded;
  try {
    alphaDecoded = task.Finish();
  } catch (...) {
    DropPixels(image);
    throw;
  }
  if (!alphaDecoded) {
    DropPixels(image);
    return false;
  }
  colourMessages.Replay();
  if (colourError) std::rethrow_exception(colourError);
  merger.Finish();
  return true;
}

// The alpha first, then the colour with the alpha merged into its rows; a
// JPEG alpha decodes with the colour's library handle.
bool DecodeAfterAlpha(LLoader_Image_JPG_Base::Decompressor& decompressor, const LLoader_Image_JNG::JngHeader& header,
                      const LJngStreams& streams, const kor::UString& name, LData_Image& image) {
  LData_Image alpha;
  if (!DecodeJngAlpha(header, streams, name, image.imageData->width, image.imageData->height, alpha, &decompressor))
    return false;
  LJngAlphaMerger merger(alpha, image);
  LLoader_Image_JPG_Base::DecodePixels(decompressor, image, &merger);
  merger.Finish();
  return true;
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
  if (stream.Serialize(frame, sizeof frame) != sizeof frame || JngBigEndian32(frame + 4) != CHUNK_JHDR) {
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
// before the colour stream's pixels, or beside them on a second thread, so
// that it can be merged into the colour rows as they arrive instead of in a
// second pass over the image.
bool LLoader_Image_JNG::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  JngHeader header;
  if (!ReadJngHeader(stream, header, data)) return false;
  kor::UArray<unsigned char> file;
  if (!LLoader_Image_JPG_Base::ReadRemainder(stream, file)) {
    ReportCorrupt(stream, CUT_SHORT);
    return false;
  }
  bool withAlpha = (header.colorType & COLOR_TYPE_ALPHA_BIT) != 0;
  LJngStreams streams;
  LJngStreams::AlphaUse alphaUse = !withAlpha ? LJngStreams::ALPHA_UNUSED
                                   : header.alphaCompressionMethod == ALPHA_COMPRESSION_DEFLATE
                                       ? LJngStreams::ALPHA_AS_ARRAY
                                       : LJngStreams::ALPHA_IN_PLACE;
  if (!streams.Gather(file, alphaUse)) {
    ReportCorrupt(stream, CUT_SHORT);
    return false;
  }
  if (streams.colourSize == 0) {
    ReportCorrupt(stream, "\" is corrupt. It has no JDAT chunk");
    return false;
  }
  kor::UString name(stream.GetName());
  LLoader_Image_JPG_Base::Decompressor decompressor(name);
  LLoader_Image_JPG_Base::ReadJpegHeader(streams.colour, streams.colourSize, decompressor, data);
  int width = data.imageData->width, height = data.imageData->height;
  if (static_cast<uint32_t>(width) != header.width || static_cast<uint32_t>(height) != header.height) {
    ReportCorrupt(stream, "\" is corrupt. The size in its JHDR chunk is not the size of its colour stream");
    return false;
  }
  if (!withAlpha) return LLoader_Image_JPG_Base::DecodePixels(decompressor, data, nullptr);
  uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels >= s_parallelAlphaPixels.load(std::memory_order_relaxed)) {
    LJngAlphaTask task(header, streams, name, width, height);
    if (task.Start()) return DecodeBesideAlpha(decompressor, task, data);
  }
  return DecodeAfterAlpha(decompressor, header, streams, name, data);
  KOR_GUARD_END
}

uint64_t LLoader_Image_JNG::SetParallelAlphaPixels(uint64_t pixels) {
  return s_parallelAlphaPixels.exchange(pixels);
}

bool LLoader_Image_JNG::AttachAlpha(const LData_Image& alpha, LData_Image& image) {
  KOR_GUARD_BEGIN
  if (image.imageData == nullptr || image.imageData->pixels == nullptr ||
      !JngAlphaFits(alpha, image.imageData->width, image.imageData->height))
    return false;
  LJngAlphaMerger merger(alpha, image);
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
