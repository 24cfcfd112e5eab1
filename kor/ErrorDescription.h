// The one exception type of the system: a fixed-size record of texts that
// never allocates, so that it can be built and copied while memory itself is
// failing. It records where an error arose and the chain of functions it
// travelled through.
#pragma once

#include "FunctionName.h"

namespace kor {

class ErrorDescription {
 public:
  enum { MESSAGE_SIZE = 1024, FILE_SIZE = 260, HISTORY_SIZE = 4096 };
  enum { TYPE_UNKNOWN = 0, TYPE_BAD_ALLOC = 1 };

  // Place and message; null texts become empty, long texts are cut.
  ErrorDescription(int line, const char* file, const char* function, const char* message);

  // A copy of source with one more history entry for the function it passed.
  ErrorDescription(const ErrorDescription& source, const char* function);

  ErrorDescription(const ErrorDescription&) = default;
  ErrorDescription& operator=(const ErrorDescription&) = default;

  int GetType() const { return m_type; }
  const char* GetTypeName() const;
  const char* GetMessage() const { return m_message; }
  const char* GetFile() const { return m_file; }
  int GetLine() const { return m_line; }
  const char* GetHistory() const { return m_history; }

  // A copy of source whose history names function; the form the guard uses.
  static ErrorDescription AppendHistory(const ErrorDescription& source, const char* function) {
    return ErrorDescription(source, function);
  }

  // The report layout: type name, message, history.
  static const char* const REPORT_TEMPLATE;
  static const char* const NOT_AVAILABLE;

 private:
  int m_type;
  char m_message[MESSAGE_SIZE];
  char m_file[FILE_SIZE];
  int m_line;
  char m_history[HISTORY_SIZE];
};

}  // namespace kor

// The qualified name of the enclosing function, as histories record it.
#if defined(_MSC_VER)
#define KOR_FUNCTION_NAME (::kor::FunctionNameText(__FUNCSIG__).Get())
#else
#define KOR_FUNCTION_NAME (::kor::FunctionNameText(__PRETTY_FUNCTION__).Get())
#endif

// Raises an ErrorDescription when the condition does not hold; the message is
// the condition's own source text.
#define assure(condition)                                                       \
  do {                                                                          \
    if (!(condition))                                                           \
      throw ::kor::ErrorDescription(__LINE__, __FILE__, KOR_FUNCTION_NAME,      \
                                    "'assure' failed: " #condition);            \
  } while (0)

// Raises an ErrorDescription with the given message.
#define KOR_RAISE(message) \
  throw ::kor::ErrorDescription(__LINE__, __FILE__, KOR_FUNCTION_NAME, (message))

// Function guard: wraps a function body so that an ErrorDescription leaving it
// gains this function in its history, and any other exception becomes an
// ErrorDescription "unknown error" raised at the guard.
//   T f() { KOR_GUARD_BEGIN ... body ... KOR_GUARD_END }
#define KOR_GUARD_BEGIN try {
#define KOR_GUARD_END                                                           \
  }                                                                             \
  catch (const ::kor::ErrorDescription& kor_guard_error) {                      \
    throw ::kor::ErrorDescription(kor_guard_error, KOR_FUNCTION_NAME);          \
  }                                                                             \
  catch (...) {                                                                 \
    throw ::kor::ErrorDescription(__LINE__, __FILE__, KOR_FUNCTION_NAME,        \
                                  "unknown error");                             \
  }
