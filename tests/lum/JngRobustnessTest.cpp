// Damaged real files: every prefix, and every byte flipped, must be refused
// with a reason or decoded, with nothing read or written outside a buffer
// (the sanitizer build watches) and nothing leaked.
#include "JpegTestSupport.h"
#include "lum/Image/LLoader_Image_JNG.h"
#include "lum/Image/LLoader_Image_JPG.h"

namespace {

class DamagedFiles : public CodecTest {
 protected:
  // Decodes one damaged file; libjpeg's refusals arrive as the bridge's error.
  void Decode(lum::LLoader_Image& loader, const Bytes& file) {
    lum::LData_Image image;
    TestStream stream(file);
    try {
      if (loader.Read(stream, image, nullptr)) {
        ASSERT_NE(nullptr, image.imageData);
        ASSERT_NE(nullptr, image.imageData->pixels);
      } else {
        ASSERT_NE("", sink.Text()) << "a refusal without a reason";
      }
    } catch (const kor::ErrorDescription& error) {
      ASSERT_STREQ("Error during JPEG decompression", error.GetMessage());
    }
    sink.Clear();
    ++decoded;
  }
  void DecodeDamaged(lum::LLoader_Image& loader, const char* const* names, size_t count) {
    for (size_t n = 0; n < count; ++n) {
      Bytes file = ReadFileBytes(TestDataPath(names[n]));
      ASSERT_FALSE(file.empty()) << names[n];
      for (size_t length = 0; length < file.size(); ++length)
        Decode(loader, Bytes(file.begin(), file.begin() + length));
      for (size_t position = 0; position < file.size(); ++position) {
        Bytes flipped = file;
        flipped[position] ^= static_cast<unsigned char>(0x80 >> (position % 8));
        Decode(loader, flipped);
      }
    }
    EXPECT_GT(decoded, 0);
  }
  int decoded = 0;
};

}  // namespace

TEST_F(DamagedFiles, JngFilesOfEveryAlphaCoding) {
  SKIP_WITHOUT_TESTDATA("imagemagick/jng");
  const char* const names[] = {"imagemagick/jng/input_gray.jng", "imagemagick/jng/input_idat.jng",
                               "imagemagick/jng/input_gray_prog_idat.jng", "imagemagick/jng/input_prog_jdaa.jng"};
  lum::LLoader_Image_JNG loader;
  DecodeDamaged(loader, names, sizeof names / sizeof names[0]);
}

TEST_F(DamagedFiles, JpegFilesBaselineAndProgressive) {
  SKIP_WITHOUT_TESTDATA("imagemagick/misc/input.jpg");
  const char* const names[] = {"imagemagick/misc/input.jpg", "image-rs/images/jpg/progressive/test.jpg"};
  lum::LLoader_Image_JPG loader;
  DecodeDamaged(loader, names, sizeof names / sizeof names[0]);
}
