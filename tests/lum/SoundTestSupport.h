// What the sound loader tests share: the fixtures made by
// sounds/make-fixtures.sh, named memory streams, and one loader run in
// services of the test's own with channel 7 recorded.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/LLoader.h"
#include "lum/Sound/LData_Sound.h"

typedef std::vector<unsigned char> Bytes;

inline Bytes ReadFixture(const std::string& name) {
  std::ifstream file(std::string(LUM_SOUND_FIXTURES) + "/" + name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class NamedStream : public kor::UStream_Memory {
 public:
  NamedStream(const Bytes& bytes, const std::string& name)
      : kor::UStream_Memory(bytes.data(), bytes.size()), m_name(name) {}
  kor::UBaseString<unsigned char> GetName() override { return kor::UBaseString<unsigned char>(m_name.c_str()); }

 private:
  std::string m_name;
};

// One Read (or ReadInfo), copied out of the record.
struct SoundRun {
  bool ok = false;
  int format = -1;
  int frequency = 0;
  uint32_t frames = 0;
  Bytes samples;
  std::string messages;  // what channel 7 delivered
  int64_t blocksLeft = 0;  // pool blocks still held once the record is gone (without messages)
};

inline SoundRun RunLoader(lum::LLoader_Sound& loader, const Bytes& file, const std::string& name = "sound",
                          bool infoOnly = false) {
  SoundRun result;
  RecordingSink sink;
  {
    // Held by pointer: the services' destructor may raise.
    std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
    services->Services().GetChannel(7)->AddListener(&sink);
    int64_t before = services->Pool().m_currentAllocations;
    int64_t copies = 0;
    {
      lum::LData_Sound record;
      NamedStream stream(file, name);
      result.ok = infoOnly ? loader.ReadInfo(stream, record, nullptr) : loader.Read(stream, record, nullptr);
      result.format = record.format;
      result.frequency = record.frequency;
      result.frames = record.frameCount;
      if (record.samples != nullptr) {
        int64_t beforeCopy = services->Pool().m_currentAllocations;
        result.samples.assign(record.samples, record.samples + record.sampleByteNum);
        copies = services->Pool().m_currentAllocations - beforeCopy;
      }
    }
    result.blocksLeft = services->Pool().m_currentAllocations - before - copies;
    services->Services().GetChannel(7)->RemoveListener(&sink);
  }
  result.messages = sink.Text();
  return result;
}

// The text channel 7 delivers for one message.
inline std::string Warning(const std::string& text) { return "WARNING: " + text + "\r\n"; }
