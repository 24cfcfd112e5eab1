#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "lum/LImageSaveOptions.h"

using lum::LImageSaveOptions;

namespace {
// The block's bytes, zeros included.
std::string BytesOf(const kor::UString& block) {
  return std::string(reinterpret_cast<const char*>(block.GetText()), static_cast<size_t>(block.GetLength()));
}
}  // namespace

TEST(SaveOptions, ATextCountsAsSetOnlyBeyondItsTerminator) {
  LImageSaveOptions options;
  EXPECT_EQ(0, options.CountSetTexts());
  EXPECT_EQ(0, options.ConcatenateTexts().GetLength());
  options.title = "";  // the terminator alone
  EXPECT_EQ(1, options.title.m_arrayNum);
  EXPECT_EQ(0, options.CountSetTexts());
  EXPECT_EQ(0, options.BuildTextBlock().GetLength());
  options.title = "t";
  options.warning = "w";
  EXPECT_EQ(2, options.CountSetTexts());
}

TEST(SaveOptions, TextBlockPairsKeywordsAndTextsWithZeroBytes) {
  LImageSaveOptions options;
  options.author = "ab";
  kor::UString block = options.BuildTextBlock();
  EXPECT_EQ(10, block.GetLength());
  EXPECT_EQ(std::string("Author\0ab\0", 10), BytesOf(block));
  EXPECT_EQ(1, options.CountSetTexts());
}

TEST(SaveOptions, TextBlockFollowsFieldOrderWithEveryKeyword) {
  LImageSaveOptions options;
  // Set in reverse, so that only the field order can explain the result.
  options.comment = "10";
  options.source = "9";
  options.warning = "8";
  options.disclaimer = "7";
  options.software = "6";
  options.creationTime = "5";
  options.copyright = "4";
  options.description = "3";
  options.author = "2";
  options.title = "1";
  EXPECT_EQ(10, options.CountSetTexts());
  const char expected[] = ("Title\0" "1\0" "Author\0" "2\0" "Description\0" "3\0" "Copyright\0" "4\0"
                             "Creation Time\0" "5\0" "Software\0" "6\0" "Disclaimer\0" "7\0"
                             "Warning\0" "8\0" "Source\0" "9\0" "Comment\0" "10\0");
  EXPECT_EQ(std::string(expected, sizeof expected - 1), BytesOf(options.BuildTextBlock()));
  EXPECT_EQ(std::string("1\0" "2\0" "3\0" "4\0" "5\0" "6\0" "7\0" "8\0" "9\0" "10\0", 21),
            BytesOf(options.ConcatenateTexts()));
}

TEST(SaveOptions, ConcatenationSkipsUnsetTextsAndHasNoKeywords) {
  LImageSaveOptions options;
  options.title = "ti";
  options.comment = "co";
  kor::UString texts = options.ConcatenateTexts();
  EXPECT_EQ(6, texts.GetLength());
  EXPECT_EQ(std::string("ti\0co\0", 6), BytesOf(texts));
  options.title = "";
  EXPECT_EQ(std::string("co\0", 3), BytesOf(options.ConcatenateTexts()));
}

TEST(SaveOptions, JpegQualityIsTheTruncatedComplementOfCompression) {
  EXPECT_EQ(75, LImageSaveOptions::JpegQuality(0.25f));
  EXPECT_EQ(100, LImageSaveOptions::JpegQuality(0.0f));
  EXPECT_EQ(0, LImageSaveOptions::JpegQuality(1.0f));
  EXPECT_EQ(90, LImageSaveOptions::JpegQuality(0.1f));
  // Settings beyond the scale give its ends, as libjpeg's own clamping would.
  EXPECT_EQ(100, LImageSaveOptions::JpegQuality(-3.0f));
  EXPECT_EQ(0, LImageSaveOptions::JpegQuality(7.5f));
  EXPECT_EQ(100, LImageSaveOptions::JpegQuality(std::nanf("")));
}
