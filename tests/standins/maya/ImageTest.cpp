#include "StandinTest.h"

#include <maya/MImage.h>

#include <cstring>

namespace {

class MayaImage : public StandinTest
{
};

std::vector<unsigned char> bytes(std::initializer_list<int> values)
{
    return std::vector<unsigned char>(values.begin(), values.end());
}

TEST_F(MayaImage, CreateGivesZeroedRowsOfChannelBytes)
{
    MImage image;
    EXPECT_EQ(nullptr, image.pixels());
    ASSERT_TRUE(image.create(3, 2, 4, MImage::kByte));

    unsigned int width = 0, height = 0;
    ASSERT_TRUE(image.getSize(width, height));
    EXPECT_EQ(3u, width);
    EXPECT_EQ(2u, height);
    mayastandin::ImageView view = mayastandin::view(image);
    EXPECT_EQ(4u, view.channels);
    EXPECT_EQ(MImage::kByte, view.type);
    ASSERT_NE(nullptr, image.pixels());
    EXPECT_EQ(std::vector<unsigned char>(24, 0), std::vector<unsigned char>(image.pixels(), image.pixels() + 24));
}

TEST_F(MayaImage, ReadsFourBytePixelsAsBlueGreenRedAlphaBottomRowFirst)
{
    MImage image;
    ASSERT_TRUE(image.create(2, 2));
    const unsigned char hostRows[] = {
        1, 2, 3, 4,     5, 6, 7, 8,     // bottom row
        11, 12, 13, 14, 15, 16, 17, 18  // top row
    };
    std::memcpy(image.pixels(), hostRows, sizeof hostRows);

    EXPECT_EQ(bytes({13, 12, 11, 14, 17, 16, 15, 18, 3, 2, 1, 4, 7, 6, 5, 8}),
              mayastandin::topDownRgba(image));
}

TEST_F(MayaImage, ReadsNarrowerPixelsAsGreyOrBlueGreenRed)
{
    MImage grey, greyAlpha, colour;
    ASSERT_TRUE(grey.create(1, 2, 1));
    ASSERT_TRUE(greyAlpha.create(1, 1, 2));
    ASSERT_TRUE(colour.create(1, 1, 3));
    grey.pixels()[0] = 7;  // bottom
    grey.pixels()[1] = 9;  // top
    greyAlpha.pixels()[0] = 40;
    greyAlpha.pixels()[1] = 41;
    std::memcpy(colour.pixels(), "\x01\x02\x03", 3);

    EXPECT_EQ(bytes({9, 9, 9, 255, 7, 7, 7, 255}), mayastandin::topDownRgba(grey));
    EXPECT_EQ(bytes({40, 40, 40, 41}), mayastandin::topDownRgba(greyAlpha));
    EXPECT_EQ(bytes({3, 2, 1, 255}), mayastandin::topDownRgba(colour));
    EXPECT_TRUE(mayastandin::topDownRgba(MImage()).empty());
}

TEST_F(MayaImage, RefusedCreateKeepsThePreviousImage)
{
    MImage image;
    ASSERT_TRUE(image.create(2, 1, 4));
    image.pixels()[0] = 99;

    EXPECT_EQ(MStatus::kInvalidParameter, image.create(0, 5).statusCode());
    EXPECT_EQ(MStatus::kInvalidParameter, image.create(5, 0).statusCode());
    EXPECT_EQ(MStatus::kInvalidParameter, image.create(1, 1, 0).statusCode());
    EXPECT_EQ(MStatus::kInvalidParameter, image.create(1, 1, 5).statusCode());
    EXPECT_EQ(MStatus::kInvalidParameter, image.create(1, 1, 4, MImage::kUnknown).statusCode());
    EXPECT_EQ(MStatus::kNotImplemented, image.create(1, 1, 4, MImage::kFloat).statusCode());
    // What a damaged header could ask for: refused, not attempted.
    EXPECT_EQ(MStatus::kInsufficientMemory, image.create(65535, 65535, 4).statusCode());
    mayastandin::failNextCall("MImage::create", MStatus::kFailure);
    EXPECT_EQ(MStatus::kFailure, image.create(1, 1).statusCode());

    unsigned int width = 0, height = 0;
    image.getSize(width, height);
    EXPECT_EQ(2u, width);
    EXPECT_EQ(1u, height);
    EXPECT_EQ(99, image.pixels()[0]);
}

TEST_F(MayaImage, CreateAgainReplacesTheImage)
{
    MImage image;
    ASSERT_TRUE(image.create(2, 2, 4));
    ASSERT_TRUE(image.create(5, 1, 1));

    mayastandin::ImageView view = mayastandin::view(image);
    EXPECT_EQ(5u, view.width);
    EXPECT_EQ(1u, view.height);
    EXPECT_EQ(1u, view.channels);
    EXPECT_EQ(20u, mayastandin::topDownRgba(image).size());
}

}  // namespace
