#include "lum/Image/LLoader_Image_JPG.h"

#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"

namespace lum {

bool LLoader_Image_JPG::ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  kor::UArray<unsigned char> buffer;
  if (!LLoader_Image_JPG_Base::ReadRemainder(stream, buffer)) return false;
  LLoader_Image_JPG_Base::Decompressor decompressor;
  return LLoader_Image_JPG_Base::ReadJpegHeader(buffer.GetData(), static_cast<size_t>(buffer.GetNum()),
                                                decompressor, data);
  KOR_GUARD_END
}

bool LLoader_Image_JPG::Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions*) {
  KOR_GUARD_BEGIN
  kor::UArray<unsigned char> buffer;
  if (!LLoader_Image_JPG_Base::ReadRemainder(stream, buffer)) return false;
  return LLoader_Image_JPG_Base::DecodeJpeg(buffer.GetData(), static_cast<size_t>(buffer.GetNum()), data,
                                            stream.GetName());
  KOR_GUARD_END
}

bool LLoader_Image_JPG::Write(kor::IOutputStream&, LData_Image&, const LImageSaveOptions*) { return false; }

bool LLoader_Image_JPG::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char start[3] = {0, 0, 0};
  uint64_t got = stream.Serialize(start, 2);
  if (got == 2) got += stream.Serialize(start + 2, 1);
  // Back by what was read, not by what was asked: a short stream must end
  // up where it started too.
  stream.SeekBackward(static_cast<int64_t>(got));
  return got == 3 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
  KOR_GUARD_END
}

bool LLoader_Image_JPG::CanWrite(int format) {
  return format == TEXTURE_FORMAT_X8B8G8R8 || format == TEXTURE_FORMAT_A8 || format == TEXTURE_FORMAT_L8;
}

}  // namespace lum
