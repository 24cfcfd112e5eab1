#include "lum/Sound/LSoundMessage.h"

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"

namespace lum {

void ReportAboutSound(const char* start, const kor::UString& name, const char* end) {
  kor::ICoreServices* services = kor::GetCoreServices();
  kor::UMessageWriter(services ? services->GetChannel(7) : nullptr, start) << name << end;
}

void NoticeSeveralChannels(const kor::UString& name) {
  ReportAboutSound("The file \"", name,
                   "\" uses more than one channel. This may lead to subtle problems in a 3D environment.");
}

}  // namespace lum
