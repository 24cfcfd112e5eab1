// The plug-in's image-file module: reads any image an image loader
// recognises and hands it to the translator in one of its layouts.
#pragma once

#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"

namespace lum {
class LData_Image;
}

class JNGImporter : public quarn::platform_maya::HPluginModule_ImageTranslator_Reader {
 public:
  enum { MODULE_ID = 10 };

  typedef quarn::platform_maya::ImageInfo ImageInfo;
  typedef quarn::platform_maya::ModuleResult ModuleResult;

  ModuleResult ReadInfo(ImageInfo& info, kor::IInputStream& input) override;
  ModuleResult Read(ImageInfo& info, kor::UArray<unsigned char>& pixels,
                    kor::IInputStream& input) override;
  kor::UBaseString<unsigned char> GetExtension() override;
  // Decodes as Read does and converts the record straight into the host
  // image: one pass, no buffer of the translator's layout between.
  ModuleResult ReadIntoHost(ImageInfo& info, MImage& image, kor::IInputStream& input) override;

  // The module's creator and destroyer, as the host and the description hold them.
  static void* Create();
  static void Destroy(void* object);
};

// The translator layout of a record pixel format; IMAGE_LAYOUT_NONE when the
// host cannot take it.
int LayoutOfFormat(int format);

// Fills pixels with the record's pixels in the layout of its format; false
// for formats without a layout.
bool ConvertRecordPixels(const lum::LData_Image& data, kor::UArray<unsigned char>& pixels);

// Writes the record's pixels into host pixels (4 bytes blue, green, red,
// alpha, bottom row first) as its layout would reach the host through
// ConvertToHostPixels; false for formats without a layout.
bool ConvertRecordToHostPixels(const lum::LData_Image& data, unsigned char* host);
