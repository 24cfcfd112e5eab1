#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "RecordingSink.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageHold.h"
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

// What a thread holds reaches the listeners only when replayed, decorated
// as if it had been written then, each channel's messages in the order of
// all: the warnings channel splits lines, the plain one passes them on.
TEST(MessageHold, ReplaysWhatItHeldInOrderAsTheChannelsDecorateIt) {
  Calls log;
  RecordingSink warnings("w", &log), plain("p", &log);
  UMessageChannel channel7(kor::ChannelKindOf(7)), channel3(kor::ChannelKindOf(3));
  channel7.AddListener(&warnings);
  channel3.AddListener(&plain);
  kor::UMessageHold hold;
  {
    kor::UMessageHold::Scope scope(hold);
    Send(channel7, "a\r\nb");
    Send(channel3, "c");
    channel7.BeginMessage();  // pieces of one message stay pieces
    channel7.Write("d");
    channel7.Write("");
    channel7.Write("e");
    channel7.EndMessage();
    EXPECT_FALSE(channel7.IsMessageOpen());
  }
  EXPECT_EQ(Calls(), log);
  EXPECT_EQ(3, hold.GetMessageNum());
  Send(channel3, "direct");
  hold.Replay();
  EXPECT_EQ(0, hold.GetMessageNum());
  hold.Replay();
  EXPECT_EQ((Calls{"p.Begin", "p.Write:direct", "p.Write:\r\n", "p.End",
                   "w.Begin", "w.Write:WARNING: ", "w.Write:a\r\n", "w.Write:         ", "w.Write:b",
                   "w.Write:\r\n", "w.End", "p.Begin", "p.Write:c", "p.Write:\r\n", "p.End",
                   "w.Begin", "w.Write:WARNING: ", "w.Write:d", "w.Write:", "w.Write:e", "w.Write:\r\n", "w.End"}),
            log);
}

// A message written while another is open on another channel reaches its
// listeners first, as its text would have without the hold.
TEST(MessageHold, AMessageWrittenInsideAnotherComesFirst) {
  Calls log;
  RecordingSink a("a", &log), b("b", &log);
  UMessageChannel outer(kor::ChannelKindOf(1)), inner(kor::ChannelKindOf(3));
  outer.AddListener(&a);
  inner.AddListener(&b);
  kor::UMessageHold hold;
  {
    kor::UMessageHold::Scope scope(hold);
    UMessageWriter writer(&outer, "outer");
    Send(inner, "inner");
  }
  EXPECT_EQ(2, hold.GetMessageNum());
  hold.Replay();
  EXPECT_EQ((Calls{"b.Begin", "b.Write:inner", "b.Write:\r\n", "b.End", "a.Begin", "a.Write:outer", "a.Write:\r\n",
                   "a.End"}),
            log);
}

// Scopes nest: the innermost holds, and a hold replayed inside another's
// scope passes its messages on to that one.
TEST(MessageHold, TheInnermostScopeHolds) {
  UMessageChannel channel(kor::ChannelKindOf(1));
  RecordingSink sink;
  channel.AddListener(&sink);
  kor::UMessageHold outer, inner;
  {
    kor::UMessageHold::Scope outerScope(outer);
    Send(channel, "1");
    {
      kor::UMessageHold::Scope innerScope(inner);
      EXPECT_EQ(&inner, kor::UMessageHold::Current());
      Send(channel, "2");
    }
    EXPECT_EQ(&outer, kor::UMessageHold::Current());
    inner.Replay();
  }
  EXPECT_EQ(nullptr, kor::UMessageHold::Current());
  EXPECT_EQ(0, inner.GetMessageNum());
  EXPECT_EQ(Calls(), sink.Calls());
  outer.Replay();
  EXPECT_EQ("1\r\n2\r\n", sink.Text());
}

// Threads that hold their messages write to the same channel as the thread
// that replays them; the listener hears everything on the replaying thread,
// every held message after the direct ones, each thread's in its order.
TEST(MessageHold, MessagesHeldOnOtherThreadsReachListenersOnTheReplayingOne) {
  struct ThreadSink : RecordingSink {
    std::thread::id expected = std::this_thread::get_id();
    int foreign = 0;
    void BeginMessage() override {
      foreign += std::this_thread::get_id() != expected;
      RecordingSink::BeginMessage();
    }
  } sink;
  UMessageChannel channel(kor::ChannelKindOf(1));
  channel.AddListener(&sink);
  enum { THREADS = 3, MESSAGES = 50 };
  kor::UMessageHold holds[THREADS];
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t)
    threads.emplace_back([&channel, &holds, t] {
      kor::UMessageHold::Scope scope(holds[t]);
      for (int m = 0; m < MESSAGES; ++m) UMessageWriter(&channel, "") << t << "." << m;
    });
  for (int m = 0; m < MESSAGES; ++m) Send(channel, "x");
  for (std::thread& thread : threads) thread.join();
  for (kor::UMessageHold& hold : holds) hold.Replay();
  EXPECT_EQ(0, sink.foreign);
  std::string expected;
  for (int m = 0; m < MESSAGES; ++m) expected += "x\r\n";
  for (int t = 0; t < THREADS; ++t)
    for (int m = 0; m < MESSAGES; ++m) expected += std::to_string(t) + "." + std::to_string(m) + "\r\n";
  EXPECT_EQ(expected, sink.Text());
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
