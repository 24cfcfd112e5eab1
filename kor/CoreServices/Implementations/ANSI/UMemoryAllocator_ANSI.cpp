#include "kor/CoreServices/Implementations/ANSI/UMemoryAllocator_ANSI.h"

#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"

namespace kor {

void ReportAllocationFailure(unsigned size, const char* location) {
  ICoreServices* services = GetCoreServices();
  if (services == nullptr) return;
  UMessageWriter writer(services->GetChannel(7), "memory allocation of ");
  writer << static_cast<int32_t>(size) << " bytes from location \"" << location << "\" failed";
}

void* UMemoryAllocator_ANSI::Allocate(unsigned size, const char* location) {
  void* block = std::malloc(size);
  if (block == nullptr) ReportAllocationFailure(size, location);
  return block;
}

void UMemoryAllocator_ANSI::Free(void* block, const char* /*location*/) { std::free(block); }

}  // namespace kor
