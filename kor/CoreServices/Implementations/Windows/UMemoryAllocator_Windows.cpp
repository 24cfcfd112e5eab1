#include "kor/CoreServices/Implementations/Windows/UMemoryAllocator_Windows.h"

#include "Win32Kernel.h"
#include "kor/CoreServices/Implementations/ANSI/UMemoryAllocator_ANSI.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"

namespace kor {
namespace platform_windows {

void* UMemoryAllocator_Windows::Allocate(unsigned size, const char* location) {
  void* block = VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) ReportAllocationFailure(size, location);
  return block;
}

void UMemoryAllocator_Windows::Free(void* block, const char* location) {
  if (VirtualFree(block, 0, MEM_RELEASE)) return;
  ICoreServices* services = GetCoreServices();
  if (services == nullptr) return;
  UMessageWriter writer(services->GetChannel(7), "memory release from location \"");
  writer << location << "\" failed";
}

}  // namespace platform_windows
}  // namespace kor
