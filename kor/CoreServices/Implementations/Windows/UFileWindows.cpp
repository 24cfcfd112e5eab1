#include "kor/CoreServices/Implementations/Windows/UFileWindows.h"

namespace kor {
namespace platform_windows {

UFileWindows::UFileWindows(HANDLE handle, const UBaseString<unsigned char>& name)
    : m_handle(handle), m_name(name) {}

UFileWindows::~UFileWindows() noexcept(false) { Close(); }

void UFileWindows::Close() {
  if (m_handle == nullptr) return;
  CloseHandle(m_handle);
  m_handle = nullptr;
}

}  // namespace platform_windows
}  // namespace kor
