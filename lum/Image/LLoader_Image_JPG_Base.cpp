#include "lum/Image/LLoader_Image_JPG_Base.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "kor/Utils/UScopedObject.h"

static_assert(JPEG_LIB_VERSION == 62, "the bridge speaks the libjpeg 6b interface");

// Every libjpeg call runs inside a "Try" function below: it sets the jump
// point, makes its calls and returns true, or returns false when the error
// exit jumped back. Between the jump point and the error exit there are only
// libjpeg's frames and these functions, none of which holds an object with a
// destructor, so the jump skips nothing that needs cleaning up.

namespace lum {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;  // first: libjpeg sees only this part
  std::jmp_buf jump;
  // Built by the error exit, raised once the libjpeg object is gone.
  alignas(kor::ErrorDescription) unsigned char error[sizeof(kor::ErrorDescription)];
};

void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}
void IgnoreFormat(j_common_ptr, char*) {}
void IgnoreReset(j_common_ptr) {}

// Warnings and trace messages of libjpeg are silent.
jpeg_error_mgr* InstallErrorManager(ErrorManager& errors) {
  jpeg_std_error(&errors.base);
  errors.base.error_exit = &LLoader_Image_JPG_Base::IJG_ErrorAndAbort;
  errors.base.emit_message = &IgnoreMessage;
  errors.base.output_message = &IgnoreOutput;
  errors.base.format_message = &IgnoreFormat;
  errors.base.reset_error_mgr = &IgnoreReset;
  return &errors.base;
}

const kor::ErrorDescription& RecordedError(const ErrorManager& errors) {
  return *std::launder(reinterpret_cast<const kor::ErrorDescription*>(errors.error));
}

// ---------------------------------------------------------------------------
// Memory source: the caller's buffer is all the data there is.

void InitSource(j_decompress_ptr) {}

// Supplying nothing makes libjpeg suspend: a truncated stream simply stops
// delivering rows.
boolean FillInputBuffer(j_decompress_ptr) { return FALSE; }

// A skip beyond the data ends the data instead of leaving the buffer.
void SkipInputData(j_decompress_ptr info, long count) {
  jpeg_source_mgr* source = info->src;
  if (count <= 0) return;
  size_t step = static_cast<unsigned long>(count) < source->bytes_in_buffer ? static_cast<size_t>(count)
                                                                           : source->bytes_in_buffer;
  source->next_input_byte += step;
  source->bytes_in_buffer -= step;
}

void TermSource(j_decompress_ptr) {}

}  // namespace

struct LLoader_Image_JPG_Base::Decompressor::State {
  jpeg_decompress_struct info;
  ErrorManager errors;
  jpeg_source_mgr source;
  bool alive;
};

namespace {

typedef LLoader_Image_JPG_Base::Decompressor::State DecompressorState;

bool TryCreate(DecompressorState& state) {
  if (setjmp(state.errors.jump)) return false;
  jpeg_create_decompress(&state.info);
  return true;
}

bool TryReadHeader(DecompressorState& state) {
  if (setjmp(state.errors.jump)) return false;
  jpeg_read_header(&state.info, TRUE);
  jpeg_calc_output_dimensions(&state.info);
  return true;
}

bool TryStart(DecompressorState& state) {
  if (setjmp(state.errors.jump)) return false;
  jpeg_start_decompress(&state.info);
  return true;
}

// Reads the next batch of rows; none arrive once the data has run out.
bool TryReadBatch(DecompressorState& state, unsigned char* pixels, size_t stride, JDIMENSION& arrived) {
  enum { BATCH = 16 };
  if (setjmp(state.errors.jump)) return false;
  jpeg_decompress_struct& info = state.info;
  JSAMPROW rows[BATCH];
  JDIMENSION count = info.output_height - info.output_scanline;
  if (count > BATCH) count = BATCH;
  for (JDIMENSION row = 0; row < count; ++row) rows[row] = pixels + (info.output_scanline + row) * stride;
  arrived = jpeg_read_scanlines(&info, rows, count);
  return true;
}

bool TryFinish(DecompressorState& state) {
  if (setjmp(state.errors.jump)) return false;
  jpeg_finish_decompress(&state.info);
  return true;
}

// Rows that never arrived are black; the filler of colour pixels stays 255
// like everywhere else in a colour record.
void ClearRows(unsigned char* rows, size_t size, int format) {
  std::memset(rows, 0, size);
  if (format != TEXTURE_FORMAT_X8B8G8R8) return;
  for (size_t filler = 0; filler < size; filler += 4) rows[filler] = 255;
}

[[noreturn]] void DestroyAndRaise(DecompressorState& state) {
  jpeg_destroy_decompress(&state.info);
  state.alive = false;
  throw RecordedError(state.errors);
}

}  // namespace

