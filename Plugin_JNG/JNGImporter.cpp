#include "JNGImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "lum/Image/LTwoHalves.h"
#include "lum/LData_Image.h"
#include "lum/LLoader.h"
#include "quarn/HModuleInfo.h"
#include "quarn/Platform/Maya/HPluginRuntime.h"

using kor::IInputStream;
using lum::LData_Image;
using namespace quarn::platform_maya;

namespace {

// The host's image sizes are 16-bit here: larger images are refused rather
// than reported with truncated sizes for a buffer of another size.
const int kMaxSide = 65535;

// A record the loaders accept: a two-dimensional image with one default part.
void CheckRecord(const LData_Image& data, const char* function) {
  if (data.dimension != lum::TEXTURE_DIMENSION_2D)
    throw kor::ErrorDescription(__LINE__, "JNGImporter", function,
                                "'assure' failed: data.dimension == TEXTURE_DIMENSION_2D");
  if (data.imageData == nullptr)
    throw kor::ErrorDescription(__LINE__, "JNGImporter", function, "'assure' failed: data.imageData");
  if (data.imageData->part != lum::IP_DEFAULT)
    throw kor::ErrorDescription(__LINE__, "JNGImporter", function,
                                "'assure' failed: data.imageData->part == IP_DEFAULT");
}

bool FitsTheHost(const LData_Image& data) {
  const lum::LData_ImagePart& part = *data.imageData;
  return part.width >= 0 && part.height >= 0 && part.width <= kMaxSide && part.height <= kMaxSide;
}

void FillInfo(const LData_Image& data, JNGImporter::ImageInfo& info) {
  info.width = static_cast<uint16_t>(data.imageData->width);
  info.height = static_cast<uint16_t>(data.imageData->height);
  info.format = LayoutOfFormat(data.format);
}

JNGImporter::ModuleResult Failure() { return JNGImporter::ModuleResult(JNGImporter::ModuleResult::FAILURE); }

// Decodes the stream into data and fills info: false when no loader reads
// it or the host cannot take its size. Assertions name function.
bool DecodeRecord(IInputStream& input, LData_Image& data, JNGImporter::ImageInfo& info, const char* function) {
  lum::LLoader_Image* loader = lum::LLoader_Image::FindReader(input);
  if (loader == nullptr || !loader->Read(input, data, nullptr)) return false;
  CheckRecord(data, function);
  if (!FitsTheHost(data)) return false;
  FillInfo(data, info);
  return true;
}

// One row of record pixels into host pixels. The record's bytes are read as
// little-endian words, as the 16-bit layout already assumes.
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "host pixels are built from little-endian words");
#endif
typedef void (*HostRowConversion)(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count);

uint32_t Load32(const unsigned char* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

void Store32(unsigned char* bytes, uint32_t word) { std::memcpy(bytes, &word, sizeof word); }

unsigned char Narrow16(const unsigned char* word) {
  return static_cast<unsigned char>((word[0] | (word[1] << 8)) / 257);
}

// Alpha, blue, green, red to blue, green, red, alpha.
void HostRowFromABGR8(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t pixel = Load32(in + 4 * i);
    Store32(out + 4 * i, pixel >> 8 | pixel << 24);
  }
}

// The filler byte becomes an opaque alpha.
void HostRowFromXBGR8(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count) {
  for (size_t i = 0; i < count; ++i) Store32(out + 4 * i, Load32(in + 4 * i) >> 8 | 0xFF000000u);
}

void HostRowFromABGR16(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count) {
  for (size_t i = 0; i < count; ++i, in += 8, out += 4) {
    out[0] = Narrow16(in + 2);
    out[1] = Narrow16(in + 4);
    out[2] = Narrow16(in + 6);
    out[3] = Narrow16(in);
  }
}

void HostRowFromL16(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count) {
  for (size_t i = 0; i < count; ++i, in += 2, out += 4) {
    out[0] = out[1] = out[2] = Narrow16(in);
    out[3] = 255;
  }
}

