#include "kor/CoreServices/Implementations/Windows/UFileWindows_SerializingPolicy.h"

#include "kor/ErrorDescription.h"

namespace kor {
namespace platform_windows {

namespace {

// The transfer count of ReadFile and WriteFile is 32-bit, and callers rely
// on counts that fit a signed 32-bit value.
const uint64_t TRANSFER_LIMIT = static_cast<uint64_t>(1) << 31;

// The check is spelt out rather than written with assure: the text is the
// customary "size < (1<<31)", which as C++ would compare against a negative int.
#define KOR_ASSURE_TRANSFER_SIZE(size)                                      \
  do {                                                                      \
    if ((size) >= TRANSFER_LIMIT)                                           \
      throw ::kor::ErrorDescription(__LINE__, __FILE__, KOR_FUNCTION_NAME,  \
                                    "'assure' failed: size < (1<<31)");     \
  } while (0)

}  // namespace

uint64_t UFileWindows_SerializingPolicy_Input::Serialize(HANDLE file, void* buffer, uint64_t size) {
  KOR_ASSURE_TRANSFER_SIZE(size);
  if (file == nullptr) return 0;
  DWORD read = 0;
  if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr)) return 0;
  return read;
}

uint64_t UFileWindows_SerializingPolicy_Output::Serialize(HANDLE file, const void* buffer,
                                                          uint64_t size) {
  KOR_ASSURE_TRANSFER_SIZE(size);
  if (file == nullptr) return 0;
  DWORD written = 0;
  WriteFile(file, buffer, static_cast<DWORD>(size), &written, nullptr);
  return written;
}

}  // namespace platform_windows
}  // namespace kor
