#include "ErrorDescription.h"

#include <cstring>

namespace kor {

namespace {

const char* const kTypeNames[] = {"UNKNOWN", "BAD_ALLOC"};

// Copies at most capacity - 1 characters of text and terminates the copy.
void CopyCut(char* destination, size_t capacity, const char* text) {
  size_t length = text ? std::strlen(text) : 0;
  if (length > capacity - 1) length = capacity - 1;
  if (length) std::memcpy(destination, text, length);
  destination[length] = '\0';
}

// Appends as much of text as fits, keeping the terminator within capacity.
// Returns the new length.
size_t AppendCut(char* destination, size_t length, size_t capacity, const char* text) {
  size_t room = capacity - 1 - length;
  size_t add = std::strlen(text);
  if (add > room) add = room;
  std::memcpy(destination + length, text, add);
  destination[length + add] = '\0';
  return length + add;
}

}  // namespace

const char* const ErrorDescription::REPORT_TEMPLATE =
    "Type:\r\n%s\r\n\r\nMessage:\r\n%s\r\n\r\nHistory:\r\n%s";
const char* const ErrorDescription::NOT_AVAILABLE = "(n/a)";

ErrorDescription::ErrorDescription(int line, const char* file, const char* function,
                                   const char* message)
    : m_type(TYPE_UNKNOWN), m_line(line) {
  CopyCut(m_message, MESSAGE_SIZE, message);

  // A drive prefix says nothing about the source; keep what follows the first ':'.
  const char* colon = file ? std::strchr(file, ':') : nullptr;
  CopyCut(m_file, FILE_SIZE, colon ? colon + 1 : file);

  m_history[0] = '\0';
  if (function) {
    size_t length = std::strlen(function);
    if (length < HISTORY_SIZE - 2) {
      std::memcpy(m_history, function, length);
      std::memcpy(m_history + length, "()", 3);
    } else {
      CopyCut(m_history, HISTORY_SIZE, function);
    }
  }
}

ErrorDescription::ErrorDescription(const ErrorDescription& source, const char* function)
    : ErrorDescription(source) {
  size_t length = std::strlen(m_history);
  if (function == nullptr || *function == '\0') {
    AppendCut(m_history, length, HISTORY_SIZE, " <- (unknown)");
    return;
  }
  // An entry that fits whole is joined only to an existing history; one that
  // does not fit is cut piece by piece.
  bool fitsWhole = length + std::strlen(function) < HISTORY_SIZE - 6;
  if (length || !fitsWhole) length = AppendCut(m_history, length, HISTORY_SIZE, " <- ");
  length = AppendCut(m_history, length, HISTORY_SIZE, function);
  AppendCut(m_history, length, HISTORY_SIZE, "()");
}

const char* ErrorDescription::GetTypeName() const {
  return (m_type == TYPE_BAD_ALLOC) ? kTypeNames[1] : kTypeNames[0];
}

}  // namespace kor
