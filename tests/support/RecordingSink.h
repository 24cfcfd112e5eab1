// A message sink that records every call it receives, for checking what
// channels and slots deliver.
#pragma once

#include <string>
#include <vector>

#include "kor/CoreServices/Interfaces/IMessageSink.h"

class RecordingSink : public kor::IMessageSink {
 public:
  explicit RecordingSink(std::string name = "", std::vector<std::string>* sharedLog = nullptr)
      : m_name(std::move(name)), m_log(sharedLog ? sharedLog : &m_ownLog) {}

  void Lock() override { Record("Lock"); }
  void Unlock() override { Record("Unlock"); }
  void BeginMessage() override { Record("Begin"); }
  void Write(const kor::UBaseString<unsigned char>& text) override {
    Record(std::string("Write:") + text.GetText());
  }
  void EndMessage() override { Record("End"); }

  const std::vector<std::string>& Calls() const { return *m_log; }

  // The text of all writes since the last Clear, joined.
  std::string Text() const {
    std::string text;
    for (const std::string& call : *m_log) {
      size_t colon = call.find("Write:");
      if (colon != std::string::npos) text += call.substr(colon + 6);
    }
    return text;
  }
  void Clear() { m_log->clear(); }

 private:
  void Record(const std::string& call) { m_log->push_back(m_name.empty() ? call : m_name + "." + call); }

  std::string m_name;
  std::vector<std::string> m_ownLog;
  std::vector<std::string>* m_log;
};
