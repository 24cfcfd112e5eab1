#include "kor/CoreServices/Implementations/UArchivePath.h"

#include "kor/CoreServices/Implementations/UStream_Archive.h"
#include "kor/Utils/UScopedObject.h"

namespace kor {

namespace {

int FindLast(const UBaseString<unsigned char>& path, unsigned char character, int before) {
  const unsigned char* text = reinterpret_cast<const unsigned char*>(path.GetText());
  for (int i = before - 1; i >= 0; --i)
    if (text[i] == character) return i;
  return -1;
}

}  // namespace

int FindArchiveSeparator(const UBaseString<unsigned char>& path, int before) {
  if (before > path.GetLength()) before = path.GetLength();
  int backslash = FindLast(path, '\\', before);
  return backslash >= 0 ? backslash : FindLast(path, '/', before);
}

IInputStream* OpenThroughArchive(const UBaseString<unsigned char>& path, PlainFileOpener open) {
  for (int before = path.GetLength();;) {
    int separator = FindArchiveSeparator(path, before);
    if (separator < 0) return nullptr;
    UScopedObject<IInputStream> archive(open(UBaseString<unsigned char>(path.GetText(), separator)));
    if (archive.Get() != nullptr) {
      UBaseString<unsigned char> member(path.GetText() + separator + 1);
      return NewObject<UStream_Archive>(*archive.Get(), member);
    }
    if (separator == 0) return nullptr;
    before = separator;
  }
}

}  // namespace kor
