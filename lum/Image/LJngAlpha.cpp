#include "lum/Image/LJngAlpha.h"

#include <cstring>

#include "lum/Image/LImageWarning.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"
#include "lum/Image/LLoader_Image_PNG.h"

namespace lum {

namespace {

// The deflated alpha is reconstructed at the header's size into a record of
// the colour image's size: the two must agree, or the samples would not fit.
bool DecodeDeflatedAlpha(const LLoader_Image_JNG::JngHeader& header, const kor::UArray<unsigned char>& data,
                         const kor::UString& streamName, LData_Image& alpha) {
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
  return LLoader_Image_PNG::DecodeImageData(png, data, streamName, nullptr, alpha);
}

// The alpha stream's own header is checked before its pixels are made.
bool DecodeJpegAlpha(const LJngStreams& streams, LLoader_Image_JPG_Base::Decompressor& decompressor, int width,
                     int height, LData_Image& alpha) {
  LLoader_Image_JPG_Base::ReadJpegHeader(streams.alpha, streams.alphaSize, decompressor, alpha);
  return alpha.imageData->width == width && alpha.imageData->height == height &&
         LLoader_Image_JPG_Base::DecodePixels(decompressor, alpha, nullptr);
}

}  // namespace

bool DecodeJngAlpha(const LLoader_Image_JNG::JngHeader& header, const LJngStreams& streams,
                    const kor::UString& streamName, int width, int height, LData_Image& alpha,
                    LLoader_Image_JPG_Base::Decompressor* handleOwner) {
  alpha.format = header.alphaSampleDepth == 16 ? TEXTURE_FORMAT_L16 : TEXTURE_FORMAT_L8;
  alpha.SetImageData(new LData_ImagePart(width, height));
  bool decoded;
  if (header.alphaCompressionMethod == LLoader_Image_JNG::ALPHA_COMPRESSION_DEFLATE) {
    decoded = DecodeDeflatedAlpha(header, streams.AlphaArray(), streamName, alpha);
  } else if (header.alphaCompressionMethod == LLoader_Image_JNG::ALPHA_COMPRESSION_JPEG) {
    LLoader_Image_JPG_Base::Decompressor decompressor(streamName, handleOwner);
    decoded = DecodeJpegAlpha(streams, decompressor, width, height, alpha);
  } else {
    WarnAboutImage("Can't handle file \"", streamName, "\". The alpha channel type specified is not supported.");
    return false;
  }
  if (decoded && JngAlphaFits(alpha, width, height)) return true;
  WarnAboutImage("Can't handle file \"", streamName, "\". The embedded alpha channel stream is corrupt.");
  return false;
}

bool JngAlphaFits(const LData_Image& alpha, int width, int height) {
  const LData_ImagePart* samples = alpha.imageData;
  if (samples == nullptr || samples->pixels == nullptr) return false;
  if (samples->width != width || samples->height != height) return false;
  return alpha.format == TEXTURE_FORMAT_L8 || alpha.format == TEXTURE_FORMAT_L16;
}

}  // namespace lum
