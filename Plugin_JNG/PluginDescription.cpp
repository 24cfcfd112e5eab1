// What this plug-in says of itself to the host.
#include "JNGImporter.h"
#include "quarn/HModuleInfo.h"

namespace quarn {

void FillPluginDescription() {
  PluginDescription& description = GetPluginDescription();
  description.texts[0] = "Lumen Imaging";
  description.texts[1] = "JNG image loader";
  description.texts[4] = "https://lumen-imaging.example.org";
  description.texts[5] = "plugins@lumen-imaging.example.org";
  description.versionMajor = 0;
  description.versionMinor = 8;
  AddModule(ModuleInfoBase{HString("JNGImporter"), JNGImporter::MODULE_ID, MODULE_TYPE_IMAGE_FILE,
                           &JNGImporter::Create, &JNGImporter::Destroy});
}

}  // namespace quarn
