#include "TestModules.h"

#include <stdexcept>

#include "quarn/Platform/Maya/HPluginRuntime.h"

using namespace quarn::platform_maya;

std::vector<quarn::ModuleInfoBase>& TestModules() {
  static std::vector<quarn::ModuleInfoBase> modules;
  return modules;
}

namespace quarn {
void FillPluginDescription() {
  PluginDescription& description = GetPluginDescription();
  description.texts[0] = "Tests";
  description.texts[1] = "JNG image loader";
  description.versionMajor = 0;
  description.versionMinor = 8;
  for (const ModuleInfoBase& module : TestModules()) AddModule(module);
}
}  // namespace quarn

int TestImageReader::s_readCalls = 0;

namespace {

bool ReadHeader(kor::IInputStream& input, ImageInfo& info) {
  unsigned char header[7];
  if (input.Serialize(header, 7) != 7 || header[0] != 'T' || header[1] != 'I' || header[2] != 'M' ||
      header[3] != 'G')
    return false;
  info.width = header[4];
  info.height = header[5];
  info.format = header[6];
  return true;
}

void* CreateCommand() { throw std::runtime_error("commands are not created in these tests"); }
void DestroyNothing(void*) {}

}  // namespace

ModuleResult TestImageReader::ReadInfo(ImageInfo& info, kor::IInputStream& input) {
  return ModuleResult(ReadHeader(input, info) ? ModuleResult::SUCCESS : ModuleResult::FAILURE);
}

ModuleResult TestImageReader::Read(ImageInfo& info, kor::UArray<unsigned char>& pixels,
                                   kor::IInputStream& input) {
  ++s_readCalls;
  if (!ReadHeader(input, info)) return ModuleResult(ModuleResult::FAILURE);
  int bytes = info.width * info.height * BytesPerLayoutPixel(info.format);
  pixels.Empty(0);
  pixels.Grow(bytes);
  if (input.Serialize(pixels.GetData(), static_cast<uint64_t>(bytes)) != static_cast<uint64_t>(bytes))
    return ModuleResult(ModuleResult::FAILURE);
  return ModuleResult();
}

void* TestImageReader::Create() {
  auto* reader = new TestImageReader;
  return static_cast<MPxImageFile*>(reader);
}

void TestImageReader::Destroy(void* object) { delete static_cast<MPxImageFile*>(object); }

quarn::ModuleInfoBase TestReaderModule(const char* name) {
  return quarn::ModuleInfoBase{quarn::HString(name), TestImageReader::MODULE_ID,
                               quarn::MODULE_TYPE_IMAGE_FILE, &TestImageReader::Create,
                               &TestImageReader::Destroy};
}

quarn::ModuleInfoBase CommandModule(const char* name, int type) {
  return quarn::ModuleInfoBase{quarn::HString(name), 1, type, &CreateCommand, &DestroyNothing};
}
