// Image loaders of the tests' own: each recognises a fixed signature, logs
// its probes, reads and writes, and accepts a fixed set of formats.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "lum/LLoader.h"

struct LoaderLog {
  std::vector<std::string> events;
  void Add(const std::string& event) { events.push_back(event); }
};

class FakeImageLoader : public lum::LLoader_Image {
 public:
  FakeImageLoader(int key, std::string signature, std::set<int> writable, LoaderLog* log)
      : m_key(key), m_signature(std::move(signature)), m_writable(std::move(writable)), m_log(log) {}
  ~FakeImageLoader() noexcept(false) override { Log("delete"); }

  bool ReadInfo(kor::IInputStream& stream, lum::LData_Image& data, const lum::LImageSaveOptions* options) override {
    Log("info");
    return Fill(stream, data, options);
  }
  bool Read(kor::IInputStream& stream, lum::LData_Image& data, const lum::LImageSaveOptions* options) override {
    Log("read");
    return Fill(stream, data, options);
  }
  bool Write(kor::IOutputStream&, lum::LData_Image&, const lum::LImageSaveOptions* options) override {
    Log(options ? "write with options" : "write");
    return true;
  }
  // Reads the signature's length and steps back by the same count, as
  // real loaders do.
  bool CanRead(kor::IInputStream& stream) override {
    Log("probe@" + std::to_string(stream.GetPosition()));
    std::string head(m_signature.size(), '\0');
    stream.Serialize(&head[0], head.size());
    stream.SeekBackward(static_cast<int64_t>(head.size()));
    return head == m_signature;
  }
  bool CanWrite(int format) override { return m_writable.count(format) != 0; }

  // The format a read reports.
  int readFormat = lum::TEXTURE_FORMAT_X8B8G8R8;

 private:
  bool Fill(kor::IInputStream& stream, lum::LData_Image& data, const lum::LImageSaveOptions* options) {
    if (options != nullptr) Log("options given to a reader");
    if (stream.GetPosition() != 0) Log("reader not at the start");
    data.format = readFormat;
    data.SetImageData(new lum::LData_ImagePart(1, 1));
    return true;
  }
  void Log(const std::string& what) {
    if (m_log) m_log->Add(std::to_string(m_key) + " " + what);
  }

  int m_key;
  std::string m_signature;
  std::set<int> m_writable;
  LoaderLog* m_log;
};
