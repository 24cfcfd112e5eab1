#include "lum/Image/LImageWarning.h"

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"

namespace lum {

void WarnAboutImage(const char* start, const kor::UString& name, const char* end) {
  kor::ICoreServices* services = kor::GetCoreServices();
  kor::UMessageWriter(services ? services->GetChannel(7) : nullptr, start) << name << end;
}

}  // namespace lum
