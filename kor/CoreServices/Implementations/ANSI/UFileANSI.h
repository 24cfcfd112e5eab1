// What the portable file reader and writer share: the C stdio file and the
// path it was opened with.
#pragma once

#include <cstdio>

#include "kor/Utils/UBaseString.h"

namespace kor {

class UFileANSI {
 public:
  // Takes over an open file.
  UFileANSI(std::FILE* file, const UBaseString<unsigned char>& name);
  UFileANSI(const UFileANSI&) = delete;
  UFileANSI& operator=(const UFileANSI&) = delete;
  ~UFileANSI() noexcept(false);

  // Closes the file once; later calls do nothing. False when the close
  // failed (bytes still buffered could not be written out).
  bool Close();
  bool IsOpen() const { return m_file != nullptr; }
  std::FILE* GetFile() const { return m_file; }
  const UBaseString<unsigned char>& GetName() const { return m_name; }

 private:
  std::FILE* m_file;
  UBaseString<unsigned char> m_name;
};

}  // namespace kor
