#include "kor/CoreServices/Implementations/UFileReplacement.h"

#include "kor/Utils/UMemory.h"

namespace kor {

namespace {

// Other writers of the same target, or files left by a crash, may hold the
// first names; each try creates its file exclusively.
const int NAME_TRIES = 100;

}  // namespace

UFileReplacement::UFileReplacement(IFileSystem& files, const UBaseString<unsigned char>& target)
    : m_files(files), m_target(target), m_writer(nullptr) {
  for (int attempt = 0; attempt < NAME_TRIES && m_writer == nullptr; ++attempt) {
    m_temporary = target;
    m_temporary.Append(".");
    m_temporary.Append(UBaseString<unsigned char>::FromInt(attempt));
    m_temporary.Append(".tmp");
    m_writer = files.CreateFileWriter(m_temporary, false, false);
  }
  if (m_writer == nullptr) m_temporary.Clear();
}

UFileReplacement::~UFileReplacement() {
  // Cleaning up may run while an exception leaves the writing code; a
  // second one here would end the program.
  try {
    Discard();
  } catch (...) {
  }
}

bool UFileReplacement::Commit() {
  if (m_writer == nullptr) return false;
  bool written = m_files.CloseFileWriter(*m_writer);
  DeleteObject(m_writer);
  m_writer = nullptr;
  if (written && m_files.Move(m_target, m_temporary, true, nullptr)) {
    m_temporary.Clear();
    return true;
  }
  Discard();
  return false;
}

void UFileReplacement::Discard() {
  if (m_writer != nullptr) {
    IOutputStream* writer = m_writer;
    m_writer = nullptr;
    writer->Close();
    DeleteObject(writer);
  }
  if (!m_temporary.IsEmpty()) m_files.Delete(m_temporary);
  m_temporary.Clear();
}

}  // namespace kor
