#include "kor/CoreServices/Implementations/Windows/UFileReader_Windows.h"

namespace kor {
namespace platform_windows {

namespace {

// The file pointer moves by a signed 32-bit distance; larger distances keep
// their low 32 bits.
LONG LowDistance(uint64_t bits) { return static_cast<LONG>(static_cast<uint32_t>(bits)); }

}  // namespace

UFileReader_Windows::UFileReader_Windows(HANDLE handle, const UBaseString<unsigned char>& name)
    : m_file(handle, name), m_size(SIZE_UNKNOWN) {}

uint64_t UFileReader_Windows::Serialize(void* buffer, uint64_t size) {
  return m_policy.Serialize(m_file.GetHandle(), buffer, size);
}

uint64_t UFileReader_Windows::GetSize() {
  if (m_size == SIZE_UNKNOWN) m_size = GetFileSize(m_file.GetHandle(), nullptr);
  return m_size;
}

uint64_t UFileReader_Windows::GetPosition() {
  return SetFilePointer(m_file.GetHandle(), 0, nullptr, FILE_CURRENT);
}

void UFileReader_Windows::SeekToBegin() { SetFilePointer(m_file.GetHandle(), 0, nullptr, FILE_BEGIN); }

void UFileReader_Windows::SeekToEnd() { SetFilePointer(m_file.GetHandle(), 0, nullptr, FILE_END); }

IInputStream& UFileReader_Windows::SeekForward(int64_t distance) {
  SetFilePointer(m_file.GetHandle(), LowDistance(static_cast<uint64_t>(distance)), nullptr,
                 FILE_CURRENT);
  return *this;
}

IInputStream& UFileReader_Windows::SeekBackward(int64_t distance) {
  // Negated in unsigned arithmetic: the most negative distance has no
  // signed opposite.
  SetFilePointer(m_file.GetHandle(), LowDistance(0u - static_cast<uint64_t>(distance)), nullptr,
                 FILE_CURRENT);
  return *this;
}

}  // namespace platform_windows
}  // namespace kor