void LLoader_Image_JPG_Base::IJG_ErrorAndAbort(jpeg_common_struct* info) {
  ErrorManager* errors = reinterpret_cast<ErrorManager*>(info->err);
  new (errors->error) kor::ErrorDescription(__LINE__, __FILE__, KOR_FUNCTION_NAME, "Error during JPEG decompression");
  std::longjmp(errors->jump, 1);
}

LLoader_Image_JPG_Base::Decompressor::Decompressor() : m_state(kor::NewObject<State>()) {
  m_state->info.err = InstallErrorManager(m_state->errors);
  m_state->alive = true;
  if (TryCreate(*m_state)) return;
  jpeg_destroy_decompress(&m_state->info);
  kor::ErrorDescription error(RecordedError(m_state->errors));
  kor::DeleteObject(m_state);
  throw error;
}

LLoader_Image_JPG_Base::Decompressor::~Decompressor() {
  if (m_state->alive) jpeg_destroy_decompress(&m_state->info);
  kor::DeleteObject(m_state);
}

jpeg_decompress_struct& LLoader_Image_JPG_Base::Decompressor::Get() { return m_state->info; }

bool LLoader_Image_JPG_Base::ReadJpegHeader(const unsigned char* buffer, size_t length, Decompressor& decompressor,
                                            LData_Image& image) {
  KOR_GUARD_BEGIN
  DecompressorState& state = decompressor.GetState();
  jpeg_source_mgr& source = state.source;
  source.next_input_byte = buffer;
  source.bytes_in_buffer = buffer ? length : 0;
  source.init_source = &InitSource;
  source.fill_input_buffer = &FillInputBuffer;
  source.skip_input_data = &SkipInputData;
  source.resync_to_restart = &jpeg_resync_to_restart;
  source.term_source = &TermSource;
  state.info.src = &source;
  if (!TryReadHeader(state)) DestroyAndRaise(state);

  const jpeg_decompress_struct& info = state.info;
  image.SetImageData(new LData_ImagePart(static_cast<int>(info.output_width), static_cast<int>(info.output_height)));
  if (info.out_color_space == JCS_GRAYSCALE) image.format = TEXTURE_FORMAT_L8;
  else if (info.output_components == 4) image.format = TEXTURE_FORMAT_A8B8G8R8;
  else image.format = TEXTURE_FORMAT_X8B8G8R8;
  return true;
  KOR_GUARD_END
}

bool LLoader_Image_JPG_Base::DecodeJpeg(const unsigned char* buffer, size_t length, LData_Image& image) {
  KOR_GUARD_BEGIN
  Decompressor decompressor;
  ReadJpegHeader(buffer, length, decompressor, image);
  return DecodePixels(decompressor, image, nullptr);
  KOR_GUARD_END
}

bool LLoader_Image_JPG_Base::DecodePixels(Decompressor& decompressor, LData_Image& image, RowListener* listener) {
  KOR_GUARD_BEGIN
  DecompressorState& state = decompressor.GetState();
  // libjpeg writes 255, blue, green, red itself: no row buffer and no second
  // pass. A stream whose components are not a colour space libjpeg knows is
  // refused by libjpeg here.
  if (image.format == TEXTURE_FORMAT_X8B8G8R8) state.info.out_color_space = JCS_EXT_ABGR;
  if (!TryStart(state)) DestroyAndRaise(state);

  const jpeg_decompress_struct& info = state.info;
  size_t stride = static_cast<size_t>(info.output_width) * static_cast<size_t>(info.output_components);
  size_t height = info.output_height;
  unsigned char* pixels = new unsigned char[stride * height];
  image.imageData->SetPixels(pixels);
  while (info.output_scanline < height) {
    JDIMENSION first = info.output_scanline;
    JDIMENSION arrived = 0;
    if (!TryReadBatch(state, pixels, stride, arrived)) DestroyAndRaise(state);
    if (arrived == 0) break;
    if (listener) listener->RowsReady(static_cast<int>(first), static_cast<int>(arrived));
  }

  size_t delivered = info.output_scanline;
  if (delivered < height) {
    ClearRows(pixels + delivered * stride, (height - delivered) * stride, image.format);
    if (listener) listener->RowsReady(static_cast<int>(delivered), static_cast<int>(height - delivered));
    // Finishing would only complain about the missing rows.
    return true;
  }
  if (!TryFinish(state)) DestroyAndRaise(state);
  return true;
  KOR_GUARD_END
}

