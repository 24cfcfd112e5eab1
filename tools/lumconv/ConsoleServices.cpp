#include "ConsoleServices.h"

#include <stdexcept>

#include "kor/Utils/UMemory.h"

namespace {
kor::ICoreServices* g_console = nullptr;
// Every channel but the discarding one reaches output slot 1.
const int kEverythingSlot = 1;
}  // namespace

ConsoleServices::ConsoleServices() : m_services(kor::CreateCoreServices_Default(4096)) {
  if (m_services == nullptr) throw std::runtime_error("unable to create the core services");
  g_console = m_services;
  m_previous = kor::SetCoreServicesAccessor(&Accessor);
  m_previousSink = m_services->SetOutputSink(kEverythingSlot, &m_sink);
}

ConsoleServices::~ConsoleServices() {
  m_services->SetOutputSink(kEverythingSlot, m_previousSink);
  kor::SetCoreServicesAccessor(m_previous);
  g_console = nullptr;
  kor::DeleteObject(m_services);
}

kor::ICoreServices* ConsoleServices::Accessor() { return g_console; }
