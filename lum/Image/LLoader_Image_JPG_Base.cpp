#include "lum/Image/LLoader_Image_JPG_Base.h"

#include <turbojpeg.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "lum/Image/LImageWarning.h"
#include "lum/Image/LJpegFrame.h"

namespace lum {

namespace {

// The library's own text for the warning it gives when the data runs out.
const char* const END_OF_DATA_WARNING = "Premature end of JPEG file";

enum { MESSAGE_SIZE = 200, MAX_MARKER_DATA = 65533, JPEG_COM = 0xFE, JPEG_APP0 = 0xE0 };

[[noreturn]] void RaiseJpegError() {
  throw kor::ErrorDescription(__LINE__, __FILE__, KOR_FUNCTION_NAME, "Error during JPEG decompression");
}

// Rows that never arrived are black; the filler of colour pixels stays 255
// like everywhere else in a colour record.
void ClearRows(unsigned char* rows, size_t size, int format) {
  std::memset(rows, 0, size);
  if (format != TEXTURE_FORMAT_X8B8G8R8) return;
  for (size_t filler = 0; filler < size; filler += 4) rows[filler] = 255;
}

int PixelFormatOf(int format) {
  if (format == TEXTURE_FORMAT_L8) return TJPF_GRAY;
  // Four components come as the stream holds them, unconverted.
  if (format == TEXTURE_FORMAT_A8B8G8R8) return TJPF_CMYK;
  // 255, blue, green, red, written by the library itself.
  return TJPF_ABGR;
}

// The handle of the last decompression that ended, kept for the next one:
// making a handle costs a few percent of decoding a small image. Only a
// handle on which every call succeeded is kept: the library starts each
// stream afresh after those, while one it stopped in with an error or a
// warning could bring something of that stream along. One handle is kept,
// for whichever thread asks first; the others make their own.
class SpareHandle {
 public:
  ~SpareHandle() {
    tjhandle handle = m_handle.exchange(nullptr);
    if (handle) tjDestroy(handle);
  }
  tjhandle Take() {
    tjhandle handle = m_handle.exchange(nullptr);
    return handle ? handle : tjInitDecompress();
  }
  void Give(tjhandle handle) {
    tjhandle none = nullptr;
    if (!m_handle.compare_exchange_strong(none, handle)) tjDestroy(handle);
  }

