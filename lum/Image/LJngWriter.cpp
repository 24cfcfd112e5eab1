#include "lum/Image/LJngWriter.h"

#include <cstdint>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "lum/Image/LLoader_Image_JNG.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"
#include "lum/Image/LPngWriter.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

const unsigned char JNG_SIGNATURE[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

enum { JHDR_DATA_SIZE = 16, SAMPLE_DEPTH = 8, JPEG_COMPRESSION = 8 };

typedef LLoader_Image_JNG Jng;

void PutBigEndian32(unsigned char* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

int ColorTypeOf(int format) {
  switch (format) {
    case TEXTURE_FORMAT_A8B8G8R8: return Jng::COLOR_TYPE_COLOR_ALPHA;
    case TEXTURE_FORMAT_X8B8G8R8: return Jng::COLOR_TYPE_COLOR;
    case TEXTURE_FORMAT_A8L8: return Jng::COLOR_TYPE_GREY_ALPHA;
    default: return Jng::COLOR_TYPE_GREY;
  }
}

bool HasAlpha(int format) { return format == TEXTURE_FORMAT_A8B8G8R8 || format == TEXTURE_FORMAT_A8L8; }

// A one-byte record of image's size holding byte channel of every pixel.
// False when the pixels would not fit a buffer.
bool ExtractChannel(const LData_Image& image, int channel, int format, LData_Image& out) {
  const LData_ImagePart& part = *image.imageData;
  uint64_t count = static_cast<uint64_t>(part.width) * static_cast<uint64_t>(part.height);
  unsigned char* pixels = NewPixelArray(count, 1);
  if (pixels == nullptr) return false;
  out.format = format;
  out.SetImageData(new LData_ImagePart(part.width, part.height));
  out.imageData->SetPixels(pixels);
  int pixelBytes = LData_Image::BytesPerPixel(image.format);
  const unsigned char* source = part.pixels + channel;
  for (uint64_t i = 0; i < count; ++i, source += pixelBytes) pixels[i] = *source;
  return true;
}

// The JPEG bridge codes a four-byte record as RGB only under X8B8G8R8; the
// record gets its own format back however the encoding ends.
class FormatSwitch {
 public:
  FormatSwitch(LData_Image& image, int format) : m_image(image), m_saved(image.format) { image.format = format; }
  ~FormatSwitch() { m_image.format = m_saved; }
  FormatSwitch(const FormatSwitch&) = delete;
  FormatSwitch& operator=(const FormatSwitch&) = delete;

 private:
  LData_Image& m_image;
  int m_saved;
};

bool WriteAlpha(LData_Image& image, const LImageSaveOptions& options, kor::IOutputStream& stream) {
  LData_Image alpha;
  if (!ExtractChannel(image, 0, TEXTURE_FORMAT_A8, alpha)) return false;
  if (options.alphaAsJpeg) return WriteJpegChunk("JDAA", alpha, options.alphaCompression, stream);
  return WriteImageDataChunk(alpha, stream);
}

bool WriteColour(LData_Image& image, float compression, kor::IOutputStream& stream) {
  if (image.format == TEXTURE_FORMAT_A8B8G8R8) {
    FormatSwitch colourOnly(image, TEXTURE_FORMAT_X8B8G8R8);
    return WriteJpegChunk("JDAT", image, compression, stream);
  }
  if (image.format == TEXTURE_FORMAT_A8L8) {
    LData_Image grey;
    if (!ExtractChannel(image, 1, TEXTURE_FORMAT_L8, grey)) return false;
    return WriteJpegChunk("JDAT", grey, compression, stream);
  }
  return WriteJpegChunk("JDAT", image, compression, stream);
}

}  // namespace

bool WriteJngHeaderChunk(const LData_Image& image, bool alphaAsJpeg, kor::IOutputStream& stream) {
  KOR_GUARD_BEGIN
  assure(image.imageData != nullptr);
  unsigned char data[JHDR_DATA_SIZE] = {};
  PutBigEndian32(data, static_cast<uint32_t>(image.imageData->width));
  PutBigEndian32(data + 4, static_cast<uint32_t>(image.imageData->height));
  data[8] = static_cast<unsigned char>(ColorTypeOf(image.format));
  data[9] = SAMPLE_DEPTH;
  data[10] = JPEG_COMPRESSION;
  if (HasAlpha(image.format)) {
    data[12] = SAMPLE_DEPTH;
    data[13] = alphaAsJpeg ? Jng::ALPHA_COMPRESSION_JPEG : Jng::ALPHA_COMPRESSION_DEFLATE;
  }
  return WritePngChunk(stream, "JHDR", data, JHDR_DATA_SIZE);
  KOR_GUARD_END
}

// Options of its own: the streams inside a JNG carry no comment marker.
bool WriteJpegChunk(const char* type, LData_Image& image, float compression, kor::IOutputStream& stream) {
  KOR_GUARD_BEGIN
  LImageSaveOptions jpegOptions;
  jpegOptions.compression = compression;
  jpegOptions.alphaAsJpeg = false;
  jpegOptions.alphaCompression = 0.0f;
  kor::UArray<unsigned char> jpeg;
  LLoader_Image_JPG_Base::EncodeJpeg(image, jpeg, jpegOptions);
  return WritePngChunk(stream, type, jpeg.GetData(), static_cast<uint32_t>(jpeg.GetNum()));
  KOR_GUARD_END
}

bool WriteJngFile(kor::IOutputStream& stream, LData_Image& image, const LImageSaveOptions* options) {
  KOR_GUARD_BEGIN
  if (image.imageData == nullptr || image.imageData->pixels == nullptr || !CanWriteJng(image.format)) return false;
  LImageSaveOptions defaults;
  const LImageSaveOptions& settings = options != nullptr ? *options : defaults;
  if (!WriteStreamBytes(stream, JNG_SIGNATURE, sizeof JNG_SIGNATURE)) return false;
  if (!WriteJngHeaderChunk(image, settings.alphaAsJpeg, stream)) return false;
  if (settings.CountSetTexts() > 0 && !WriteTextChunk(settings, stream)) return false;
  if (HasAlpha(image.format) && !WriteAlpha(image, settings, stream)) return false;
  return WriteColour(image, settings.compression, stream) && WriteEndChunk(stream);
  KOR_GUARD_END
}

bool CanWriteJng(int format) {
  return format == TEXTURE_FORMAT_A8B8G8R8 || format == TEXTURE_FORMAT_X8B8G8R8 || format == TEXTURE_FORMAT_A8 ||
         format == TEXTURE_FORMAT_L8 || format == TEXTURE_FORMAT_A8L8;
}

}  // namespace lum
