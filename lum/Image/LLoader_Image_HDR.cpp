#include "lum/Image/LLoader_Image_HDR.h"

#include <cstdint>
#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"
#include "lum/Image/LRadianceHeader.h"
#include "lum/Image/LRgbeScanlines.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

const char RADIANCE_SIGNATURE[10] = {'#', '?', 'R', 'A', 'D', 'I', 'A', 'N', 'C', 'E'};

// The largest array the containers hold.
const uint64_t LARGEST_BUFFER = LARGEST_IMAGE_BUFFER;

enum { PIXEL_BYTES = 16 };

bool ReadHeader(kor::IInputStream& stream, LData_Image& data, RadianceHeader& header) {
  if (!ReadRadianceHeader(stream, header)) return false;
  data.format = TEXTURE_FORMAT_A32B32G32R32F;
  data.SetImageData(new LData_ImagePart(header.width, header.height));
  return true;
}

// Each scanline goes straight into the record's pixels as it is decoded.
bool ReadPixels(kor::IInputStream& stream, const RadianceHeader& header, LData_ImagePart& part) {
  const uint64_t width = static_cast<uint64_t>(header.width);
  const uint64_t pixelNum = width * static_cast<uint64_t>(header.height);
  if (pixelNum == 0) return true;
  if (pixelNum * PIXEL_BYTES > LARGEST_BUFFER) return false;
  kor::UArray<unsigned char> file;
  if (!ReadStreamRemainder(stream, UINT64_MAX, file)) return false;
  unsigned char* pixels = new unsigned char[static_cast<size_t>(pixelNum * PIXEL_BYTES)];
  part.SetPixels(pixels);
  LRgbeScanlines scanlines(file.GetData(), static_cast<uint64_t>(file.GetNum()), header.width);
  for (int y = 0; y < header.height; ++y) {
    if (!scanlines.DecodeNext()) return false;
    LRgbeScanlines::ToFloats(scanlines.GetRow(), width, pixels + y * width * PIXEL_BYTES);
  }
  return true;
}

}  // namespace

bool LLoader_Image_HDR::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[sizeof(RADIANCE_SIGNATURE)];
  uint64_t arrived = stream.Serialize(bytes, sizeof(bytes));
  if (arrived > 0) stream.SeekBackward(static_cast<int64_t>(arrived));
  return arrived == sizeof(bytes) && std::memcmp(bytes, RADIANCE_SIGNATURE, sizeof(bytes)) == 0;
  KOR_GUARD_END
}

bool LLoader_Image_HDR::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  RadianceHeader header;
  return ReadHeader(stream, data, header);
  KOR_GUARD_END
}

bool LLoader_Image_HDR::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  RadianceHeader header;
  if (!ReadHeader(stream, data, header)) return false;
  return ReadPixels(stream, header, *data.imageData);
  KOR_GUARD_END
}

bool LLoader_Image_HDR::Write(kor::IOutputStream&, LData_Image&, const LImageSaveOptions*) { return false; }

bool LLoader_Image_HDR::CanWrite(int) { return false; }

}  // namespace lum
