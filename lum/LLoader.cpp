#include "lum/LLoader.h"

#include "kor/ErrorDescription.h"

namespace lum {

namespace {

// A probe that reads past the end of a short stream cannot step back by
// what it asked for; putting the position back here keeps every later
// probe, and the chosen loader, starting where the caller left the stream.
void RestorePosition(kor::IInputStream& stream, uint64_t position) {
  uint64_t now = stream.GetPosition();
  if (now > position) stream.SeekBackward(static_cast<int64_t>(now - position));
  else if (now < position) stream.SeekForward(static_cast<int64_t>(position - now));
}

}  // namespace

LLoader_Image* LLoader_Image::FindReader(const LImageLoaderTable& loaders, kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  uint64_t start = stream.GetPosition();
  for (int index = 0; index < loaders.GetNodeNum(); ++index) {
    LLoader_Image* loader = loaders.GetNode(index).value;
    if (loader == nullptr) continue;
    bool accepted = loader->CanRead(stream);
    RestorePosition(stream, start);
    if (accepted) return loader;
  }
  return nullptr;
  KOR_GUARD_END
}

LLoader_Image* LLoader_Image::GetWriter(const LImageLoaderTable& loaders, int format) {
  KOR_GUARD_BEGIN
  LLoader_Image* writer = loaders.Get(IMAGE_LOADER_JNG);
  if (writer == nullptr || !writer->CanWrite(format)) return nullptr;
  return writer;
  KOR_GUARD_END
}

bool LLoader_Image::LoadInfo(const LImageLoaderTable& loaders, kor::IInputStream& stream, LData_Image& data) {
  KOR_GUARD_BEGIN
  LLoader_Image* reader = FindReader(loaders, stream);
  return reader != nullptr && reader->ReadInfo(stream, data, nullptr);
  KOR_GUARD_END
}

bool LLoader_Image::Load(const LImageLoaderTable& loaders, kor::IInputStream& stream, LData_Image& data) {
  KOR_GUARD_BEGIN
  LLoader_Image* reader = FindReader(loaders, stream);
  return reader != nullptr && reader->Read(stream, data, nullptr);
  KOR_GUARD_END
}

bool LLoader_Image::Save(const LImageLoaderTable& loaders, kor::IOutputStream& stream, LData_Image& data,
                         const LImageSaveOptions* options) {
  KOR_GUARD_BEGIN
  LLoader_Image* writer = GetWriter(loaders, data.format);
  return writer != nullptr && writer->Write(stream, data, options);
  KOR_GUARD_END
}

LLoader_Image* LLoader_Image::FindReader(kor::IInputStream& stream) {
  return FindReader(GetImageLoaderTable(), stream);
}

LLoader_Image* LLoader_Image::GetWriter(int format) { return GetWriter(GetImageLoaderTable(), format); }

bool LLoader_Image::LoadInfo(kor::IInputStream& stream, LData_Image& data) {
  return LoadInfo(GetImageLoaderTable(), stream, data);
}

bool LLoader_Image::Load(kor::IInputStream& stream, LData_Image& data) {
  return Load(GetImageLoaderTable(), stream, data);
}

bool LLoader_Image::Save(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) {
  return Save(GetImageLoaderTable(), stream, data, options);
}

}  // namespace lum
