// Core services for a command-line program: the system's messages go to
// stderr, one line per message.
#pragma once

#include <cstdio>

#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/CoreServices/Interfaces/IMessageSink.h"

class StderrSink : public kor::IMessageSink {
 public:
  void Lock() override {}
  void Unlock() override {}
  void BeginMessage() override {}
  void Write(const kor::UBaseString<unsigned char>& text) override {
    std::fputs(text.GetText(), stderr);
  }
  void EndMessage() override { std::fflush(stderr); }
};

// Installs initialised services whose every channel reaches stderr, for
// the lifetime of the object.
class ConsoleServices {
 public:
  ConsoleServices();
  ~ConsoleServices();
  kor::ICoreServices& Services() { return *m_services; }

 private:
  static kor::ICoreServices* Accessor();
  kor::ICoreServices* m_services;
  kor::CoreServicesAccessor m_previous;
  kor::IMessageSink* m_previousSink;
  StderrSink m_sink;
};
