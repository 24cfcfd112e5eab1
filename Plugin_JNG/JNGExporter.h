// The writing counterpart of the importer: turns an image in the
// translator's layouts into a record and writes it as JNG. No description
// lists it, so the host never reaches it.
#pragma once

#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "kor/Utils/UArray.h"
#include "quarn/HModuleInfo.h"
#include "quarn/HModuleObject.h"
#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"

class JNGExporter : public quarn::ModuleObject {
 public:
  typedef quarn::platform_maya::ImageInfo ImageInfo;
  typedef quarn::platform_maya::ModuleResult ModuleResult;

  JNGExporter() : moduleInfo(nullptr) {}
  ~JNGExporter() noexcept(false) override;

  virtual ModuleResult Write(const ImageInfo& info, const kor::UArray<unsigned char>& pixels,
                             kor::IOutputStream& output);
  virtual kor::UBaseString<unsigned char> GetExtension();

  // Writes the image as a JNG file through the services' file system, whole
  // or not at all: a failure part-way (a full disk, say) leaves the file
  // that was at path as it was and no partial one.
  ModuleResult WriteFile(const ImageInfo& info, const kor::UArray<unsigned char>& pixels,
                         const kor::UBaseString<unsigned char>& path);

 private:
  quarn::ModuleInfoBase* moduleInfo;
};
