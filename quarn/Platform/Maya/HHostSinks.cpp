#include "quarn/Platform/Maya/HHostSinks.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

namespace quarn {
namespace platform_maya {

namespace {
void DisplayInfo(const char* text) { MGlobal::displayInfo(MString(text)); }
void DisplayWarning(const char* text) { MGlobal::displayWarning(MString(text)); }
void DisplayError(const char* text) { MGlobal::displayError(MString(text)); }
}  // namespace

HHostSink& HostInfoSink() {
  static HHostSink sink(&DisplayInfo);
  return sink;
}

HHostSink& HostWarningSink() {
  static HHostSink sink(&DisplayWarning);
  return sink;
}

HHostSink& HostErrorSink() {
  static HHostSink sink(&DisplayError);
  return sink;
}

}  // namespace platform_maya
}  // namespace quarn
