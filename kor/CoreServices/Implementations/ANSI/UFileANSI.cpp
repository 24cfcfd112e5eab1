#include "kor/CoreServices/Implementations/ANSI/UFileANSI.h"

namespace kor {

UFileANSI::UFileANSI(std::FILE* file, const UBaseString<unsigned char>& name)
    : m_file(file), m_name(name) {}

UFileANSI::~UFileANSI() noexcept(false) { Close(); }

bool UFileANSI::Close() {
  if (m_file == nullptr) return true;
  bool closed = std::fclose(m_file) == 0;
  m_file = nullptr;
  return closed;
}

}  // namespace kor
