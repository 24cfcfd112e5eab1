// An output stream over a Win32 file handle; every transfer is one WriteFile.
#pragma once

#include "kor/CoreServices/Implementations/Windows/UFileWindows.h"
#include "kor/CoreServices/Implementations/Windows/UFileWindows_SerializingPolicy.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"

namespace kor {
namespace platform_windows {

class UFileWriter_Windows : public IOutputStream {
 public:
  UFileWriter_Windows(HANDLE handle, const UBaseString<unsigned char>& name)
      : m_file(handle, name), m_failed(false) {}

  uint64_t Serialize(const void* buffer, uint64_t size) override {
    uint64_t written = m_policy.Serialize(m_file.GetHandle(), buffer, size);
    if (written != size) m_failed = true;
    return written;
  }
  ~UFileWriter_Windows() noexcept(false) override {}
  void Close() override { m_file.Close(); }
  bool IsOpen() override { return m_file.IsOpen(); }
  UBaseString<unsigned char> GetName() override { return m_file.GetName(); }
  void Flush() override {
    if (m_file.IsOpen() && !FlushFileBuffers(m_file.GetHandle())) m_failed = true;
  }

  // Closes the handle; true when every byte it was given was written and
  // flushed to the disk, so that the close itself has nothing left to lose.
  bool Finish() {
    Flush();
    Close();
    return !m_failed;
  }

 private:
  UFileWindows m_file;
  UFileWindows_SerializingPolicy_Output m_policy;
  bool m_failed;
};

}  // namespace platform_windows
}  // namespace kor
