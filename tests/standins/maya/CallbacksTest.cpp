#include "StandinTest.h"

#include <maya/MSceneMessage.h>

namespace {

const MSceneMessage::Message kOtherMessage = static_cast<MSceneMessage::Message>(3);

std::vector<int> g_calls;
std::vector<MCallbackId> g_toRemove;

void record(void* clientData)
{
    g_calls.push_back(*static_cast<int*>(clientData));
}

void recordAndRemove(void* clientData)
{
    record(clientData);
    for (MCallbackId id : g_toRemove)
        MMessage::removeCallback(id);
}

class MayaCallbacks : public StandinTest
{
protected:
    void SetUp() override
    {
        StandinTest::SetUp();
        g_calls.clear();
        g_toRemove.clear();
    }
    int one = 1, two = 2, three = 3;
};

TEST_F(MayaCallbacks, CallsTheCallbacksOfTheMessageInOrderWithTheirData)
{
    MStatus status = MStatus::kFailure;
    MCallbackId a = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &one, &status);
    EXPECT_TRUE(status);
    MCallbackId b = MSceneMessage::addCallback(kOtherMessage, record, &two);
    MCallbackId c = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &three);
    EXPECT_NE(0u, a);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(3u, mayastandin::callbackCount());

    EXPECT_EQ(2u, mayastandin::fireSceneMessage(MSceneMessage::kMayaExiting));
    EXPECT_EQ((std::vector<int>{1, 3}), g_calls);
}

TEST_F(MayaCallbacks, RemovedCallbacksAreNotCalledAndRemoveTwiceFails)
{
    MCallbackId a = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &one);
    MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &two);

    EXPECT_TRUE(MMessage::removeCallback(a));
    EXPECT_EQ(MStatus::kFailure, MMessage::removeCallback(a).statusCode());
    EXPECT_EQ(MStatus::kFailure, MMessage::removeCallback(0).statusCode());
    mayastandin::fireSceneMessage(MSceneMessage::kMayaExiting);
    EXPECT_EQ(std::vector<int>{2}, g_calls);
}

TEST_F(MayaCallbacks, CallbackMayRemoveItselfAndLaterOnesWhileFiring)
{
    MCallbackId a = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, recordAndRemove, &one);
    MCallbackId b = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &two);
    MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &three);
    g_toRemove = {a, b};

    EXPECT_EQ(2u, mayastandin::fireSceneMessage(MSceneMessage::kMayaExiting));
    EXPECT_EQ((std::vector<int>{1, 3}), g_calls);
    EXPECT_EQ(1u, mayastandin::callbackCount());
}

TEST_F(MayaCallbacks, ExitNotificationIsSentOnceUntilReset)
{
    MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &one);
    MSceneMessage::addCallback(kOtherMessage, record, &two);

    EXPECT_EQ(1u, mayastandin::notifyExit());
    EXPECT_EQ(0u, mayastandin::notifyExit());
    EXPECT_EQ(std::vector<int>{1}, g_calls);

    mayastandin::reset();
    MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &three);
    EXPECT_EQ(1u, mayastandin::notifyExit());
}

TEST_F(MayaCallbacks, RefusedRequestsReturnNoId)
{
    MStatus status;
    EXPECT_EQ(0u, MSceneMessage::addCallback(MSceneMessage::kMayaExiting, nullptr, &one, &status));
    EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());

    ASSERT_TRUE(mayastandin::failNextCall("MSceneMessage::addCallback", MStatus::kFailure));
    EXPECT_EQ(0u, MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &one, &status));
    EXPECT_EQ(MStatus::kFailure, status.statusCode());
    EXPECT_EQ(0u, mayastandin::callbackCount());
}

TEST_F(MayaCallbacks, IdsFromBeforeResetStayUnknown)
{
    MCallbackId old = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &one);
    mayastandin::reset();
    MCallbackId fresh = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, record, &two);

    EXPECT_NE(old, fresh);
    EXPECT_FALSE(MMessage::removeCallback(old));
    EXPECT_EQ(1u, mayastandin::callbackCount());
}

}  // namespace
