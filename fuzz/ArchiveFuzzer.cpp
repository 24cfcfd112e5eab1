// Opens members of an archive held in memory: construction must stay inside
// its buffers, never throw for bad archives, and a member that opens must
// read back exactly its size.
//
// Input: one byte n, then n bytes of a member name (at most 63), then the
// archive. The name lets the fuzzer reach nested archives (a.zip/b.txt).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kor/CoreServices/Implementations/UStream_Archive.h"

namespace {

void OpenAndRead(kor::IInputStream& archive, const kor::UString& name) {
  kor::UStream_Archive member(archive, name);
  uint64_t size = member.GetSize();
  uint64_t total = 0;
  unsigned char piece[4096];
  while (uint64_t got = member.Serialize(piece, sizeof piece)) total += got;
  if (total != size || (size != 0 && !member.IsOpen())) std::abort();
  if (archive.GetPosition() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t nameLength = data[0] % 64;
  if (nameLength > size - 1) nameLength = size - 1;
  kor::UString name(reinterpret_cast<const char*>(data + 1), static_cast<int>(nameLength));
  const uint8_t* bytes = data + 1 + nameLength;
  size_t byteCount = size - 1 - nameLength;

  kor::UStream_Memory archive(bytes, byteCount);
  OpenAndRead(archive, name);
  OpenAndRead(archive, kor::UString("a"));
  OpenAndRead(archive, kor::UString("a/b"));
  return 0;
}
