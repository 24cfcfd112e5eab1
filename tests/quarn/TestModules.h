// The modules a test plug-in describes, chosen per test, and a reader of a
// tiny format of the tests' own for the translator.
#pragma once

#include <vector>

#include "quarn/HModuleInfo.h"
#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"

// Which modules FillPluginDescription lists for the next initialisation.
std::vector<quarn::ModuleInfoBase>& TestModules();

// File format "TIMG": magic, width, height, layout (one byte each after the
// magic), then width * height pixels of the layout. ReadInfo fails on any
// other start.
class TestImageReader : public quarn::platform_maya::HPluginModule_ImageTranslator_Reader {
 public:
  enum { MODULE_ID = 77 };
  quarn::platform_maya::ModuleResult ReadInfo(quarn::platform_maya::ImageInfo& info,
                                              kor::IInputStream& input) override;
  quarn::platform_maya::ModuleResult Read(quarn::platform_maya::ImageInfo& info,
                                          kor::UArray<unsigned char>& pixels,
                                          kor::IInputStream& input) override;
  kor::UBaseString<unsigned char> GetExtension() override { return "timg"; }

  static void* Create();
  static void Destroy(void* object);
  static int s_readCalls;
};

quarn::ModuleInfoBase TestReaderModule(const char* name = "TestReader");
quarn::ModuleInfoBase CommandModule(const char* name, int type = quarn::MODULE_TYPE_COMMAND);
