// An output stream over a C stdio file; every transfer is one fwrite.
#pragma once

#include "kor/CoreServices/Implementations/ANSI/UFileANSI.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"

namespace kor {

class UFileWriter_ANSI : public IOutputStream {
 public:
  UFileWriter_ANSI(std::FILE* file, const UBaseString<unsigned char>& name)
      : m_file(file, name), m_failed(false) {}

  uint64_t Serialize(const void* buffer, uint64_t size) override {
    if (size == 0) return 0;
    size_t written = m_file.IsOpen() && buffer != nullptr
                         ? std::fwrite(buffer, 1, static_cast<size_t>(size), m_file.GetFile())
                         : 0;
    if (written != size) m_failed = true;
    return written;
  }
  ~UFileWriter_ANSI() noexcept(false) override {}
  void Close() override {
    if (!m_file.Close()) m_failed = true;
  }
  bool IsOpen() override { return m_file.IsOpen(); }
  UBaseString<unsigned char> GetName() override { return m_file.GetName(); }
  void Flush() override {
    if (m_file.IsOpen() && std::fflush(m_file.GetFile()) != 0) m_failed = true;
  }

  // Closes the file; true when every byte it was given reached the file:
  // stdio buffers, so a full disk may only show when the rest goes out.
  bool Finish() {
    Flush();
    Close();
    return !m_failed;
  }

 private:
  UFileANSI m_file;
  bool m_failed;
};

}  // namespace kor
