#include <gtest/gtest.h>

#include <pthread.h>

#include "TestServices.h"
#include "lum/LData_Image.h"

using lum::LData_Image;
using lum::LData_ImagePart;

TEST(ImageRecord, StartsTwoDimensionalWithoutFormatOrData) {
  LData_Image record("picture");
  EXPECT_STREQ("picture", record.name.GetText());
  EXPECT_EQ(lum::TEXTURE_DIMENSION_2D, record.dimension);
  EXPECT_EQ(1, record.dimension);
  EXPECT_EQ(lum::TEXTURE_FORMAT_NONE, record.format);
  EXPECT_EQ(28, record.format);
  EXPECT_EQ(nullptr, record.imageData);
  EXPECT_EQ(0, record.GetRefCount());

  LData_ImagePart part(3, 2);
  EXPECT_EQ(lum::IP_DEFAULT, part.part);
  EXPECT_EQ(3, part.width);
  EXPECT_EQ(2, part.height);
  EXPECT_EQ(1, part.depth);
  EXPECT_EQ(nullptr, part.pixels);
  EXPECT_EQ(nullptr, part.extraPart1);
  EXPECT_EQ(nullptr, part.extraPart2);
}

TEST(ImageRecord, ReferenceCountChangesWithoutDestroying) {
  LData_Image record;
  EXPECT_EQ(1, record.AddRef());
  EXPECT_EQ(2, record.AddRef());
  EXPECT_EQ(1, record.Release());
  EXPECT_EQ(0, record.Release());
  EXPECT_EQ(0, record.GetRefCount());
  EXPECT_EQ(lum::TEXTURE_DIMENSION_2D, record.dimension);  // still alive
}

namespace {
void* CountUpAndDown(void* argument) {
  LData_Image* record = static_cast<LData_Image*>(argument);
  for (int i = 0; i < 100000; ++i) record->AddRef();
  for (int i = 0; i < 50000; ++i) record->Release();
  return nullptr;
}
}  // namespace

TEST(ImageRecord, ReferenceCountIsAtomicAcrossThreads) {
  LData_Image record;
  pthread_t threads[2];
  for (pthread_t& thread : threads) ASSERT_EQ(0, pthread_create(&thread, nullptr, &CountUpAndDown, &record));
  for (pthread_t& thread : threads) pthread_join(thread, nullptr);
  EXPECT_EQ(100000, record.GetRefCount());
}

TEST(ImageRecord, ReplacingOwnedPartsAndPixelsFreesTheOldOnes) {
  ScopedTestServices services;
  kor::UMemoryPool& pool = services.Pool();
  {
    LData_Image record;
    record.SetImageData(new LData_ImagePart(2, 2));
    record.imageData->SetPixels(new unsigned char[16]);
    EXPECT_EQ(2, pool.m_currentAllocations);
    record.imageData->SetPixels(new unsigned char[64]);
    EXPECT_EQ(2, pool.m_currentAllocations);

    // A part that owns pixels and further parts goes as a whole.
    LData_ImagePart* next = new LData_ImagePart(4, 4);
    next->SetPixels(new unsigned char[64]);
    next->extraPart1 = new LData_ImagePart(1, 1);
    next->extraPart1->SetPixels(new unsigned char[4]);
    next->extraPart2 = new LData_ImagePart(1, 1);
    record.SetImageData(next);
    EXPECT_EQ(5, pool.m_currentAllocations);
    EXPECT_EQ(next, record.imageData);
    record.SetImageData(nullptr);
    EXPECT_EQ(0, pool.m_currentAllocations);
    record.SetImageData(new LData_ImagePart(1, 1));
    record.imageData->SetPixels(new unsigned char[4]);
  }
  EXPECT_EQ(0, pool.m_currentAllocations);
}

