#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingSink.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Implementations/UOutputSlot.h"

using kor::UMessageChannel;
using kor::UMessageWriter;
typedef std::vector<std::string> Calls;

namespace {

void Send(UMessageChannel& channel, const char* text) { UMessageWriter(&channel, text); }

}  // namespace

TEST(MessageChannel, WarningsArePrefixedAndContinuationLinesIndented) {
  UMessageChannel channel(kor::ChannelKindOf(7));
  RecordingSink sink;
  channel.AddListener(&sink);
  Send(channel, "a\r\nb");
  EXPECT_EQ((Calls{"Begin", "Write:WARNING: ", "Write:a\r\n", "Write:         ", "Write:b",
                   "Write:\r\n", "End"}),
            sink.Calls());
}

TEST(MessageChannel, DebugTextEndingInALineBreakGetsAnEmptyLastPiece) {
  UMessageChannel channel(kor::ChannelKindOf(2));
  RecordingSink sink;
  channel.AddListener(&sink);
  Send(channel, "x\r\n");
  EXPECT_EQ((Calls{"Begin", "Write:DEBUG:   ", "Write:x\r\n", "Write:         ", "Write:",
                   "Write:\r\n", "End"}),
            sink.Calls());
}

TEST(MessageChannel, LoneCarriageReturnsAndLineFeedsDoNotSplit) {
  UMessageChannel channel(kor::ChannelKindOf(7));
  RecordingSink sink;
  channel.AddListener(&sink);
  Send(channel, "a\rb\nc\r");
  EXPECT_EQ("WARNING: a\rb\nc\r\r\n", sink.Text());
}

TEST(MessageChannel, PlainChannelsPassTextUnchangedAndCloseTheLine) {
  for (int number : {1, 3, 4, 5, 6}) {
    UMessageChannel channel(kor::ChannelKindOf(number));
    RecordingSink sink;
    channel.AddListener(&sink);
    Send(channel, "one\r\ntwo");
    EXPECT_EQ((Calls{"Begin", "Write:one\r\ntwo", "Write:\r\n", "End"}), sink.Calls()) << number;
  }
}

TEST(MessageChannel, DiscardChannelDropsTextButStillLocks) {
  UMessageChannel channel(kor::ChannelKindOf(0));
  EXPECT_EQ(kor::CHANNEL_KIND_DISCARD, kor::ChannelKindOf(-1));
  EXPECT_EQ(kor::CHANNEL_KIND_DISCARD, kor::ChannelKindOf(8));
  RecordingSink sink;
  channel.AddListener(&sink);
  channel.BeginMessage();
  EXPECT_TRUE(channel.IsMessageOpen());
  channel.Write("lost");
  channel.EndMessage();
  EXPECT_FALSE(channel.IsMessageOpen());
  EXPECT_EQ((Calls{"Begin", "End"}), sink.Calls());
}

TEST(MessageChannel, ListenersHearInIndexOrderAndAtMostFour) {
  Calls log;
  RecordingSink a("a", &log), b("b", &log), c("c", &log), d("d", &log), e("e", &log);
  UMessageChannel channel(kor::ChannelKindOf(1));
  EXPECT_EQ(0, channel.AddListener(&a));
  EXPECT_EQ(1, channel.AddListener(&b));
  EXPECT_EQ(2, channel.AddListener(&c));
  EXPECT_EQ(3, channel.AddListener(&d));
  EXPECT_EQ(-1, channel.AddListener(&e));
  EXPECT_EQ(4, channel.GetListenerNum());

  EXPECT_EQ(&b, channel.RemoveListener(&b));
  EXPECT_EQ(nullptr, channel.RemoveListener(&e));
  EXPECT_EQ(nullptr, channel.RemoveListenerAt(3));
  EXPECT_EQ(&c, channel.GetListener(1));
  EXPECT_EQ(&d, channel.RemoveListenerAt(2));
  Send(channel, "t");
  EXPECT_EQ((Calls{"a.Begin", "c.Begin", "a.Write:t", "c.Write:t", "a.Write:\r\n", "c.Write:\r\n",
                   "a.End", "c.End"}),
            log);
}

TEST(MessageChannel, DestroyingAnOpenChannelClosesTheMessage) {
  RecordingSink sink;
  {
    UMessageChannel channel(kor::ChannelKindOf(3));
    channel.AddListener(&sink);
    channel.BeginMessage();
  }
  EXPECT_EQ((Calls{"Begin", "End"}), sink.Calls());
}

TEST(MessageWriter, DeliversOneWriteWithNumbersAndStopsAfterFinish) {
  UMessageChannel channel(kor::ChannelKindOf(1));
  RecordingSink sink;
  channel.AddListener(&sink);
  {
    UMessageWriter writer(&channel, "n=");
    writer << -5 << " u=" << 7u << " big=" << static_cast<uint64_t>(1) << 40 << " d=" << 0.5;
    EXPECT_TRUE(channel.IsMessageOpen());
    writer.Finish();
    writer << "ignored";
  }
  EXPECT_EQ((Calls{"Begin", "Write:n=-5 u=7 big=140 d=0.5000", "Write:\r\n", "End"}), sink.Calls());
}

TEST(MessageWriter, FinishesWhenAnExceptionLeavesItsScope) {
  UMessageChannel channel(kor::ChannelKindOf(1));
  RecordingSink sink;
  channel.AddListener(&sink);
  try {
    UMessageWriter writer(&channel, "partial");
    throw 1;
  } catch (int) {
  }
  EXPECT_FALSE(channel.IsMessageOpen());
  EXPECT_EQ((Calls{"Begin", "Write:partial", "Write:\r\n", "End"}), sink.Calls());
}

TEST(OutputSlot, ForwardsToItsSinkAndHandsBackThePrevious) {
  kor::UOutputSlot slot;
  RecordingSink first, second;
  slot.BeginMessage();  // nothing attached: dropped
  EXPECT_EQ(nullptr, slot.Attach(&first));
  slot.BeginMessage();
  slot.Write("x");
  slot.EndMessage();
  EXPECT_EQ(&first, slot.Attach(&second));
  EXPECT_EQ(&second, slot.GetSink());
  EXPECT_EQ((Calls{"Begin", "Write:x", "End"}), first.Calls());
  EXPECT_EQ(&second, slot.Attach(nullptr));
}

TEST(OutputSlot, EightProcessWideSlots) {
  for (int i = 0; i < 8; ++i) EXPECT_NE(nullptr, kor::GetProcessOutputSlot(i));
  EXPECT_EQ(nullptr, kor::GetProcessOutputSlot(8));
  EXPECT_EQ(nullptr, kor::GetProcessOutputSlot(-1));
  EXPECT_NE(kor::GetProcessOutputSlot(1), kor::GetProcessOutputSlot(2));
}
