#include "kor/CoreServices/Implementations/ANSI/UFileANSI.h"

namespace kor {

UFileANSI::UFileANSI(std::FILE* file, const UBaseString<unsigned char>& name)
    : m_file(file), m_name(name) {}

UFileANSI::~UFileANSI() noexcept(false) { Close(); }

void UFileANSI::Close() {
  if (m_file == nullptr) return;
  std::fclose(m_file);
  m_file = nullptr;
}

}  // namespace kor
