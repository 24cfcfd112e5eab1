// The plug-in's bootstrap: its own core services, installed for the whole
// process and wired to the host's displays, and a fresh description.
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "quarn/HModuleInfo.h"
#include "quarn/Platform/Maya/HHostSinks.h"
#include "quarn/Platform/Maya/HPluginRuntime.h"

namespace quarn {
namespace platform_maya {

namespace {
const int kServicesBlockSize = 4096;
}

void InitializePlugin_Base() {
  kor::ICoreServices* services = kor::g_coreServicesFactory(kServicesBlockSize);
  HPluginRuntime& runtime = PluginRuntime();
  if (runtime.currentServices != nullptr) {
    // The services of an earlier bootstrap may still be installed.
    if (kor::GetCoreServicesAccessor() == &PluginServicesAccessor) RestoreSavedAccessor();
    kor::DeleteObject(runtime.currentServices);
  }
  runtime.currentServices = services;
  if (services == nullptr)
    throw kor::ErrorDescription(__LINE__, "Headers", "InitializePlugin_Base",
                                "unable to create the os core service object");

  runtime.savedAccessor = kor::SetCoreServicesAccessor(&PluginServicesAccessor);
  services->SetOutputSink(2, &HostInfoSink());
  services->SetOutputSink(3, &HostInfoSink());
  services->SetOutputSink(7, &HostWarningSink());
  services->SetOutputSink(5, &HostErrorSink());

  ResetPluginDescription();
  FillPluginDescription();
}

}  // namespace platform_maya
}  // namespace quarn
