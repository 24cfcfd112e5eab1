#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MayaBasicTypes, StringsJoinAndCopyIndependently)
{
    MString text("ab");
    text += text;  // appending to itself reads the old characters
    EXPECT_EQ("abab", std::string(text.asChar()));
    EXPECT_EQ(4u, text.length());

    MString copy = text;
    copy += "!";
    EXPECT_EQ("abab", std::string(text.asChar()));
    EXPECT_EQ("<abab!>", std::string(("<" + copy + ">").asChar()));
    EXPECT_EQ("abab!?", std::string((copy + MString("?")).asChar()));

    MString none(nullptr);
    none += static_cast<const char*>(nullptr);
    EXPECT_EQ("", std::string(none.asChar()));
    EXPECT_EQ(0u, none.length());
    EXPECT_TRUE(MString() == "");
    EXPECT_TRUE(text != copy);
}

TEST(MayaBasicTypes, StringArrayKeepsOrderAndGuardsItsEnd)
{
    MStringArray strings;
    EXPECT_TRUE(strings.append("jng"));
    EXPECT_TRUE(strings.append("png"));
    MStringArray copy = strings;
    copy.append("tga");

    ASSERT_EQ(2u, strings.length());
    EXPECT_EQ("png", std::string(strings[1].asChar()));
    EXPECT_EQ("", std::string(strings[2].asChar()));
    EXPECT_EQ(3u, copy.length());
}

TEST(MayaBasicTypes, StatusIsTrueOnlyOnSuccess)
{
    MStatus fine;
    MStatus broken(MStatus::kNotFound);
    EXPECT_TRUE(fine);
    EXPECT_FALSE(fine.error());
    EXPECT_FALSE(broken);
    EXPECT_TRUE(broken.error());
    EXPECT_TRUE(broken == MStatus::kNotFound);
    EXPECT_TRUE(broken != MStatus::kFailure);
    EXPECT_TRUE(broken != fine);
    EXPECT_EQ(8, static_cast<int>(MStatus::kEndOfFile));
}

}  // namespace
