// Turns the compiler's decorated function text (return type, parameters,
// template bindings) into the qualified name that error histories record,
// such as "kor::UArray<unsigned char>::~UArray". Works in a fixed buffer so
// that it can run while memory is failing.
#pragma once

namespace kor {

class FunctionNameText {
 public:
  explicit FunctionNameText(const char* decorated);
  const char* Get() const { return m_name; }

 private:
  char m_name[4096];
};

}  // namespace kor
