// The plug-in's runtime state in the host process: the services object of
// the last bootstrap and the accessor that was in force before it.
#pragma once

#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"

namespace quarn {
namespace platform_maya {

// Creates the plug-in's own core services, installs them as the process's,
// routes their channels to the host's displays and fills the plug-in
// description. The plug-in defines it (it fills its own description).
void InitializePlugin_Base();

struct HPluginRuntime {
  kor::ICoreServices* currentServices = nullptr;
  kor::CoreServicesAccessor savedAccessor = nullptr;
};
HPluginRuntime& PluginRuntime();

// The accessor installed by the bootstrap: it returns currentServices.
kor::ICoreServices* PluginServicesAccessor();

// Puts back the accessor that was in force before the last bootstrap.
void RestoreSavedAccessor();

// Shows an error that reached the host boundary in the host's error display:
// its message and history.
void ReportToHost(const kor::ErrorDescription& error);
void ReportUnknownToHost(const char* where);

}  // namespace platform_maya
}  // namespace quarn

// Catches everything at a host boundary: the host must never see an
// exception, only a failure status and the error in its display.
#define QUARN_HOST_BOUNDARY_BEGIN try {
#define QUARN_HOST_BOUNDARY_END(failureResult)                            \
  }                                                                      \
  catch (const ::kor::ErrorDescription& quarn_error) {                   \
    ::quarn::platform_maya::ReportToHost(quarn_error);                   \
    return failureResult;                                                \
  }                                                                      \
  catch (...) {                                                          \
    ::quarn::platform_maya::ReportUnknownToHost(KOR_FUNCTION_NAME);      \
    return failureResult;                                                \
  }
