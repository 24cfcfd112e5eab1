#include "JNGExporter.h"

#include <cstring>

#include "kor/CoreServices/Implementations/UFileReplacement.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"
#include "lum/LLoader.h"

using lum::LData_Image;
using namespace quarn::platform_maya;

namespace {

JNGExporter::ModuleResult Failure() { return JNGExporter::ModuleResult(JNGExporter::ModuleResult::FAILURE); }

void CheckRecord(const LData_Image& data) {
  if (data.dimension != lum::TEXTURE_DIMENSION_2D)
    throw kor::ErrorDescription(__LINE__, "JNGExporter", "JNGExporter::Write",
                                "'assure' failed: data.dimension == TEXTURE_DIMENSION_2D");
  if (data.imageData == nullptr)
    throw kor::ErrorDescription(__LINE__, "JNGExporter", "JNGExporter::Write",
                                "'assure' failed: data.imageData");
  if (data.imageData->part != lum::IP_DEFAULT)
    throw kor::ErrorDescription(__LINE__, "JNGExporter", "JNGExporter::Write",
                                "'assure' failed: data.imageData->part == IP_DEFAULT");
}

// The record format for a layout and the conversion of n input pixels.
int FillRecordPixels(int layout, const unsigned char* in, size_t n, unsigned char* out) {
  switch (layout) {
    case IMAGE_LAYOUT_RGBA8:
      for (size_t i = 0; i < n; ++i, in += 4, out += 4) {
        out[0] = in[3]; out[1] = in[2]; out[2] = in[1]; out[3] = in[0];
      }
      return lum::TEXTURE_FORMAT_A8B8G8R8;
    case IMAGE_LAYOUT_RGBX8:
      for (size_t i = 0; i < n; ++i, in += 4, out += 4) {
        out[0] = 255;  // the filler byte, which the writer ignores
        out[1] = in[2]; out[2] = in[1]; out[3] = in[0];
      }
      return lum::TEXTURE_FORMAT_X8B8G8R8;
    case IMAGE_LAYOUT_RGBA16:
      for (size_t i = 0; i < n; ++i, in += 8, out += 4)
        for (int j = 0; j < 4; ++j) {
          const unsigned char* word = in + 2 * (3 - j);
          out[j] = static_cast<unsigned char>((word[0] | (word[1] << 8)) / 257);
        }
      return lum::TEXTURE_FORMAT_A8B8G8R8;
    default:  // grey
      std::memcpy(out, in, n);
      return lum::TEXTURE_FORMAT_A8;
  }
}

}  // namespace

JNGExporter::~JNGExporter() noexcept(false) { kor::DeleteObject(moduleInfo); }

JNGExporter::ModuleResult JNGExporter::Write(const ImageInfo& info,
                                             const kor::UArray<unsigned char>& pixels,
                                             kor::IOutputStream& output) {
  if (info.format < IMAGE_LAYOUT_RGBA8 || info.format > IMAGE_LAYOUT_GREY8) return Failure();
  const size_t n = static_cast<size_t>(info.width) * info.height;
  // The caller's buffer must hold the whole image, or it is not read at all.
  if (static_cast<size_t>(pixels.GetNum()) < n * BytesPerLayoutPixel(info.format)) return Failure();

  LData_Image data;
  data.SetImageData(new lum::LData_ImagePart(info.width, info.height));
  const size_t outBytes = info.format == IMAGE_LAYOUT_GREY8 ? n : n * 4;
  unsigned char* recordPixels = new unsigned char[outBytes ? outBytes : 1];
  data.imageData->SetPixels(recordPixels);
  data.format = FillRecordPixels(info.format, pixels.GetData(), n, recordPixels);
  CheckRecord(data);

  lum::LLoader_Image* writer = lum::LLoader_Image::GetWriter(data.format);
  if (writer == nullptr) return Failure();
  lum::LImageSaveOptions options;
  return writer->Write(output, data, &options) ? ModuleResult() : Failure();
}

JNGExporter::ModuleResult JNGExporter::WriteFile(const ImageInfo& info,
                                                 const kor::UArray<unsigned char>& pixels,
                                                 const kor::UBaseString<unsigned char>& path) {
  kor::UFileReplacement output(*kor::GetCoreServices()->GetFileSystem(), path);
  if (output.GetStream() == nullptr) return Failure();
  ModuleResult result = Write(info, pixels, *output.GetStream());
  return result.Succeeded() && output.Commit() ? result : Failure();
}

kor::UBaseString<unsigned char> JNGExporter::GetExtension() { return kor::UBaseString<unsigned char>("jng"); }