// Alpha, grey.
void HostRowFromAL8(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count) {
  for (size_t i = 0; i < count; ++i, in += 2, out += 4) {
    out[0] = out[1] = out[2] = in[1];
    out[3] = in[0];
  }
}

void HostRowFromGrey8(const unsigned char* __restrict in, unsigned char* __restrict out, size_t count) {
  for (size_t i = 0; i < count; ++i) Store32(out + 4 * i, in[i] * 0x010101u | 0xFF000000u);
}

HostRowConversion HostRowConversionOf(int format) {
  switch (format) {
    case lum::TEXTURE_FORMAT_A8B8G8R8: return HostRowFromABGR8;
    case lum::TEXTURE_FORMAT_X8B8G8R8: return HostRowFromXBGR8;
    case lum::TEXTURE_FORMAT_A16B16G16R16: return HostRowFromABGR16;
    case lum::TEXTURE_FORMAT_L16: return HostRowFromL16;
    case lum::TEXTURE_FORMAT_A8L8: return HostRowFromAL8;
    case lum::TEXTURE_FORMAT_A8: case lum::TEXTURE_FORMAT_L8: return HostRowFromGrey8;
    default: return nullptr;
  }
}

bool CanReachTheHost(const LData_Image& data) {
  return HostRowConversionOf(data.format) != nullptr && data.imageData->pixels != nullptr;
}

// Host rows run bottom row first: host row r is record row height-1-r.
void ConvertHostRows(const LData_Image& data, unsigned char* host, int firstRow, int endRow) {
  HostRowConversion convert = HostRowConversionOf(data.format);
  const lum::LData_ImagePart& part = *data.imageData;
  const size_t width = static_cast<size_t>(part.width);
  const size_t recordRow = width * static_cast<size_t>(LData_Image::BytesPerPixel(data.format));
  for (int r = firstRow; r < endRow; ++r)
    convert(part.pixels + static_cast<size_t>(part.height - 1 - r) * recordRow, host + static_cast<size_t>(r) * width * 4,
            width);
}

}  // namespace

int LayoutOfFormat(int format) {
  switch (format) {
    case lum::TEXTURE_FORMAT_A8B8G8R8: case lum::TEXTURE_FORMAT_A8L8: return IMAGE_LAYOUT_RGBA8;
    case lum::TEXTURE_FORMAT_X8B8G8R8: return IMAGE_LAYOUT_RGBX8;
    case lum::TEXTURE_FORMAT_A16B16G16R16: case lum::TEXTURE_FORMAT_L16: return IMAGE_LAYOUT_RGBA16;
    case lum::TEXTURE_FORMAT_A8: case lum::TEXTURE_FORMAT_L8: return IMAGE_LAYOUT_GREY8;
    default: return IMAGE_LAYOUT_NONE;
  }
}

bool ConvertRecordPixels(const LData_Image& data, kor::UArray<unsigned char>& pixels) {
  const int layout = LayoutOfFormat(data.format);
  if (layout == IMAGE_LAYOUT_NONE || data.imageData->pixels == nullptr) return false;
  const size_t count = static_cast<size_t>(data.imageData->width) * data.imageData->height;
  const size_t outBytes = count * BytesPerLayoutPixel(layout);
  assure(outBytes < 0x7FFFFFC0u);
  pixels.Empty(0);
  pixels.Grow(static_cast<int>(outBytes));
  const unsigned char* s = data.imageData->pixels;
  unsigned char* out = pixels.GetData();
  switch (data.format) {
    case lum::TEXTURE_FORMAT_A8B8G8R8:
      for (size_t i = 0; i < count; ++i, s += 4, out += 4) {
        out[0] = s[3]; out[1] = s[2]; out[2] = s[1]; out[3] = s[0];
      }
      break;
    case lum::TEXTURE_FORMAT_X8B8G8R8:
      for (size_t i = 0; i < count; ++i, s += 4, out += 4) {
        out[0] = s[3]; out[1] = s[2]; out[2] = s[1]; out[3] = 0;
      }
      break;
    case lum::TEXTURE_FORMAT_A16B16G16R16:
      for (size_t i = 0; i < count; ++i, s += 8, out += 8)
        for (int w = 0; w < 4; ++w) {
          out[2 * w] = s[2 * (3 - w)];
          out[2 * w + 1] = s[2 * (3 - w) + 1];
        }
      break;
    case lum::TEXTURE_FORMAT_L16:
      // Grey in the three colour words; the image has no alpha, so it is
      // opaque rather than as transparent as it is dark.
      for (size_t i = 0; i < count; ++i, s += 2, out += 8) {
        for (int w = 0; w < 3; ++w) {
          out[2 * w] = s[0];
          out[2 * w + 1] = s[1];
        }
        out[6] = out[7] = 0xFF;
      }
      break;
    case lum::TEXTURE_FORMAT_A8L8:
      for (size_t i = 0; i < count; ++i, s += 2, out += 4) {
        out[0] = out[1] = out[2] = s[1];
        out[3] = s[0];
      }
      break;
    default:  // A8, L8: byte for byte
      std::memcpy(out, s, count);
      break;
  }
  return true;
}

