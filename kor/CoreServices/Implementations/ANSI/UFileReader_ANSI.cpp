#include "kor/CoreServices/Implementations/ANSI/UFileReader_ANSI.h"

namespace kor {

namespace {

// Positions of a failed ftell read as 0, so that a broken file looks empty
// rather than endless.
uint64_t Widened(long position) { return position < 0 ? 0 : static_cast<uint64_t>(position); }

}  // namespace

UFileReader_ANSI::UFileReader_ANSI(std::FILE* file, const UBaseString<unsigned char>& name)
    : m_file(file, name), m_size(SIZE_UNKNOWN) {}

uint64_t UFileReader_ANSI::Serialize(void* buffer, uint64_t size) {
  if (!m_file.IsOpen() || buffer == nullptr || size == 0) return 0;
  return std::fread(buffer, 1, static_cast<size_t>(size), m_file.GetFile());
}

uint64_t UFileReader_ANSI::GetSize() {
  if (m_size != SIZE_UNKNOWN) return m_size;
  std::FILE* file = m_file.GetFile();
  if (file == nullptr) return 0;
  long position = std::ftell(file);
  std::fseek(file, 0, SEEK_END);
  m_size = Widened(std::ftell(file));
  std::fseek(file, position < 0 ? 0 : position, SEEK_SET);
  return m_size;
}

uint64_t UFileReader_ANSI::GetPosition() {
  return m_file.IsOpen() ? Widened(std::ftell(m_file.GetFile())) : 0;
}

void UFileReader_ANSI::SeekToBegin() {
  if (m_file.IsOpen()) std::fseek(m_file.GetFile(), 0, SEEK_SET);
}

void UFileReader_ANSI::SeekToEnd() {
  if (m_file.IsOpen()) std::fseek(m_file.GetFile(), 0, SEEK_END);
}

void UFileReader_ANSI::SeekBy(uint64_t distanceBits) {
  if (m_file.IsOpen())
    std::fseek(m_file.GetFile(), static_cast<int32_t>(static_cast<uint32_t>(distanceBits)),
               SEEK_CUR);
}

IInputStream& UFileReader_ANSI::SeekForward(int64_t distance) {
  SeekBy(static_cast<uint64_t>(distance));
  return *this;
}

IInputStream& UFileReader_ANSI::SeekBackward(int64_t distance) {
  // Negated in unsigned arithmetic: the most negative distance has no
  // signed opposite.
  SeekBy(0u - static_cast<uint64_t>(distance));
  return *this;
}

}  // namespace kor
