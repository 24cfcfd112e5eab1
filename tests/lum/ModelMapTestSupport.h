// What the model and map loader tests share: services of the test's own
// with channel 7 recorded, named input streams and output streams that
// collect bytes or give out after a number of them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"

typedef std::vector<unsigned char> Bytes;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

class NamedInput : public kor::UStream_Memory {
 public:
  NamedInput(const Bytes& bytes, const char* name) : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name) {}
  kor::UString GetName() override { return kor::UString(m_name.c_str()); }

 private:
  std::string m_name;
};

// Takes at most limit bytes in all; a write beyond that comes back short.
class CollectingOutput : public kor::IOutputStream {
 public:
  explicit CollectingOutput(size_t limit = SIZE_MAX) : m_limit(limit) {}
  uint64_t Serialize(const void* buffer, uint64_t size) override {
    size_t room = m_limit - bytes.size();
    size_t taken = size < room ? static_cast<size_t>(size) : room;
    const unsigned char* from = static_cast<const unsigned char*>(buffer);
    bytes.insert(bytes.end(), from, from + taken);
    return taken;
  }
  void Close() override {}
  bool IsOpen() override { return true; }
  kor::UString GetName() override { return kor::UString("out"); }
  void Flush() override {}

  Bytes bytes;

 private:
  size_t m_limit;
};

// The text channel 7 delivers for a message about file name.
inline std::string CantHandle(const std::string& name, const std::string& ending) {
  return "WARNING: Can't handle file \"" + name + ending + "\r\n";
}

// Every test runs in services of its own with channel 7 recorded.
class LoaderFixture : public ::testing::Test {
 protected:
  LoaderFixture() : m_sink(new RecordingSink), m_services(new ScopedTestServices) {
    m_services->Services().GetChannel(7)->AddListener(m_sink.get());
  }
  ~LoaderFixture() override { m_services->Services().GetChannel(7)->RemoveListener(m_sink.get()); }

  std::string TakeMessages() {
    std::string text = m_sink->Text();
    m_sink->Clear();
    return text;
  }

 private:
  // Held by pointer: their destructors may raise, the fixture's may not.
  std::unique_ptr<RecordingSink> m_sink;
  std::unique_ptr<ScopedTestServices> m_services;
};