 private:
  std::atomic<tjhandle> m_handle{nullptr};
};

SpareHandle s_spareHandle;

}  // namespace

struct LLoader_Image_JPG_Base::Decompressor::State {
  tjhandle handle = nullptr;
  bool ownsHandle = true;
  // Whether every call on the handle succeeded: the owner's flag, which a
  // decompressor that borrows the handle clears too.
  bool handleClean = true;
  bool* ownersHandleClean = &handleClean;
  kor::UString name;
  const unsigned char* buffer = nullptr;
  size_t length = 0;
  LJpegFrame frame;
};

namespace {

typedef LLoader_Image_JPG_Base::Decompressor::State DecompressorState;

enum Outcome { DECODED, ENDED_EARLY, DAMAGED, FAILED };

// Decodes the stream into pixels. A stream the library decodes without a
// warning fills every row, so the pixels are written once, by the library.
// Otherwise the rows it did not reach must be black, and which those are
// only a decode into black rows shows: the rows are cleared and the stream
// decoded anew. That pass stops at the first warning: when that is the end
// of the data in a stream delivered row by row, the rows decoded before it
// stand and the rest stay black. Any other warning (or the end of a stream
// in several scans, whose rows come only after the whole stream is read) is
// decoded past, as far as the data goes. The library reports a fatal error
// after a warning as a warning, but names the error, not the warning, in its
// text.
Outcome Decode(DecompressorState& state, unsigned char* pixels, size_t size, int width, int height, int format) {
  const int flags = TJFLAG_ACCURATEDCT;
  const int pixelFormat = PixelFormatOf(format);
  unsigned long length = static_cast<unsigned long>(state.length);
  if (tjDecompress2(state.handle, state.buffer, length, pixels, width, 0, height, pixelFormat,
                    flags | TJFLAG_STOPONWARNING) == 0)
    return DECODED;
  *state.ownersHandleClean = false;
  if (tjGetErrorCode(state.handle) != TJERR_WARNING) return FAILED;
  char first[MESSAGE_SIZE];
  std::snprintf(first, sizeof first, "%s", tjGetErrorStr2(state.handle));
  ClearRows(pixels, size, format);
  bool endOfData = std::strcmp(first, END_OF_DATA_WARNING) == 0;
  bool stopAtWarning = endOfData && !state.frame.multiScan;
  int result = tjDecompress2(state.handle, state.buffer, length, pixels, width, 0, height, pixelFormat,
                             stopAtWarning ? flags | TJFLAG_STOPONWARNING : flags);
  if (result != 0 && !stopAtWarning && std::strcmp(first, tjGetErrorStr2(state.handle)) != 0) return FAILED;
  return endOfData ? ENDED_EARLY : DAMAGED;
}

}  // namespace

LLoader_Image_JPG_Base::Decompressor::Decompressor(const kor::UString& streamName, Decompressor* handleOwner)
    : m_state(kor::NewObject<State>()) {
  m_state->name = streamName;
  if (handleOwner) {
    m_state->handle = handleOwner->m_state->handle;
    m_state->ownsHandle = false;
    m_state->ownersHandleClean = &handleOwner->m_state->handleClean;
    return;
  }
  m_state->handle = s_spareHandle.Take();
  if (m_state->handle != nullptr) return;
  kor::DeleteObject(m_state);
  RaiseJpegError();
}

LLoader_Image_JPG_Base::Decompressor::~Decompressor() {
  if (m_state->ownsHandle && m_state->handleClean) s_spareHandle.Give(m_state->handle);
  else if (m_state->ownsHandle) tjDestroy(m_state->handle);
  kor::DeleteObject(m_state);
}

bool LLoader_Image_JPG_Base::ReadJpegHeader(const unsigned char* buffer, size_t length, Decompressor& decompressor,
                                            LData_Image& image) {
  KOR_GUARD_BEGIN
  DecompressorState& state = decompressor.GetState();
  state.buffer = buffer;
  state.length = buffer ? length : 0;
  if (state.length == 0 || state.length > 0xFFFFFFFFu) RaiseJpegError();
  // A plain header says all the library's reading of it would: the decode
  // reads it anyway, and reading it twice costs several percent of a small
  // image. Any other header is read by the library first. Its values are
  // set whenever the library read a frame, even when it then declines to
  // name the stream's sampling or colour space: decoding needs neither
  // name, and a colour space it can't convert fails there, as it always
  // has.
  const bool framed = ReadJpegFrame(buffer, length, state.frame);
  int width = 0, height = 0, colourSpace = -1;
  if (framed && state.frame.plainHeader) {
    width = static_cast<int>(state.frame.width);
    height = static_cast<int>(state.frame.height);
    colourSpace = state.frame.components == 1 ? TJCS_GRAY : TJCS_YCbCr;
  } else {
    int sampling = -1;
    if (tjDecompressHeader3(state.handle, buffer, static_cast<unsigned long>(length), &width, &height, &sampling,
                            &colourSpace) != 0)
      *state.ownersHandleClean = false;
  }
  if (width <= 0 || height <= 0) RaiseJpegError();
  if (!framed || !state.frame.DataCanHoldBlocks(length)) RaiseJpegError();

  image.SetImageData(new LData_ImagePart(width, height));
  if (colourSpace == TJCS_GRAY) image.format = TEXTURE_FORMAT_L8;
  else if (colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK) image.format = TEXTURE_FORMAT_A8B8G8R8;
  else image.format = TEXTURE_FORMAT_X8B8G8R8;
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_JPG_Base::DecodeJpeg(const unsigned char* buffer, size_t length, LData_Image& image,
                                        const kor::UString& streamName) {
  KOR_GUARD_BEGIN
  Decompressor decompressor(streamName);
  ReadJpegHeader(buffer, length, decompressor, image);
  return DecodePixels(decompressor, image, nullptr);
  KOR_GUARD_END
}

bool LLoader_Image_JPG_Base::DecodePixels(Decompressor& decompressor, LData_Image& image, RowListener* listener) {
  KOR_GUARD_BEGIN
  DecompressorState& state = decompressor.GetState();
  int width = image.imageData->width;
  int height = image.imageData->height;
  size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) *
                static_cast<size_t>(LData_Image::BytesPerPixel(image.format));
  unsigned char* pixels = new unsigned char[size];
  image.imageData->SetPixels(pixels);
  switch (Decode(state, pixels, size, width, height, image.format)) {
    case FAILED:
      // Rows the library left unwritten hold whatever the heap gave: the
      // record keeps no pixels rather than those.
      image.imageData->SetPixels(nullptr);
      RaiseJpegError();
    case ENDED_EARLY: WarnAboutImage("File \"", state.name, "\" is corrupt. Its JPEG data ends before the image does."); break;
    case DAMAGED: WarnAboutImage("File \"", state.name, "\" is corrupt. Its JPEG data is damaged."); break;
    case DECODED: break;
  }
  if (listener) listener->RowsReady(0, height);
  return true;
  KOR_GUARD_END
}

namespace {

// Memory the library allocated goes back to it.
struct LibraryBuffer {
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  ~LibraryBuffer() { tjFree(bytes); }
};

struct CompressorHandle {
  tjhandle handle = tjInitCompress();
  ~CompressorHandle() {
    if (handle) tjDestroy(handle);
  }
};

// Where a comment marker goes: after the JFIF header when there is one,
// else straight after the start of image.
size_t CommentPosition(const unsigned char* stream, size_t size) {
  if (size >= 6 && stream[2] == 0xFF && stream[3] == JPEG_APP0) {
    size_t end = 4 + (static_cast<size_t>(stream[4]) << 8 | stream[5]);
    if (end <= size) return end;
  }
  return 2;
}

// output = stream with a COM marker of comment spliced in (none when the
// comment is empty).
void StoreStream(const LibraryBuffer& stream, const kor::UString& comment, kor::UArray<unsigned char>& output) {
  size_t commentSize = comment.GetNum() > 0 ? static_cast<size_t>(comment.GetLength()) : 0;
  size_t markerSize = commentSize > 0 ? commentSize + 4 : 0;
  size_t total = stream.size + markerSize;
  assure(total <= 0x7FFFFFC0u);
  output.EmptyExact(static_cast<int>(total));
  output.Grow(static_cast<int>(total));
  unsigned char* target = output.GetData();
  size_t split = markerSize > 0 ? CommentPosition(stream.bytes, stream.size) : stream.size;
  std::memcpy(target, stream.bytes, split);
  target += split;
  if (markerSize > 0) {
    const unsigned char header[4] = {0xFF, JPEG_COM, static_cast<unsigned char>((commentSize + 2) >> 8),
                                     static_cast<unsigned char>(commentSize + 2)};
    std::memcpy(target, header, sizeof header);
    std::memcpy(target + sizeof header, comment.GetData(), commentSize);
    target += markerSize;
  }
  std::memcpy(target, stream.bytes + split, stream.size - split);
}

}  // namespace

bool LLoader_Image_JPG_Base::EncodeJpeg(LData_Image& image, kor::UArray<unsigned char>& output,
                                        const LImageSaveOptions& options) {
  KOR_GUARD_BEGIN
  assure(image.imageData != nullptr && image.imageData->pixels != nullptr);
  bool colour = image.format == TEXTURE_FORMAT_X8B8G8R8;
  assure(colour || LData_Image::BytesPerPixel(image.format) == 1);
  const LData_ImagePart& part = *image.imageData;
  assure(part.width > 0 && part.height > 0);

  // Copied whole: the block holds zero bytes, which assignment would stop at.
  const kor::UString comment(options.CountSetTexts() > 0 ? options.BuildTextBlock() : kor::UString());
  if (comment.GetNum() > 0 && comment.GetLength() > MAX_MARKER_DATA) RaiseJpegError();

  // The record's filler, blue, green, red is a layout the library takes as
  // it is.
  CompressorHandle compressor;
  if (compressor.handle == nullptr) RaiseJpegError();
  LibraryBuffer stream;
  if (tjCompress2(compressor.handle, part.pixels, part.width, 0, part.height, colour ? TJPF_XBGR : TJPF_GRAY,
                  &stream.bytes, &stream.size, colour ? TJSAMP_420 : TJSAMP_GRAY,
                  LImageSaveOptions::JpegQuality(options.compression), TJFLAG_ACCURATEDCT) != 0)
    RaiseJpegError();
  StoreStream(stream, comment, output);
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_JPG_Base::ReadRemainder(kor::IInputStream& stream, kor::UArray<unsigned char>& buffer) {
  KOR_GUARD_BEGIN
  uint64_t size = stream.GetSize();
  uint64_t position = stream.GetPosition();
  uint64_t remainder = size > position ? size - position : 0;
  if (remainder > 0x7FFFFFC0u) return false;
  buffer.EmptyExact(static_cast<int>(remainder));
  buffer.Grow(static_cast<int>(remainder));
  return remainder == 0 || stream.Serialize(buffer.GetData(), remainder) == remainder;
  KOR_GUARD_END
}

}  // namespace lum
