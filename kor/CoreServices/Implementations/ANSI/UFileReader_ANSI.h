// An input stream over a C stdio file. Every transfer is one fread; the
// size is measured once.
#pragma once

#include "kor/CoreServices/Implementations/ANSI/UFileANSI.h"
#include "kor/CoreServices/Interfaces/IInputStream.h"

namespace kor {

class UFileReader_ANSI : public IInputStream {
 public:
  UFileReader_ANSI(std::FILE* file, const UBaseString<unsigned char>& name);

  uint64_t Serialize(void* buffer, uint64_t size) override;
  ~UFileReader_ANSI() noexcept(false) override {}
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

  void SeekBy(uint64_t distanceBits);

  UFileANSI m_file;
  uint64_t m_size;
};

}  // namespace kor
