// An input stream over a Win32 file handle. Every transfer is one ReadFile;
// positions are the 32-bit file pointer and the size is asked for once.
#pragma once

#include "kor/CoreServices/Implementations/Windows/UFileWindows.h"
#include "kor/CoreServices/Implementations/Windows/UFileWindows_SerializingPolicy.h"
#include "kor/CoreServices/Interfaces/IInputStream.h"

namespace kor {
namespace platform_windows {

class UFileReader_Windows : public IInputStream {
 public:
  UFileReader_Windows(HANDLE handle, const UBaseString<unsigned char>& name);

  uint64_t Serialize(void* buffer, uint64_t size) override;
  ~UFileReader_Windows() noexcept(false) override {}
  void Close() override { m_file.Close(); }
  bool IsOpen() override { return m_file.IsOpen(); }
  UBaseString<unsigned char> GetName() override { return m_file.GetName(); }
  // The size at the first call: later growth of the file is not seen.
  uint64_t GetSize() override;
  uint64_t GetPosition() override;
  void SeekToBegin() override;
  void SeekToEnd() override;
  // Both move by the low 32 bits of the distance, as a signed value.
  IInputStream& SeekForward(int64_t distance) override;
  IInputStream& SeekBackward(int64_t distance) override;
  bool IsEndOfStream() override { return GetPosition() >= GetSize(); }

 private:
  enum : uint64_t { SIZE_UNKNOWN = ~static_cast<uint64_t>(0) };

  UFileWindows m_file;
  UFileWindows_SerializingPolicy_Input m_policy;
  uint64_t m_size;
};

}  // namespace platform_windows
}  // namespace kor
