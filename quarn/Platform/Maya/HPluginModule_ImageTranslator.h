// The host side of every image-reading module: it serves the host's open,
// load, glLoad and close calls and leaves the file format to a concrete
// module's ReadInfo, Read and GetExtension.
#pragma once

#include <maya/MImage.h>
#include <maya/MImageFileInfo.h>
#include <maya/MPxImageFile.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/Utils/UArray.h"
#include "quarn/HModuleInfo.h"
#include "quarn/HModuleObject.h"

namespace quarn {
namespace platform_maya {

// Pixel buffer layouts exchanged between a module and the translator; rows
// top row first, no padding.
enum ImageLayout {
  IMAGE_LAYOUT_NONE = 0,    // cannot be handed to the host
  IMAGE_LAYOUT_RGBA8 = 1,   // red, green, blue, alpha
  IMAGE_LAYOUT_RGBX8 = 2,   // red, green, blue, one undefined byte
  IMAGE_LAYOUT_RGBA16 = 3,  // red, green, blue, alpha as little-endian 16-bit words
  IMAGE_LAYOUT_GREY8 = 4    // one 8-bit channel
};

struct ImageInfo {
  uint16_t width;
  uint16_t height;
  int32_t format;  // an ImageLayout
};

// Bytes per pixel of a layout; 0 for none.
int BytesPerLayoutPixel(int layout);

class ModuleResult {
 public:
  enum { SUCCESS = 0, FAILURE = 1 };
  explicit ModuleResult(int32_t code = SUCCESS) : m_code(code) {}
  virtual ~ModuleResult() {}
  int32_t GetCode() const { return m_code; }
  bool Succeeded() const { return m_code == SUCCESS; }

 private:
  int32_t m_code;
};

class HPluginModule_ImageTranslator_Reader : public MPxImageFile, public ModuleObject {
 public:
  HPluginModule_ImageTranslator_Reader() : moduleInfo(nullptr), stream(nullptr), openAttempted(false) {}
  // The host's base destructor does not throw, so neither may this one.
  ~HPluginModule_ImageTranslator_Reader() noexcept override;

  MStatus open(MString pathname, MImageFileInfo* info) override;
  MStatus load(MImage& image, unsigned int imageNumber) override;
  MStatus glLoad(const MImageFileInfo& info, unsigned int imageNumber) override;
  // Releases the stream. Closing after an open, even one that failed, is
  // what the host always does; only a close without an open warns.
  MStatus close() override;

  virtual ModuleResult ReadInfo(ImageInfo& info, kor::IInputStream& input) = 0;
  virtual ModuleResult Read(ImageInfo& info, kor::UArray<unsigned char>& pixels,
                            kor::IInputStream& input) = 0;
  virtual kor::UBaseString<unsigned char> GetExtension() = 0;

  // Fills the host image for load: reads the pixels with Read and converts
  // them. A module whose decoded pixels can go to the host in one
  // conversion overrides it and spares the buffer between. Failure when
  // the pixels or the host image cannot be had; load then reports it.
  virtual ModuleResult ReadIntoHost(ImageInfo& info, MImage& image, kor::IInputStream& input);

  // Replaces the held module description with a copy of module.
  void SetModuleInfo(const ModuleInfoBase& module);
  const ModuleInfoBase* GetModuleInfo() const { return moduleInfo; }
  bool HasStream() const { return stream != nullptr; }

 protected:
  ModuleInfoBase* moduleInfo;
  kor::IInputStream* stream;

 private:
  // An open was called since the last close: the host closes every file it
  // tried to open, so a close after a failed open is no fault.
  bool openAttempted;

  MStatus OpenStream(const char* path, MImageFileInfo* info);
  MStatus LoadPixels(MImage& image, unsigned int imageNumber);
  void ReplaceStream(kor::IInputStream* fresh);
};

// Creates the host image of width x height, 4 bytes a pixel, and returns its
// buffer (blue, green, red, alpha; bottom row first); null when the host
// gives none.
unsigned char* CreateHostImage(MImage& image, unsigned width, unsigned height);

// Copies a buffer of the given layout into host pixels (4 bytes blue, green,
// red, alpha, bottom row first).
void ConvertToHostPixels(const ImageInfo& info, const unsigned char* source,
                         unsigned char* host);

}  // namespace platform_maya
}  // namespace quarn
