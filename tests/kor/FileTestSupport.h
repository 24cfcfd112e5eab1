// What the file and archive tests share: services of their own whose
// warning channel is recorded, a fresh scratch directory per test, and
// plain POSIX helpers that check results independently of the code under
// test.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "TestServices.h"
#include "ZipBuilder.h"

inline kor::UString Text(const std::string& text) { return kor::UString(text.c_str()); }

// Test services, initialised so that channel 7 reaches slot 7, where a
// recording sink listens.
class RecordedWarnings {
 public:
  RecordedWarnings() {
    m_scope.Services().Init(4096);
    m_previous = m_scope.Services().SetOutputSink(7, &m_sink);
  }
  ~RecordedWarnings() { m_scope.Services().SetOutputSink(7, m_previous); }

  // The texts of the messages, without the warning channel's frame
  // ("WARNING: " before, "\r\n" after).
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const std::string& call : m_sink.Calls()) {
      if (call == "Begin") messages.emplace_back();
      else if (call.compare(0, 6, "Write:") == 0 && !messages.empty()) messages.back() += call.substr(6);
    }
    for (std::string& message : messages) {
      if (message.compare(0, 9, "WARNING: ") == 0) message.erase(0, 9);
      if (message.size() >= 2 && message.compare(message.size() - 2, 2, "\r\n") == 0)
        message.resize(message.size() - 2);
    }
    return messages;
  }
  void Clear() { m_sink.Clear(); }

 private:
  ScopedTestServices m_scope;
  RecordingSink m_sink;
  kor::IMessageSink* m_previous;
};

inline void RemoveTree(const std::string& path) {
  nftw(path.c_str(),
       [](const char* entry, const struct stat*, int, struct FTW*) { return std::remove(entry); },
       16, FTW_DEPTH | FTW_PHYS);
}

inline std::string MakeScratch(const std::string& base) {
  std::string pattern = base + "/kor-files-XXXXXX";
  return mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// A pattern of the given length that no two nearby offsets share.
inline std::string Pattern(size_t length) {
  std::string text(length, '\0');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return text;
}

// A scratch directory under TMPDIR (or /tmp), removed afterwards, with
// recorded warnings.
class ScratchTest : public ::testing::Test {
 protected:
  // The members' destructors may raise; a test fixture's may not.
  ~ScratchTest() noexcept override {}
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    m_dir = MakeScratch(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    ASSERT_FALSE(m_dir.empty()) << "cannot create a scratch directory";
  }
  void TearDown() override {
    if (!m_dir.empty()) RemoveTree(m_dir);
  }

  std::string Path(const std::string& name) const { return m_dir + "/" + name; }

  RecordedWarnings m_warnings;
  std::string m_dir;
};
