#include <gtest/gtest.h>

#include <cstdint>

#include "kor/CoreServices/Implementations/UStream_Memory.h"

using kor::UStream_Memory;

TEST(MemoryStream, ReadsInPiecesUntilTheEnd) {
  const unsigned char bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  UStream_Memory stream(bytes, sizeof bytes);
  unsigned char piece[4];
  EXPECT_EQ(4u, stream.Serialize(piece, 4));
  EXPECT_EQ(4u, stream.Serialize(piece, 4));
  EXPECT_EQ(2u, stream.Serialize(piece, 4));
  EXPECT_EQ(8, piece[0]);
  EXPECT_EQ(0u, stream.Serialize(piece, 4));
  EXPECT_TRUE(stream.IsEndOfStream());
  EXPECT_EQ(0u, stream.Serialize(nullptr, 4));
  stream.SeekToBegin();
  EXPECT_EQ(0u, stream.Serialize(piece, 0));
  EXPECT_EQ(0u, stream.GetPosition());
}

TEST(MemoryStream, SeeksClampToTheRange) {
  const unsigned char bytes[10] = {};
  UStream_Memory stream(bytes, sizeof bytes);
  stream.SeekForward(15);
  EXPECT_EQ(10u, stream.GetPosition());
  stream.SeekBackward(20);
  EXPECT_EQ(0u, stream.GetPosition());
  stream.SeekForward(5).SeekForward(-3);
  EXPECT_EQ(2u, stream.GetPosition());
  stream.SeekBackward(-4);
  EXPECT_EQ(6u, stream.GetPosition());
  stream.SeekForward(INT64_MAX);
  EXPECT_EQ(10u, stream.GetPosition());
  stream.SeekBackward(INT64_MIN);
  EXPECT_EQ(10u, stream.GetPosition());
  stream.SeekForward(INT64_MIN);
  EXPECT_EQ(0u, stream.GetPosition());
  stream.SeekToEnd();
  EXPECT_TRUE(stream.IsEndOfStream());
  unsigned char byte;
  EXPECT_EQ(0u, stream.Serialize(&byte, 1));
}

TEST(MemoryStream, CloseForgetsTheBytesWithoutFreeingThem) {
  const unsigned char bytes[3] = {7, 8, 9};
  UStream_Memory stream(bytes, sizeof bytes);
  EXPECT_TRUE(stream.IsOpen());
  EXPECT_STREQ("", stream.GetName().GetText());
  stream.Close();
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(0u, stream.GetSize());
  EXPECT_TRUE(stream.IsEndOfStream());
  UStream_Memory empty(bytes, 0);
  EXPECT_FALSE(empty.IsOpen());
  EXPECT_TRUE(empty.IsEndOfStream());
}