namespace {

// ---------------------------------------------------------------------------
// Array destination: the stream grows in windows of 4096 bytes at the end of
// the caller's array.

enum { WINDOW_SIZE = 4096 };

struct ArrayDestination {
  jpeg_destination_mgr base;  // first: libjpeg sees only this part
  kor::UArray<unsigned char>* array;
};

struct CompressorState {
  jpeg_compress_struct info;
  ErrorManager errors;
  ArrayDestination destination;
};

// Growing may raise; inside a libjpeg callback that must end here.
bool TryGrow(kor::UArray<unsigned char>& array) {
  try {
    array.Grow(WINDOW_SIZE);
    return true;
  } catch (...) {
    return false;
  }
}

void InitDestination(j_compress_ptr) {}

// libjpeg has filled the whole window: open the next one behind it.
boolean EmptyOutputBuffer(j_compress_ptr info) {
  ArrayDestination* destination = reinterpret_cast<ArrayDestination*>(info->dest);
  kor::UArray<unsigned char>& array = *destination->array;
  int filled = array.GetNum();
  if (!TryGrow(array)) (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
  destination->base.next_output_byte = array.GetData() + filled;
  destination->base.free_in_buffer = WINDOW_SIZE;
  return TRUE;
}

// The array keeps exactly the stream: the unused end of the last window goes.
void TermDestination(j_compress_ptr info) {
  ArrayDestination* destination = reinterpret_cast<ArrayDestination*>(info->dest);
  destination->array->m_arrayNum -= static_cast<int>(destination->base.free_in_buffer);
}

void PrepareDestination(ArrayDestination& destination, kor::UArray<unsigned char>& output) {
  output.Empty();
  output.Grow(WINDOW_SIZE);
  destination.array = &output;
  destination.base.next_output_byte = output.GetData();
  destination.base.free_in_buffer = WINDOW_SIZE;
  destination.base.init_destination = &InitDestination;
  destination.base.empty_output_buffer = &EmptyOutputBuffer;
  destination.base.term_destination = &TermDestination;
}

// What one compression is given: rows stride bytes apart, the libjpeg
// quality and an optional comment.
struct CompressionInput {
  const unsigned char* rows;
  size_t stride;
  int components;
  int quality;
  const unsigned char* comment;
  unsigned commentLength;
};

bool TryCompress(CompressorState& state, JDIMENSION width, JDIMENSION height, const CompressionInput& input) {
  if (setjmp(state.errors.jump)) return false;
  jpeg_compress_struct& info = state.info;
  jpeg_create_compress(&info);
  info.dest = &state.destination.base;
  info.image_width = width;
  info.image_height = height;
  info.input_components = input.components;
  info.in_color_space = input.components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, input.quality, FALSE);
  jpeg_start_compress(&info, TRUE);
  if (input.comment) jpeg_write_marker(&info, JPEG_COM, input.comment, input.commentLength);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(input.rows + info.next_scanline * input.stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
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
  size_t width = static_cast<size_t>(part.width);
  size_t height = static_cast<size_t>(part.height);

  // libjpeg takes red, green, blue; the record holds filler, blue, green, red.
  kor::UArray<unsigned char> packed;
  if (colour) {
    assure(width * height <= 0x7FFFFFC0u / 3);
    packed.EmptyExact(static_cast<int>(width * height * 3));
    packed.Grow(static_cast<int>(width * height * 3));
    const unsigned char* source = part.pixels;
    unsigned char* target = packed.GetData();
    for (size_t pixel = 0; pixel < width * height; ++pixel, source += 4, target += 3) {
      target[0] = source[3];
      target[1] = source[2];
      target[2] = source[1];
    }
  }
  // Copied whole: the block holds zero bytes, which assignment would stop at.
  const kor::UString comment(options.CountSetTexts() > 0 ? options.BuildTextBlock() : kor::UString());

  CompressionInput input;
  input.components = colour ? 3 : 1;
  input.rows = colour ? packed.GetData() : part.pixels;
  input.stride = width * static_cast<size_t>(input.components);
  input.quality = LImageSaveOptions::JpegQuality(options.compression);
  input.comment = comment.GetNum() > 0 ? comment.GetData() : nullptr;
  input.commentLength = static_cast<unsigned>(comment.GetLength());

  kor::UScopedObject<CompressorState> state(kor::NewObject<CompressorState>());
  state->info.err = InstallErrorManager(state->errors);
  PrepareDestination(state->destination, output);
  bool compressed = TryCompress(*state.Get(), static_cast<JDIMENSION>(width), static_cast<JDIMENSION>(height), input);
  jpeg_destroy_compress(&state->info);
  if (!compressed) throw RecordedError(state->errors);
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
