#include "quarn/Platform/Maya/HHostSinks.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

namespace quarn {
namespace platform_maya {

namespace {
void DisplayInfo(const char* text) { MGlobal::displayInfo(MString(text)); }
void DisplayWarning(const char* text) { MGlobal::displayWarning(MString(text)); }
void DisplayError(const char* text) { MGlobal::displayError(MString(text)); }

// Made before any sink that uses it, so it is destroyed after them.
kor::UCriticalSection& DisplayLock() {
  static kor::UCriticalSection lock;
  return lock;
}
}  // namespace

HHostSink& HostInfoSink() {
  static HHostSink sink(&DisplayInfo, DisplayLock());
  return sink;
}

HHostSink& HostWarningSink() {
  static HHostSink sink(&DisplayWarning, DisplayLock());
  return sink;
}

HHostSink& HostErrorSink() {
  static HHostSink sink(&DisplayError, DisplayLock());
  return sink;
}

}  // namespace platform_maya
}  // namespace quarn