TEST(ImageRecord, HandingOverWhatIsAlreadyOwnedKeepsIt) {
  ScopedTestServices services;
  LData_Image record;
  LData_ImagePart* part = new LData_ImagePart(1, 1);
  record.SetImageData(part);
  unsigned char* pixels = new unsigned char[4]{1, 2, 3, 4};
  part->SetPixels(pixels);
  record.SetImageData(part);
  part->SetPixels(pixels);
  EXPECT_EQ(part, record.imageData);
  EXPECT_EQ(3, record.imageData->pixels[2]);
  EXPECT_EQ(2, services.Pool().m_currentAllocations);
}

TEST(FormatTable, DescriptorRowsGiveChannelWidthsComponentsAndFlags) {
  const lum::LTextureFormatDescriptor& argb = lum::GetTextureFormatDescriptor(lum::TEXTURE_FORMAT_A8B8G8R8);
  const unsigned char argbBits[8] = {0, 0, 0, 0, 8, 8, 8, 8};
  EXPECT_EQ(0, std::memcmp(argbBits, argb.bits, 8));
  EXPECT_EQ(4, argb.components);
  const lum::LTextureFormatDescriptor& xrgb = lum::GetTextureFormatDescriptor(lum::TEXTURE_FORMAT_X8B8G8R8);
  EXPECT_EQ(8, xrgb.bits[lum::TEXTURE_CHANNEL_X]);
  EXPECT_EQ(0, xrgb.bits[lum::TEXTURE_CHANNEL_A]);
  const lum::LTextureFormatDescriptor& al = lum::GetTextureFormatDescriptor(lum::TEXTURE_FORMAT_A8L8);
  EXPECT_EQ(8, al.bits[lum::TEXTURE_CHANNEL_L]);
  EXPECT_EQ(8, al.bits[lum::TEXTURE_CHANNEL_A]);
  EXPECT_EQ(2, al.components);
  const lum::LTextureFormatDescriptor& ds = lum::GetTextureFormatDescriptor(lum::TEXTURE_FORMAT_D24S8);
  EXPECT_EQ(24, ds.bits[lum::TEXTURE_CHANNEL_D]);
  EXPECT_EQ(8, ds.bits[lum::TEXTURE_CHANNEL_S]);
  EXPECT_EQ(3, ds.components);
  EXPECT_EQ(1, lum::GetTextureFormatDescriptor(lum::TEXTURE_FORMAT_BLOCK_RGB_A1_V).bits[lum::TEXTURE_CHANNEL_A]);
  EXPECT_EQ(0, lum::GetTextureFormatDescriptor(lum::TEXTURE_FORMAT_NONE).components);

  for (int format = 0; format <= lum::TEXTURE_FORMAT_NONE; ++format) {
    unsigned flags = lum::TEXTURE_FORMAT_DESCRIPTORS[format].flags;
    bool isFloat = format >= 8 && format <= 13;
    bool isBlock = format >= 15 && format <= 24;
    bool isVariant = format == 14 || (format >= 21 && format <= 24);
    EXPECT_EQ((isFloat ? 0x1u : 0u) | (isBlock ? 0x100u : 0u) | (isVariant ? 0x10000u : 0u), flags) << format;
  }
  // Values outside the enumeration read the NONE row, never past the table.
  EXPECT_EQ(&lum::TEXTURE_FORMAT_DESCRIPTORS[28], &lum::GetTextureFormatDescriptor(29));
  EXPECT_EQ(&lum::TEXTURE_FORMAT_DESCRIPTORS[28], &lum::GetTextureFormatDescriptor(-1));
}

TEST(FormatTable, BytesPerPixelSumsTheChannelWidths) {
  const int expected[29] = {4, 4, 4, 8, 1, 1, 2, 2, 2, 4, 8, 4, 8, 16, 4,
                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 4, 4, 0};
  for (int format = 0; format < 29; ++format)
    EXPECT_EQ(expected[format], LData_Image::BytesPerPixel(format)) << format;
  EXPECT_EQ(0, LData_Image::BytesPerPixel(29));
  EXPECT_EQ(0, LData_Image::BytesPerPixel(1000));
  EXPECT_EQ(0, LData_Image::BytesPerPixel(-5));
}
