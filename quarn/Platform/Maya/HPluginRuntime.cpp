#include "quarn/Platform/Maya/HPluginRuntime.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/Utils/UMemory.h"

namespace quarn {
namespace platform_maya {

namespace {

// Deletes the last bootstrap's services when the library is unloaded.
struct RuntimeOwner {
  HPluginRuntime runtime;
  ~RuntimeOwner() {
    if (runtime.currentServices == nullptr) return;
    if (kor::GetCoreServicesAccessor() == &PluginServicesAccessor) RestoreSavedAccessor();
    try {
      kor::DeleteObject(runtime.currentServices);
    } catch (...) {
    }
    runtime.currentServices = nullptr;
  }
};

RuntimeOwner& Owner() {
  static RuntimeOwner owner;
  return owner;
}

}  // namespace

HPluginRuntime& PluginRuntime() { return Owner().runtime; }

kor::ICoreServices* PluginServicesAccessor() { return PluginRuntime().currentServices; }

void RestoreSavedAccessor() { kor::SetCoreServicesAccessor(PluginRuntime().savedAccessor); }

// Only the plug-in's own services are wired to the host displays; before
// they exist an error goes to the host directly.
void ReportToHost(const kor::ErrorDescription& error) {
  kor::ICoreServices* services = kor::GetCoreServices();
  if (services != nullptr && services == PluginRuntime().currentServices) {
    try {
      kor::UMessageWriter(services->GetChannel(5), error.GetMessage())
          << "\r\nHistory: " << error.GetHistory();
      return;
    } catch (...) {
      // Composing the message failed too (memory is short): say it plainly.
    }
  }
  MString text(error.GetMessage());
  text += " History: ";
  text += error.GetHistory();
  MGlobal::displayError(text);
}

void ReportUnknownToHost(const char* where) {
  ReportToHost(kor::ErrorDescription(0, "", where, "unknown error"));
}

}  // namespace platform_maya
}  // namespace quarn
