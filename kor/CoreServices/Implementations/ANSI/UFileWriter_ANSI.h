// An output stream over a C stdio file; every transfer is one fwrite.
#pragma once

#include "kor/CoreServices/Implementations/ANSI/UFileANSI.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"

namespace kor {

class UFileWriter_ANSI : public IOutputStream {
 public:
  UFileWriter_ANSI(std::FILE* file, const UBaseString<unsigned char>& name) : m_file(file, name) {}

  uint64_t Serialize(const void* buffer, uint64_t size) override {
    if (!m_file.IsOpen() || buffer == nullptr || size == 0) return 0;
    return std::fwrite(buffer, 1, static_cast<size_t>(size), m_file.GetFile());
  }
  ~UFileWriter_ANSI() noexcept(false) override {}
  void Close() override { m_file.Close(); }
  bool IsOpen() override { return m_file.IsOpen(); }
  UBaseString<unsigned char> GetName() override { return m_file.GetName(); }
  void Flush() override {
    if (m_file.IsOpen()) std::fflush(m_file.GetFile());
  }

 private:
  UFileANSI m_file;
};

}  // namespace kor
