#include "FunctionName.h"

#include <cstring>

namespace kor {

namespace {

const size_t kCapacity = 4096;

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Finds the '(' that opens the parameter list: the first one outside angle
// brackets.
const char* FindParameterList(const char* begin, const char* end) {
  int depth = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '<') ++depth;
    else if (*p == '>' && depth > 0) --depth;
    else if (*p == '(' && depth == 0) return p;
  }
  return end;
}

// The name starts after the last blank outside angle brackets, which ends
// the return type (constructors and destructors have none).
const char* FindNameStart(const char* begin, const char* end) {
  int depth = 0;
  const char* start = begin;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '<') ++depth;
    else if (*p == '>' && depth > 0) --depth;
    else if (*p == ' ' && depth == 0) start = p + 1;
  }
  return start;
}

struct Text {
  const char* begin;
  const char* end;
  size_t Size() const { return static_cast<size_t>(end - begin); }
  bool Equals(const char* p, size_t n) const { return Size() == n && std::memcmp(begin, p, n) == 0; }
};

// Looks up the value bound to a template parameter in "T = x; U = y".
bool FindBinding(Text bindings, const char* name, size_t length, Text* value) {
  const char* p = bindings.begin;
  while (p < bindings.end) {
    const char* entryEnd = p;
    int depth = 0;
    while (entryEnd < bindings.end && !(*entryEnd == ';' && depth == 0)) {
      if (*entryEnd == '<') ++depth;
      else if (*entryEnd == '>' && depth > 0) --depth;
      ++entryEnd;
    }
    const char* equals = static_cast<const char*>(std::memchr(p, '=', entryEnd - p));
    if (equals && equals - p >= 2) {
      Text key = {p, equals - 1};
      if (key.Equals(name, length)) {
        *value = {equals + 2 <= entryEnd ? equals + 2 : entryEnd, entryEnd};
        return true;
      }
    }
    p = entryEnd + 2;  // skip "; "
  }
  return false;
}

}  // namespace

FunctionNameText::FunctionNameText(const char* decorated) {
  m_name[0] = '\0';
  if (decorated == nullptr) return;
  const char* end = decorated + std::strlen(decorated);

  Text bindings = {end, end};
  const char* with = std::strstr(decorated, " [with ");
  if (with && end[-1] == ']') {
    bindings = {with + 7, end - 1};
    end = with;
  }
  const char* parameters = FindParameterList(decorated, end);
  if (parameters == end) {
    // Not a decorated signature: keep the text as it is.
    size_t length = std::strlen(decorated);
    if (length >= kCapacity) length = kCapacity - 1;
    std::memcpy(m_name, decorated, length);
    m_name[length] = '\0';
    return;
  }
  const char* p = FindNameStart(decorated, parameters);

  size_t out = 0;
  while (p < parameters && out < kCapacity - 1) {
    if (IsIdentifierChar(*p) && (p == decorated || !IsIdentifierChar(p[-1]))) {
      const char* wordEnd = p;
      while (wordEnd < parameters && IsIdentifierChar(*wordEnd)) ++wordEnd;
      Text value;
      Text word = {p, wordEnd};
      if (!FindBinding(bindings, word.begin, word.Size(), &value)) value = word;
      size_t n = value.Size();
      if (n > kCapacity - 1 - out) n = kCapacity - 1 - out;
      std::memcpy(m_name + out, value.begin, n);
      out += n;
      p = wordEnd;
    } else {
      m_name[out++] = *p++;
    }
  }
  m_name[out] = '\0';
}

}  // namespace kor
