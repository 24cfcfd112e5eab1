#include "StandinTest.h"

#include <maya/MGlobal.h>

namespace {

using mayastandin::Message;
using mayastandin::MessageKind;

class MayaMessages : public StandinTest
{
};

TEST_F(MayaMessages, CollectsDisplayCallsInOrderWithTheirKind)
{
    MGlobal::displayInfo("one");
    MGlobal::displayError("two\r\n");
    MGlobal::displayWarning("three");

    EXPECT_EQ(3u, mayastandin::messages().size());  // looking does not empty the list
    std::vector<Message> taken = mayastandin::takeMessages();
    ASSERT_EQ(3u, taken.size());
    EXPECT_EQ(MessageKind::Info, taken[0].kind);
    EXPECT_EQ("one", taken[0].text);
    EXPECT_EQ(MessageKind::Error, taken[1].kind);
    EXPECT_EQ("two\r\n", taken[1].text);
    EXPECT_EQ(MessageKind::Warning, taken[2].kind);
    EXPECT_TRUE(mayastandin::takeMessages().empty());
}

TEST_F(MayaMessages, FormatsAsTheHostShowsThem)
{
    EXPECT_EQ("// text", mayastandin::formatMessage({MessageKind::Info, "text"}));
    EXPECT_EQ("// Warning: text", mayastandin::formatMessage({MessageKind::Warning, "text"}));
    EXPECT_EQ("// Error: text", mayastandin::formatMessage({MessageKind::Error, "text"}));
    EXPECT_EQ("// Error: a\r\nb", mayastandin::formatMessage({MessageKind::Error, "a\r\nb\r\n"}));
    EXPECT_EQ("// ", mayastandin::formatMessage({MessageKind::Info, "\r\n"}));
}

TEST_F(MayaMessages, EchoesToStderrOneLinePerCallSkippingBareLineBreaks)
{
    mayastandin::setEchoToStderr(true);
    testing::internal::CaptureStderr();
    MGlobal::displayWarning("careful");
    MGlobal::displayInfo("\r\n");
    MGlobal::displayError("broken\r\n");
    EXPECT_EQ("// Warning: careful\n// Error: broken\n", testing::internal::GetCapturedStderr());

    mayastandin::setEchoToStderr(false);
    testing::internal::CaptureStderr();
    MGlobal::displayError("quiet");
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(4u, mayastandin::messages().size());
}

}  // namespace
