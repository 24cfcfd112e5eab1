// What the Windows file reader and writer share: the Win32 handle and the
// path the file was opened with.
#pragma once

#include "Win32Kernel.h"
#include "kor/Utils/UBaseString.h"

namespace kor {
namespace platform_windows {

class UFileWindows {
 public:
  // Takes over an open handle.
  UFileWindows(HANDLE handle, const UBaseString<unsigned char>& name);
  UFileWindows(const UFileWindows&) = delete;
  UFileWindows& operator=(const UFileWindows&) = delete;
  ~UFileWindows() noexcept(false);

  // Closes the handle once; later calls do nothing.
  void Close();
  bool IsOpen() const { return m_handle != nullptr; }
  HANDLE GetHandle() const { return m_handle; }
  const UBaseString<unsigned char>& GetName() const { return m_name; }

 private:
  HANDLE m_handle;
  UBaseString<unsigned char> m_name;
};

}  // namespace platform_windows
}  // namespace kor
