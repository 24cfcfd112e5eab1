#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "kor/Utils/UMemory.h"
#include "quarn/Platform/Maya/HPluginRuntime.h"

namespace quarn {
namespace platform_maya {

namespace {

const int kFailureChannel = 6;
const int kWarningChannel = 7;

MStatus Failure() { return MStatus(MStatus::kFailure); }

void SendFailure(const char* start, const char* name, const char* end) {
  kor::UMessageWriter(kor::GetCoreServices()->GetChannel(kFailureChannel), start) << name << end;
}

}  // namespace

int BytesPerLayoutPixel(int layout) {
  switch (layout) {
    case IMAGE_LAYOUT_RGBA8: case IMAGE_LAYOUT_RGBX8: return 4;
    case IMAGE_LAYOUT_RGBA16: return 8;
    case IMAGE_LAYOUT_GREY8: return 1;
    default: return 0;
  }
}

HPluginModule_ImageTranslator_Reader::~HPluginModule_ImageTranslator_Reader() noexcept {
  try {
    ReplaceStream(nullptr);
    kor::DeleteObject(moduleInfo);
  } catch (const kor::ErrorDescription& error) {
    ReportToHost(error);
  } catch (...) {
    ReportUnknownToHost(KOR_FUNCTION_NAME);
  }
}

void HPluginModule_ImageTranslator_Reader::SetModuleInfo(const ModuleInfoBase& module) {
  ModuleInfoBase* copy = kor::NewObject<ModuleInfoBase>(module);
  kor::DeleteObject(moduleInfo);
  moduleInfo = copy;
}

void HPluginModule_ImageTranslator_Reader::ReplaceStream(kor::IInputStream* fresh) {
  if (fresh == stream) return;
  kor::DeleteObject(stream);
  stream = fresh;
}

MStatus HPluginModule_ImageTranslator_Reader::open(MString pathname, MImageFileInfo* info) {
  QUARN_HOST_BOUNDARY_BEGIN
  return OpenStream(pathname.asChar(), info);
  QUARN_HOST_BOUNDARY_END(Failure())
}

MStatus HPluginModule_ImageTranslator_Reader::OpenStream(const char* path, MImageFileInfo* info) {
  openAttempted = true;
  kor::UBaseString<unsigned char> name(path);
  ReplaceStream(kor::GetCoreServices()->GetFileSystem()->CreateFileReader(name));
  if (stream == nullptr) {
    SendFailure("Can't open file \"", path, "\" for reading.");
    return Failure();
  }
  if (info == nullptr) return MStatus();

  ImageInfo image = {0, 0, IMAGE_LAYOUT_NONE};
  if (!ReadInfo(image, *stream).Succeeded()) {
    SendFailure("Can't read image information out of file \"", path, "\".");
    return Failure();
  }
  info->width(image.width);
  info->height(image.height);
  info->numberOfImages(1);
  info->pixelType(MImage::kByte);
  info->imageType(MImageFileInfo::kImageTypeColor);
  info->hardwareType(MImageFileInfo::kHwTexture2D);
  info->hasMipMaps(false);
  switch (image.format) {
    case IMAGE_LAYOUT_RGBA8: info->channels(4); info->hasAlpha(true); break;
    case IMAGE_LAYOUT_RGBX8: info->channels(3); info->hasAlpha(false); break;
    case IMAGE_LAYOUT_RGBA16: info->channels(4); info->hasAlpha(true); break;
    case IMAGE_LAYOUT_GREY8: info->channels(1); info->hasAlpha(false); break;
    default:
      SendFailure("Can't handle file \"", path, "\".");
      return Failure();
  }
  return MStatus();
}

MStatus HPluginModule_ImageTranslator_Reader::load(MImage& image, unsigned int imageNumber) {
  QUARN_HOST_BOUNDARY_BEGIN
  return LoadPixels(image, imageNumber);
  QUARN_HOST_BOUNDARY_END(Failure())
}

MStatus HPluginModule_ImageTranslator_Reader::LoadPixels(MImage& image, unsigned int imgNumber) {
  assure(imgNumber == 0);
  if (stream == nullptr) {
    // The host opens before it loads; without a file there is nothing to read.
    SendFailure("Can't load file \"", "", "\". No file is open.");
    return Failure();
  }
  stream->SeekToBegin();
  ImageInfo info = {0, 0, IMAGE_LAYOUT_NONE};
  if (ReadIntoHost(info, image, *stream).Succeeded()) return MStatus();
  SendFailure("Can't load file \"", stream->GetName().GetText(), "\".");
  return Failure();
}

ModuleResult HPluginModule_ImageTranslator_Reader::ReadIntoHost(ImageInfo& info, MImage& image,
                                                               kor::IInputStream& input) {
  const ModuleResult failure(ModuleResult::FAILURE);
  kor::UArray<unsigned char> pixels;
  if (!Read(info, pixels, input).Succeeded()) return failure;
  int bytesPerPixel = BytesPerLayoutPixel(info.format);
  size_t needed = static_cast<size_t>(info.width) * info.height * static_cast<size_t>(bytesPerPixel);
  if (bytesPerPixel == 0 || static_cast<size_t>(pixels.GetNum()) < needed) return failure;
  unsigned char* host = CreateHostImage(image, info.width, info.height);
  if (host == nullptr) return failure;
  ConvertToHostPixels(info, pixels.GetData(), host);
  return ModuleResult();
}

MStatus HPluginModule_ImageTranslator_Reader::glLoad(const MImageFileInfo& /*info*/,
                                                     unsigned int imgNumber) {
  QUARN_HOST_BOUNDARY_BEGIN
  assure(imgNumber == 0);
  kor::UMessageWriter(kor::GetCoreServices()->GetChannel(kFailureChannel),
                      "Can't handle glLoad call.");
  return Failure();
  QUARN_HOST_BOUNDARY_END(Failure())
}

MStatus HPluginModule_ImageTranslator_Reader::close() {
  QUARN_HOST_BOUNDARY_BEGIN
  if (stream == nullptr && !openAttempted)
    kor::UMessageWriter(kor::GetCoreServices()->GetChannel(kWarningChannel),
                        "Tried to close already closed stream.");
  ReplaceStream(nullptr);
  openAttempted = false;
  return MStatus();
  QUARN_HOST_BOUNDARY_END(Failure())
}

unsigned char* CreateHostImage(MImage& image, unsigned width, unsigned height) {
  if (!image.create(width, height, 4, MImage::kByte)) return nullptr;
  return image.pixels();
}

void ConvertToHostPixels(const ImageInfo& info, const unsigned char* source, unsigned char* host) {
  const int bytesPerPixel = BytesPerLayoutPixel(info.format);
  const size_t rowBytes = static_cast<size_t>(info.width) * bytesPerPixel;
  // Host rows run bottom row first: host row r is buffer row height-1-r.
  for (int r = 0; r < info.height; ++r) {
    const unsigned char* in = source + static_cast<size_t>(info.height - 1 - r) * rowBytes;
    for (int x = 0; x < info.width; ++x, in += bytesPerPixel, host += 4) {
      switch (info.format) {
        case IMAGE_LAYOUT_RGBA8:
          host[0] = in[2]; host[1] = in[1]; host[2] = in[0]; host[3] = in[3];
          break;
        case IMAGE_LAYOUT_RGBX8:
          host[0] = in[2]; host[1] = in[1]; host[2] = in[0]; host[3] = 255;
          break;
        case IMAGE_LAYOUT_RGBA16:
          // 16-bit words to 8 bits: 65535 becomes 255, 257 becomes 1.
          for (int c = 0; c < 4; ++c) {
            static const int kWordOfHostByte[4] = {2, 1, 0, 3};  // blue, green, red, alpha
            const unsigned char* word = in + 2 * kWordOfHostByte[c];
            host[c] = static_cast<unsigned char>((word[0] | (word[1] << 8)) / 257);
          }
          break;
        default:  // grey
          host[0] = host[1] = host[2] = in[0]; host[3] = 255;
          break;
      }
    }
  }
}

}  // namespace platform_maya
}  // namespace quarn
