// The plug-in's three host displays as threads reach them at once.
#include <gtest/gtest.h>

#include <mayastandin/Host.h>

#include <string>
#include <thread>
#include <vector>

#include "quarn/Platform/Maya/HHostSinks.h"

namespace {

using quarn::platform_maya::HHostSink;

// A message in three pieces, as a channel writes one.
void SendInPieces(HHostSink& sink, const std::string& name) {
  sink.BeginMessage();
  sink.Write(kor::UBaseString<unsigned char>((name + " begins").c_str()));
  sink.Write(kor::UBaseString<unsigned char>((name + " ends").c_str()));
  sink.Write(kor::UBaseString<unsigned char>("\r\n"));
  sink.EndMessage();
}

}  // namespace

// Information, warnings and errors from different threads reach the host one
// whole message at a time.
TEST(HostDisplay, MessagesFromThreadsNeverInterleave) {
  mayastandin::setEchoToStderr(false);
  mayastandin::takeMessages();
  HHostSink* sinks[] = {&quarn::platform_maya::HostInfoSink(),
                        &quarn::platform_maya::HostWarningSink(),
                        &quarn::platform_maya::HostErrorSink(),
                        &quarn::platform_maya::HostInfoSink()};
  const int kMessages = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kMessages; ++i)
        SendInPieces(*sinks[t], "t" + std::to_string(t) + "." + std::to_string(i));
    });
  for (std::thread& thread : threads) thread.join();
  std::vector<mayastandin::Message> shown = mayastandin::takeMessages();
  mayastandin::setEchoToStderr(true);

  ASSERT_EQ(4u * kMessages * 3, shown.size());
  for (size_t i = 0; i < shown.size(); i += 3) {
    const std::string& first = shown[i].text;
    ASSERT_EQ(" begins", first.substr(first.size() - 7)) << "piece " << i;
    std::string name = first.substr(0, first.size() - 7);
    ASSERT_EQ(name + " ends", shown[i + 1].text) << "piece " << i + 1;
    ASSERT_EQ("\r\n", shown[i + 2].text) << "piece " << i + 2;
    ASSERT_EQ(shown[i].kind, shown[i + 1].kind);
  }
}