bool ConvertRecordToHostPixels(const LData_Image& data, unsigned char* host) {
  if (!CanReachTheHost(data)) return false;
  const int height = data.imageData->height;
  // The decoder's second thread has ended by now.
  if (static_cast<size_t>(data.imageData->width) * static_cast<size_t>(height) < lum::TWO_HALVES_PIXELS)
    ConvertHostRows(data, host, 0, height);
  else
    lum::RunInTwoHalves(0, height, [&data, host](int first, int end) { ConvertHostRows(data, host, first, end); });
  return true;
}

JNGImporter::ModuleResult JNGImporter::ReadInfo(ImageInfo& info, IInputStream& input) {
  LData_Image data;
  lum::LLoader_Image* loader = lum::LLoader_Image::FindReader(input);
  if (loader == nullptr || !loader->ReadInfo(input, data, nullptr)) return Failure();
  CheckRecord(data, "JNGImporter::ReadInfo");
  if (!FitsTheHost(data)) return Failure();
  FillInfo(data, info);
  return ModuleResult();
}

JNGImporter::ModuleResult JNGImporter::Read(ImageInfo& info, kor::UArray<unsigned char>& pixels,
                                            IInputStream& input) {
  pixels.m_arrayNum = 0;
  LData_Image data;
  if (!DecodeRecord(input, data, info, "JNGImporter::Read") || !ConvertRecordPixels(data, pixels)) return Failure();
  return ModuleResult();
}

// The record lives until its pixels are in the host image, which is made
// only once the decode has succeeded.
JNGImporter::ModuleResult JNGImporter::ReadIntoHost(ImageInfo& info, MImage& image, IInputStream& input) {
  LData_Image data;
  if (!DecodeRecord(input, data, info, "JNGImporter::Read")) return Failure();
  if (!CanReachTheHost(data)) return Failure();
  unsigned char* host = CreateHostImage(image, info.width, info.height);
  if (host == nullptr) return Failure();
  ConvertRecordToHostPixels(data, host);
  return ModuleResult();
}

kor::UBaseString<unsigned char> JNGImporter::GetExtension() { return kor::UBaseString<unsigned char>("jng"); }

// No exception may reach the host: a failure here shows in its display and
// the host gets no object.
void* JNGImporter::Create() {
  QUARN_HOST_BOUNDARY_BEGIN
  JNGImporter* importer = new JNGImporter;
  try {
    importer->SetModuleInfo(quarn::ModuleInfoBase::GetModuleInfoBaseFor(MODULE_ID));
  } catch (...) {
    delete importer;
    throw;
  }
  return static_cast<MPxImageFile*>(importer);
  QUARN_HOST_BOUNDARY_END(nullptr)
}

void JNGImporter::Destroy(void* object) {
  if (object == nullptr) return;
  QUARN_HOST_BOUNDARY_BEGIN
  delete static_cast<MPxImageFile*>(object);
  QUARN_HOST_BOUNDARY_END()
}
